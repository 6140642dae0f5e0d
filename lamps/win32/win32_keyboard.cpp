// SPDX-License-Identifier: MIT
#include "lamps/win32/win32_keyboard.h"

namespace blinkolux {

namespace {
constexpr std::uint8_t kScanCode = 0x45;  // used for all three keys
}

bool Win32Keyboard::read(Lamp lamp) {
  platformId_ = calls_.platformId();
  calls_.readState(state_);
  // Only the lock bit: a held key (bit 7) would read as locked, so a request for off would toggle
  // a held, unlocked key on, and a key held at start would be saved and restored as locked.
  return (state_[keyCode(lamp)] & 1) != 0;
}

// Called right after a read that found the lamp the other way.
void Win32Keyboard::write(Lamp lamp, bool on) {
  const int key = keyCode(lamp);
  switch (platformId_) {
    case kWindows95Family:
      state_[key] = on ? 1 : 0;
      calls_.writeState(state_);
      break;
    case kWindowsNtFamily: {  // a press toggles the lock
      const auto vk = static_cast<std::uint8_t>(key);
      calls_.keyEvent(vk, kScanCode, kExtendedKey);
      calls_.keyEvent(vk, kScanCode, kExtendedKey | kKeyUp);
      break;
    }
    default:
      break;
  }
}

}  // namespace blinkolux
