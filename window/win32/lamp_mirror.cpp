// SPDX-License-Identifier: MIT
#include "window/win32/lamp_mirror.h"

#include <commctrl.h>

#include <string>

#include "window/win32/gdi.h"
#include "window/win32/placement.h"

namespace blinkolux {

namespace {

constexpr wchar_t kClassName[] = L"BlinkoluxLamps";

COLORREF colorRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
}

std::uint32_t systemColor(int index) {
  const COLORREF color = GetSysColor(index);
  return std::uint32_t{GetRValue(color)} << 16 | std::uint32_t{GetGValue(color)} << 8 |
         GetBValue(color);
}

}  // namespace

LampLook mirroredLook(bool driven, bool lit) {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) == 0 ||
      (contrast.dwFlags & HCF_HIGHCONTRASTON) == 0)
    return lampLook(driven, lit);
  if (!driven) return {false, 0, systemColor(COLOR_GRAYTEXT), systemColor(COLOR_GRAYTEXT)};
  return lit ? LampLook{true, systemColor(COLOR_HIGHLIGHT), systemColor(COLOR_WINDOWTEXT),
                        systemColor(COLOR_HIGHLIGHTTEXT)}
             : LampLook{true, systemColor(COLOR_WINDOW), systemColor(COLOR_WINDOWTEXT),
                        systemColor(COLOR_WINDOWTEXT)};
}

LampMirror::LampMirror(HWND parent, const Form1& form, HWND tips) : form_(form), tips_(tips) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW mirrorClass{};
  mirrorClass.cbSize = sizeof mirrorClass;
  mirrorClass.lpfnWndProc = &LampMirror::procedure;
  mirrorClass.hInstance = instance;
  mirrorClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  mirrorClass.lpszClassName = kClassName;
  RegisterClassExW(&mirrorClass);
  window_ = CreateWindowExW(0, kClassName, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                            nullptr, instance, this);
  for (Lamp lamp : kLamps) {
    std::wstring name = wide(blinkolux::name(lamp));
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = index(lamp);
    tool.lpszText = name.data();
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void LampMirror::place(int dpi, HFONT font) {
  font_ = font;
  placeAt(window_, kMirror.left, kMirror.top, kMirror.width, kMirror.height, dpi);
  for (Lamp lamp : kLamps) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = index(lamp);
    tool.rect = this->lamp(index(lamp));
    SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  InvalidateRect(window_, nullptr, TRUE);
}

RECT LampMirror::lamp(std::size_t index) const {
  RECT area{};
  GetClientRect(window_, &area);
  const Circle circle = lampCircle(index, area.right, area.bottom);
  return {circle.left, circle.top, circle.left + circle.side, circle.top + circle.side};
}

LRESULT CALLBACK LampMirror::procedure(HWND mirror, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(
        mirror, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
  auto* self = reinterpret_cast<LampMirror*>(GetWindowLongPtrW(mirror, GWLP_USERDATA));
  if (message == WM_PAINT && self != nullptr) {
    self->paint();
    return 0;
  }
  return DefWindowProcW(mirror, message, w, l);
}

void LampMirror::paint() {
  const Painting painting(window_);
  const HDC dc = painting.get();
  RECT area{};
  GetClientRect(window_, &area);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  const Selected font(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  for (Lamp lamp : kLamps) {
    const std::size_t i = index(lamp);
    const LampLook look = mirroredLook(form_.lampsDriven[i], form_.lampsShown[i]);
    const GdiObject<HPEN> pen(CreatePen(look.filled ? PS_SOLID : PS_DOT, 1, colorRef(look.edge)));
    const GdiObject<HBRUSH> fill(look.filled ? CreateSolidBrush(colorRef(look.fill)) : nullptr);
    const Selected selectedPen(dc, pen.get());
    const Selected selectedBrush(dc, look.filled ? fill.get() : GetStockObject(NULL_BRUSH));
    RECT place = this->lamp(i);
    Ellipse(dc, place.left, place.top, place.right, place.bottom);
    SetTextColor(dc, colorRef(look.letter));
    const wchar_t letter[2] = {static_cast<wchar_t>(name(lamp).front()), L'\0'};
    DrawTextW(dc, letter, 1, &place, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
}

}  // namespace blinkolux
