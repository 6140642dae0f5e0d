// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include "lamps/lamps.h"
#include "lamps/x11/x11_display.h"

namespace blinkolux {

// Num Lock and Caps Lock as a Wayland compositor has them, learnt through its Xwayland. Xwayland
// copies the compositor's locks into its XKB locked modifiers while one of its windows has the
// keyboard focus (not into its indicators), and keeps the last ones while another program has it:
// so they count only while the focus is on an X window. Taken from XKB state and focus events,
// with no round trip but after the focus moves.
class XwaylandLocks {
 public:
  // Throws std::runtime_error with a one-line reason when there is no display.
  explicit XwaylandLocks(const char* displayName = nullptr);

  // The compositor's locks now, or nothing while a program outside Xwayland has the focus.
  std::optional<NumAndCaps> current();

 private:
  void fetch();

  DisplayConnection display_;
  int xkbEventBase_ = 0;
  unsigned numMask_ = 0;  // the modifier Num Lock locks
  unsigned locked_ = 0;
  bool focused_ = false;  // an X window has the focus
};

}  // namespace blinkolux
