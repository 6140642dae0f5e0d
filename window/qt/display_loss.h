// SPDX-License-Identifier: MIT
#pragma once

using Display = struct _XDisplay;

namespace blinkolux {

// Only losing the X server ends Blinkolux: it says so in one line and exits 1 (the X lamps belong
// to the server, so there is nothing left to put back there, and exit() puts the kernel's back).
// An X error, such as one about another client's window that went away or never was, ends
// nothing.
//
// Xlib's handlers are one per process, and QApplication sets its own: call this again once it
// exists, with its display, whose errors then still go to Qt. Qt's own connection, which it
// watches itself, is covered by replacing Qt's words.
void handleXErrors(Display* qtDisplayIfAny = nullptr);

// After that, no X connection may be used again: the way out must not ask the server anything.
bool displayLost();

}  // namespace blinkolux
