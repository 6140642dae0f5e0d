// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>
#include <random>

namespace blinkolux {

enum class RandomEvent { None, StartShow1, StartShow2, ReverseDirection };

// One draw in 30 starts show 1, one starts show 2, one reverses the running light. The product is
// taken exactly: in single precision 0.5666666627f * 30 would round up to 17.
inline RandomEvent randomEvent(float draw) {
  switch (static_cast<int>(std::floor(static_cast<double>(draw) * 30.0))) {
    case 16:
      return RandomEvent::StartShow1;
    case 15:
      return RandomEvent::StartShow2;
    case 14:
      return RandomEvent::ReverseDirection;
    default:
      return RandomEvent::None;
  }
}

// Uniform single-precision draws in [0, 1), from the generator's default state: never seeded.
// Built from the top 24 bits, since a float distribution may round up to 1.
class RandomDraws {
 public:
  float operator()() { return static_cast<float>(engine_() >> 8) * 0x1p-24F; }

 private:
  std::mt19937 engine_;
};

}  // namespace blinkolux
