#pragma once

using Display = struct _XDisplay;

namespace blinkolux {

// A connection to the X display with XKB. Throws std::runtime_error with a one-line reason when
// there is none. Should the server go away later, the program says so in one line and exits 1:
// the lamps belong to the server, so there is nothing left to put back.
Display* openDisplay(const char* name);

}  // namespace blinkolux
