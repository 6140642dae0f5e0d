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
// The window's outer size at `dpi`, for the table's client area.
SIZE frameSize(int dpi);
// The system's message font, at `dpi`.
LOGFONTW messageFont(int dpi);

}  // namespace blinkolux
