// SPDX-License-Identifier: MIT
#pragma once

namespace blinkolux {

// Should the X server go away, the program says so in one line and exits 1: the X lamps belong to
// the server, so there is nothing left to put back there, and exit() puts the kernel's back.
//
// Xlib's handler is one per process, and QApplication sets its own: call this again once it
// exists. Qt's own connection, which it watches itself, is covered by replacing Qt's words.
void exitWhenTheDisplayIsLost();

// After that, no X connection may be used again: the way out must not ask the server anything.
bool displayLost();

}  // namespace blinkolux
