// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "lamps/lamps.h"

namespace blinkolux {

inline constexpr Lamps kAllOff{};

// A light show: one lamp pattern per step; after `speedUpStep` its timer runs at `speedUpInterval`.
// The last step is the end step, which hands the lamps back to the running light.
struct ShowScript {
  std::span<const Lamps> steps;
  int speedUpStep;
  std::int32_t speedUpInterval;
};

inline constexpr std::array<Lamps, 18> kShow1Steps{
    lamps("NCS"), lamps("N.S"), lamps(".C."), lamps("N.S"), lamps("..."), lamps(".C."),  //  0
    lamps("N.S"), lamps("..."), lamps(".C."), lamps("N.S"), lamps("..."), lamps("..."),  //  6
    lamps("NCS"), lamps("..."), lamps("NCS"), lamps("..."), lamps("NCS"), lamps("..."),  // 12
};

inline constexpr std::array<Lamps, 51> kShow2Steps{
    lamps("N.S"), lamps(".C."), lamps("NCS"), lamps("..."), lamps("N.S"), lamps(".C."),  //  0
    lamps("NCS"), lamps("..."), lamps("N.S"), lamps(".C."), lamps("NCS"), lamps("N.."),  //  6
    lamps("..S"), lamps("N.."), lamps("..S"), lamps("N.."), lamps("..S"), lamps("N.."),  // 12
    lamps("..S"), lamps("N.."), lamps("..S"), lamps("N.."), lamps("..S"), lamps("N.."),  // 18
    lamps("..."), lamps("NCS"), lamps("..."), lamps("NCS"), lamps("..."), lamps("NCS"),  // 24
    lamps("..."), lamps("NCS"), lamps("..."), lamps("NCS"), lamps("..."), lamps("NCS"),  // 30
    lamps("..."), lamps("NCS"), lamps("..."), lamps("NCS"), lamps("..."), lamps("NCS"),  // 36
    lamps("..."), lamps("NCS"), lamps("..."), lamps("NCS"), lamps("..."), lamps("NCS"),  // 42
    lamps("..."), lamps("NCS"), lamps("..."),                                            // 48
};

inline constexpr ShowScript kShow1{kShow1Steps, 11, 200};
inline constexpr ShowScript kShow2{kShow2Steps, 11, 120};

}  // namespace blinkolux
