#pragma once

#include "lamps/keyboard.h"

namespace blinkolux {

// The only code that reads or sets a lock state. Keys other than the three lock keys are refused:
// they read as off and are never set.
class LampAccess {
 public:
  explicit LampAccess(KeyboardServices& keyboard) : keyboard_(keyboard) {}

  bool GetLockState(int key);
  // Changes the lock only when it differs from the state read just now.
  void SetLockState(int key, bool desired);

  Lamps GetLockStates();
  void SetLockStates(const Lamps& lamps);

 private:
  KeyboardServices& keyboard_;
  KeyboardState state_{};
  std::uint32_t platformId_ = 0;
};

}  // namespace blinkolux
