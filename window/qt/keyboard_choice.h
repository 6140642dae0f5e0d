// SPDX-License-Identifier: MIT
#pragma once

using Display = struct _XDisplay;

namespace blinkolux {

// What the X display is to the lamps.
struct DisplayKind {
  // In a Wayland session the X server keeps lock states of its own that never reach the keyboard:
  // there the kernel's lamps are driven instead.
  bool kernelLamps;
  // The display is Xwayland, which learns the compositor's locks.
  bool xwayland;
};
DisplayKind displayKind(Display* display);

}  // namespace blinkolux
