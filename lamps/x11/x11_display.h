// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

using Display = struct _XDisplay;
union _XEvent;

namespace blinkolux {

// Owners of what Xlib hands out.
struct CloseDisplay {
  void operator()(Display* display) const;
};
using DisplayConnection = std::unique_ptr<Display, CloseDisplay>;

struct FreeXData {
  void operator()(void* data) const;  // XFree
};
template <typename T>
using XData = std::unique_ptr<T, FreeXData>;

// A connection to the X display with XKB. Throws std::runtime_error with a one-line reason when
// there is none.
DisplayConnection openDisplay(const char* name);

// Each event that has come on the connection, read from it once: what arrives meanwhile waits for
// the next call.
void takeArrivedEvents(Display* display, const std::function<void(const _XEvent&)>& take);

}  // namespace blinkolux
