// SPDX-License-Identifier: MIT
#pragma once

using Display = struct _XDisplay;

namespace blinkolux {

// In a Wayland session the X server, Xwayland, keeps lock states of its own that never reach the
// keyboard: there the kernel's lamps are driven instead.
bool kernelLampsWanted(Display* display);

}  // namespace blinkolux
