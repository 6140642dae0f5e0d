// SPDX-License-Identifier: MIT
#pragma once

#include "lamps/keyboard.h"

namespace blinkolux {

// The only code that reads or sets a lock state. Keys other than the three lock keys are refused:
// they read as off and are never set.
class LampAccess {
 public:
  explicit LampAccess(Keyboard& keyboard) : keyboard_(keyboard) {}

  bool GetLockState(int key);
  // Changes the lock only when it differs from the state read just now.
  void SetLockState(int key, bool desired);

  Lamps GetLockStates();
  void SetLockStates(const Lamps& lamps);

  // Once the lamps are back for good, nothing may write them again: not even a handler that a
  // platform interrupted to put them back, and that then goes on.
  void stopWriting() { writing_ = false; }

  // The lamps as last read or written.
  const Lamps& seen() const { return seen_; }

 private:
  Keyboard& keyboard_;
  bool writing_ = true;
  Lamps seen_{};
};

}  // namespace blinkolux
