// SPDX-License-Identifier: MIT
#include "window/win32/dpi.h"

#include <cstdlib>

#include "window/win32/gdi.h"
#include "window/window_table.h"

namespace blinkolux {

namespace {

// Windows 10's per-monitor calls, where there are any: the exe still starts on Windows 7.
template <typename Function>
Function fromUser32(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

int systemDpi() {
  const WindowDc screen(nullptr);
  return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

int windowDpi(HWND window) {
  static const auto getDpiForWindow = fromUser32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  const int dpi = getDpiForWindow != nullptr ? static_cast<int>(getDpiForWindow(window)) : 0;
  return dpi > 0 ? dpi : systemDpi();
}

SIZE frameSize(int layoutDpi, int dpi) {
  static const auto adjustForDpi =
      fromUser32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT frame{0, 0, pixels(kClientWidth, layoutDpi), pixels(kClientHeight, layoutDpi)};
  if (adjustForDpi != nullptr)
    adjustForDpi(&frame, kStyle, FALSE, kExStyle, static_cast<UINT>(dpi));
  else
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

LOGFONTW messageFont(int dpi) {
  static const auto parametersForDpi =
      fromUser32<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (parametersForDpi != nullptr && parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics,
                                                      &metrics, 0, static_cast<UINT>(dpi)) != 0)
    return metrics.lfMessageFont;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi());
  return metrics.lfMessageFont;
}

int layoutDpi(int dpi) {
  const int height = std::abs(messageFont(dpi).lfHeight);
  const int standard = MulDiv(12, dpi, 96);
  return height > standard ? MulDiv(dpi, height, standard) : dpi;
}

}  // namespace blinkolux
