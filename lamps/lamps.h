// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace blinkolux {

// The three lamps, always handled in this order.
enum class Lamp : std::size_t { Num, Caps, Scroll };
inline constexpr std::array<Lamp, 3> kLamps{Lamp::Num, Lamp::Caps, Lamp::Scroll};
inline constexpr std::array<std::string_view, 3> kLampNames{"Num Lock", "Caps Lock", "Scroll Lock"};

constexpr std::size_t index(Lamp lamp) {
  return static_cast<std::size_t>(lamp);
}
constexpr std::string_view name(Lamp lamp) {
  return kLampNames[index(lamp)];
}

// Lamps are named by the virtual-key codes of their lock keys where the window's handlers name
// them.
inline constexpr int kNumLock = 0x90;
inline constexpr int kCapsLock = 0x14;
inline constexpr int kScrollLock = 0x91;
inline constexpr std::array<int, 3> kLampKeys{kNumLock, kCapsLock, kScrollLock};

constexpr int keyCode(Lamp lamp) {
  return kLampKeys[index(lamp)];
}
constexpr std::optional<Lamp> lampOf(int key) {
  for (Lamp lamp : kLamps)
    if (keyCode(lamp) == key) return lamp;
  return std::nullopt;
}

// One state per lamp: Num, Caps, Scroll.
using Lamps = std::array<bool, 3>;

// The two locks a Wayland compositor keeps for the whole seat (Scroll Lock has no modifier).
struct NumAndCaps {
  bool num, caps;
};

// Lamps written as "N.S": Num and Scroll lit, Caps dark.
constexpr Lamps lamps(std::string_view pattern) {
  return {pattern[0] == 'N', pattern[1] == 'C', pattern[2] == 'S'};
}
inline std::string pattern(const Lamps& lamps) {
  return {lamps[0] ? 'N' : '.', lamps[1] ? 'C' : '.', lamps[2] ? 'S' : '.'};
}
// The notation read back, where it is one.
inline std::optional<Lamps> parsePattern(std::string_view text) {
  if (text.size() != 3 || pattern(lamps(text)) != text) return std::nullopt;
  return lamps(text);
}

}  // namespace blinkolux
