// SPDX-License-Identifier: MIT
#pragma once

namespace blinkolux {

// Should the X server go away, the program says so in one line and exits 1: the X lamps belong to
// the server, so there is nothing left to put back there, and exit() puts the kernel's back.
void exitWhenTheDisplayIsLost();

}  // namespace blinkolux
