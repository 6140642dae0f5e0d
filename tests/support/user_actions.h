// SPDX-License-Identifier: MIT
#pragma once

#include "virtual_keyboard.h"
#include "window/form.h"

namespace blinkolux {

inline constexpr unsigned kUserActions = 8;

// One thing a user (or another program) does to a running Blinkolux: `action` picks what,
// `argument` how. For soak tests and fuzzing.
inline void userAction(Form1& form, VirtualKeyboard& keyboard, unsigned action, unsigned argument) {
  const int lamp = kLampKeys[argument % 3];
  switch (action % kUserActions) {
    case 0:
      form.click(ControlId::Command1);
      break;
    case 1:
      form.click(ControlId::Command2);
      break;
    case 2:
      form.click(ControlId::Command3);
      break;
    case 3:
      form.setValue(ControlId::Check1, static_cast<int>(argument % 2));
      form.click(ControlId::Check1);
      break;
    case 4:
      form.setValue(ControlId::Check2, static_cast<int>(argument % 2));
      break;
    case 5:
      form.setValue(ControlId::Slider1, static_cast<int>(1 + argument % 1000));
      break;
    case 6:
      keyboard.setLock(lamp, argument / 3 % 2 == 1);
      break;
    default:
      keyboard.hold(lamp, argument / 3 % 2 == 1);
      break;
  }
}

}  // namespace blinkolux
