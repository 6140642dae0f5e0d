// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

using Display = struct _XDisplay;

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

}  // namespace blinkolux
