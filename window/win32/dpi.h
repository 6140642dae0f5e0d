// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace blinkolux {

// A fixed dialog frame with a title bar and close box, and no minimise or maximise.
inline constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
inline constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

int systemDpi();
// The window's own DPI (Windows 10's per-monitor value where there is one).
int windowDpi(HWND window);
// The window's outer size for the table's client area laid out at `layoutDpi`, in a frame at
// `dpi`.
SIZE frameSize(int layoutDpi, int dpi);
// The system's message font, at `dpi`.
LOGFONTW messageFont(int dpi);
// The DPI the layout follows at `dpi`: scaled up as the user's text is larger than the default
// (12 px at 96 DPI, Segoe UI 9 pt; Wine's Tahoma 11 px counts as the default too), never down.
int layoutDpi(int dpi);

}  // namespace blinkolux
