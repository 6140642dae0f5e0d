// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "window/window_table.h"

namespace blinkolux {

inline std::wstring wide(std::string_view text) {
  return {text.begin(), text.end()};
}

// A child at its twips for `dpi`: its edges rounded, so neighbours meet as the table has them.
inline void placeAt(HWND child, int left, int top, int width, int height, int dpi) {
  const int x = pixels(left, dpi), y = pixels(top, dpi);
  SetWindowPos(child, nullptr, x, y, pixels(left + width, dpi) - x, pixels(top + height, dpi) - y,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace blinkolux
