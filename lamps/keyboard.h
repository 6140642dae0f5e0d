#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace blinkolux {

// The lamps are named by the virtual-key codes of their lock keys, and handled in this order.
inline constexpr int kNumLock = 0x90;
inline constexpr int kCapsLock = 0x14;
inline constexpr int kScrollLock = 0x91;
inline constexpr std::array<int, 3> kLampKeys{kNumLock, kCapsLock, kScrollLock};

// One state per lamp: Num, Caps, Scroll.
using Lamps = std::array<bool, 3>;

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

constexpr bool isLampKey(int key) {
  return key == kNumLock || key == kCapsLock || key == kScrollLock;
}
// Where a lamp key's state stands in Lamps.
constexpr std::size_t lampIndex(int key) {
  return key == kNumLock ? 0 : key == kCapsLock ? 1 : 2;
}

// One byte per virtual key: bit 0 lock engaged, bit 7 key held down.
using KeyboardState = std::array<std::uint8_t, 256>;

// Platform families, as the operating system's version record reports them.
inline constexpr std::uint32_t kWindows95Family = 1;
inline constexpr std::uint32_t kWindowsNtFamily = 2;

// keybd_event flags.
inline constexpr std::uint32_t kExtendedKey = 1;
inline constexpr std::uint32_t kKeyUp = 2;

// The operating system's keyboard services that lamp access is built on.
class KeyboardServices {
 public:
  virtual ~KeyboardServices() = default;
  virtual std::uint32_t platformId() = 0;                   // GetVersionExA
  virtual void readState(KeyboardState& state) = 0;         // GetKeyboardState
  virtual void writeState(const KeyboardState& state) = 0;  // SetKeyboardState
  virtual void keyEvent(std::uint8_t key, std::uint8_t scanCode, std::uint32_t flags) = 0;

  // For keyboards that keep a copy of the state and hold writes back (X11): the next reads ask the
  // device itself, where exactness is everything (at load and unload) ...
  virtual void refresh() {}
  // ... and the writes made so far leave together, as one change (when a handler ends, before it
  // pauses, and after the unload's restore).
  virtual void commit() {}

  // The lamps it can drive: a keymap or a seat may offer fewer than three.
  virtual Lamps driven() { return {true, true, true}; }
};

}  // namespace blinkolux
