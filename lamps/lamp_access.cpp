// SPDX-License-Identifier: MIT
#include "lamps/lamp_access.h"

namespace blinkolux {

bool LampAccess::GetLockState(int key) {
  const auto lamp = lampOf(key);
  if (!lamp) return false;
  const bool on = keyboard_.read(*lamp);
  seen_[index(*lamp)] = on;
  return on;
}

void LampAccess::SetLockState(int key, bool desired) {
  const bool current = GetLockState(key);
  const auto lamp = lampOf(key);
  if (!lamp || current == desired || !writing_) return;
  seen_[index(*lamp)] = desired;
  keyboard_.write(*lamp, desired);
}

Lamps LampAccess::GetLockStates() {
  Lamps lamps{};
  for (Lamp lamp : kLamps)
    lamps[index(lamp)] = GetLockState(keyCode(lamp));
  return lamps;
}

void LampAccess::SetLockStates(const Lamps& lamps) {
  for (Lamp lamp : kLamps)
    SetLockState(keyCode(lamp), lamps[index(lamp)]);
}

}  // namespace blinkolux
