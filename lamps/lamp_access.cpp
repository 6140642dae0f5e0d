#include "lamps/lamp_access.h"

#include <cstddef>

namespace blinkolux {

namespace {
constexpr std::uint8_t kScanCode = 0x45;  // used for all three keys
}

bool LampAccess::GetLockState(int key) {
  platformId_ = keyboard_.platformId();
  keyboard_.readState(state_);
  if (!isLampKey(key)) return false;
  // Only the lock bit: a key held down must not read as locked.
  const bool on = (state_[key] & 1) != 0;
  seen_[lampIndex(key)] = on;
  return on;
}

void LampAccess::SetLockState(int key, bool desired) {
  const bool current = GetLockState(key);
  if (!isLampKey(key) || current == desired || !writing_) return;
  seen_[lampIndex(key)] = desired;
  switch (platformId_) {
    case kWindows95Family:
      state_[key] = desired ? 1 : 0;
      keyboard_.writeState(state_);
      break;
    case kWindowsNtFamily: {
      const auto vk = static_cast<std::uint8_t>(key);
      keyboard_.keyEvent(vk, kScanCode, kExtendedKey);
      keyboard_.keyEvent(vk, kScanCode, kExtendedKey | kKeyUp);
      break;
    }
    default:
      break;
  }
}

Lamps LampAccess::GetLockStates() {
  Lamps lamps{};
  for (std::size_t i = 0; i < lamps.size(); ++i)
    lamps[i] = GetLockState(kLampKeys[i]);
  return lamps;
}

void LampAccess::SetLockStates(const Lamps& lamps) {
  for (std::size_t i = 0; i < lamps.size(); ++i)
    SetLockState(kLampKeys[i], lamps[i]);
}

}  // namespace blinkolux
