#include "window/win32/win32_window.h"

#include <commctrl.h>
#include <timeapi.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace blinkolux {

namespace {

constexpr wchar_t kClassName[] = L"Blinkolux";
constexpr wchar_t kMirrorClassName[] = L"BlinkoluxLamps";
constexpr int kFirstControlId = 100;
// A fixed dialog frame with a title bar and close box, and no minimise or maximise.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr int kSmallestFont = 6;  // px: captions shrink no further

std::wstring wide(std::string_view text) {
  return {text.begin(), text.end()};
}

int commandId(ControlId id) {
  return kFirstControlId + static_cast<int>(id);
}

COLORREF colorRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
}

// A child at its twips for `dpi`: its edges rounded, so neighbours meet as the table has them.
void placeAt(HWND child, int left, int top, int width, int height, int dpi) {
  const int x = pixels(left, dpi), y = pixels(top, dpi);
  SetWindowPos(child, nullptr, x, y, pixels(left + width, dpi) - x, pixels(top + height, dpi) - y,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// Windows 10's per-monitor calls, where there are any: the exe still starts on Windows 7.
template <typename Function>
Function fromUser32(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

int systemDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

int windowDpi(HWND window) {
  static const auto getDpiForWindow = fromUser32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  const int dpi = getDpiForWindow != nullptr ? static_cast<int>(getDpiForWindow(window)) : 0;
  return dpi > 0 ? dpi : systemDpi();
}

SIZE frameSize(int dpi) {
  static const auto adjustForDpi =
      fromUser32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT frame{0, 0, pixels(kClientWidth, dpi), pixels(kClientHeight, dpi)};
  if (adjustForDpi != nullptr)
    adjustForDpi(&frame, kStyle, FALSE, kExStyle, static_cast<UINT>(dpi));
  else
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

// The system's message font, at `dpi`.
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

// What a control's caption needs: buttons and check boxes measure themselves (borders and the
// check box's glyph included), a label is its text.
SIZE captionSize(HWND control, ControlKind kind) {
  SIZE size{};
  if (kind == ControlKind::CheckBox || kind == ControlKind::PushButton) {
    SendMessageW(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&size));
  } else if (kind == ControlKind::Label) {
    std::wstring text(256, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), 256)));
    const HDC dc = GetDC(control);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
  }
  return size;
}

}  // namespace

Win32Window::Win32Window(Form1& form) : form_(form) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Win32Window::procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  if (windowClass.hIcon == nullptr) windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);

  // Made where the system places new windows, then sized for the DPI of the monitor it is on.
  const SIZE frame = frameSize(systemDpi());
  window_ =
      CreateWindowExW(kExStyle, kClassName, wide(kWindowCaption).c_str(), kStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, frame.cx, frame.cy, nullptr, nullptr, instance, this);
  for (const ControlDescription& c : kControls)
    addControl(c);

  // The lamp mirror: no tab stop, no focus; its lamps' names as tooltips.
  WNDCLASSEXW mirrorClass{};
  mirrorClass.cbSize = sizeof mirrorClass;
  mirrorClass.lpfnWndProc = &Win32Window::mirrorProcedure;
  mirrorClass.hInstance = instance;
  mirrorClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  mirrorClass.lpszClassName = kMirrorClassName;
  RegisterClassExW(&mirrorClass);
  mirror_ = CreateWindowExW(0, kMirrorClassName, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                            window_, nullptr, instance, this);
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                          nullptr, instance, nullptr);
  for (std::size_t i = 0; i < kLampNames.size(); ++i) {
    std::wstring name = wide(kLampNames[i]);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = mirror_;
    tool.uId = i;
    tool.lpszText = name.data();
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  // At once: a show's end step pauses the thread with the lamps dark, and the message loop with it.
  form_.onLampsShown = [this] {
    RedrawWindow(mirror_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  };

  const int dpi = windowDpi(window_);
  const SIZE scaled = frameSize(dpi);
  SetWindowPos(window_, nullptr, 0, 0, scaled.cx, scaled.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  layOut(dpi);
  focus_ = control(ControlId::Slider1);  // the first in tab order, as in a dialog
}

Win32Window::~Win32Window() {
  form_.onLampsShown = nullptr;
  if (IsWindow(window_)) DestroyWindow(window_);
  DeleteObject(font_);
}

void Win32Window::addControl(const ControlDescription& c) {
  const wchar_t* windowClass = L"BUTTON";
  DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  switch (c.kind) {
    case ControlKind::Slider:
      windowClass = TRACKBAR_CLASSW;
      style |= TBS_HORZ | TBS_NOTICKS;
      break;
    case ControlKind::Label:
      windowClass = L"STATIC";
      style = WS_CHILD | WS_VISIBLE | SS_LEFT;
      break;
    case ControlKind::CheckBox:
      style |= BS_AUTOCHECKBOX;
      break;
    case ControlKind::PushButton:
      style |= BS_PUSHBUTTON;
      break;
  }
  const HWND control =
      CreateWindowExW(0, windowClass, wide(c.caption).c_str(), style, 0, 0, 0, 0, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(commandId(c.id))),
                      GetModuleHandleW(nullptr), nullptr);
  if (c.kind == ControlKind::Slider) {
    SendMessageW(control, TBM_SETRANGEMIN, FALSE, kSliderMin);
    SendMessageW(control, TBM_SETRANGEMAX, FALSE, kSliderMax);
    SendMessageW(control, TBM_SETLINESIZE, 0, kSliderSmallChange);
    SendMessageW(control, TBM_SETPAGESIZE, 0, kSliderLargeChange);
    SendMessageW(control, TBM_SETPOS, TRUE, c.value);
  } else if (c.kind == ControlKind::CheckBox) {
    SendMessageW(control, BM_SETCHECK, c.value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

// Every control at its twips for `dpi`, in the system's message font at that DPI, made smaller
// only where a caption would not fit its box otherwise.
void Win32Window::layOut(int dpi) {
  dpi_ = dpi;
  for (const ControlDescription& c : kControls)
    placeAt(control(c.id), c.left, c.top, c.width, c.height, dpi);
  placeAt(mirror_, kMirror.left, kMirror.top, kMirror.width, kMirror.height, dpi);
  for (std::size_t i = 0; i < kLampNames.size(); ++i) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = mirror_;
    tool.uId = i;
    tool.rect = lamp(i);
    SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  LOGFONTW font = messageFont(dpi);
  for (;;) {
    const HFONT made = CreateFontIndirectW(&font);
    for (const ControlDescription& c : kControls)
      SendMessageW(control(c.id), WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    if (font_ != nullptr) DeleteObject(font_);
    font_ = made;
    InvalidateRect(mirror_, nullptr, TRUE);
    bool fits = true;
    for (const ControlDescription& c : kControls) {
      RECT room{};
      GetClientRect(control(c.id), &room);
      const SIZE needed = captionSize(control(c.id), c.kind);
      fits = fits && needed.cx <= room.right && needed.cy <= room.bottom;
    }
    if (fits || std::abs(font.lfHeight) <= kSmallestFont) break;
    font.lfHeight += font.lfHeight < 0 ? 1 : -1;
  }
}

RECT Win32Window::lamp(std::size_t index) const {
  RECT area{};
  GetClientRect(mirror_, &area);
  const Circle circle = lampCircle(index, area.right, area.bottom);
  return {circle.left, circle.top, circle.left + circle.side, circle.top + circle.side};
}

LRESULT CALLBACK Win32Window::mirrorProcedure(HWND mirror, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(
        mirror, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(mirror, GWLP_USERDATA));
  if (message == WM_PAINT && self != nullptr) {
    self->paintMirror();
    return 0;
  }
  return DefWindowProcW(mirror, message, w, l);
}

void Win32Window::paintMirror() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(mirror_, &paint);
  RECT area{};
  GetClientRect(mirror_, &area);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ oldFont = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  for (std::size_t i = 0; i < kLampNames.size(); ++i) {
    const LampLook look = lampLook(form_.LampsDriven[i], form_.LampsShown[i]);
    const HPEN pen = CreatePen(look.filled ? PS_SOLID : PS_DOT, 1, colorRef(look.edge));
    const HBRUSH brush = look.filled ? CreateSolidBrush(colorRef(look.fill))
                                     : static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    const HGDIOBJ oldBrush = SelectObject(dc, brush);
    RECT place = lamp(i);
    Ellipse(dc, place.left, place.top, place.right, place.bottom);
    SetTextColor(dc, colorRef(look.letter));
    wchar_t letter[2] = {static_cast<wchar_t>(kLampNames[i].front()), L'\0'};
    DrawTextW(dc, letter, 1, &place, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    if (look.filled) DeleteObject(brush);
  }
  SelectObject(dc, oldFont);
  EndPaint(mirror_, &paint);
}

HWND Win32Window::control(ControlId id) const {
  return GetDlgItem(window_, commandId(id));
}

LRESULT CALLBACK Win32Window::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

// The lamps go back while the window still exists: key events reach the system only through a
// window of the desktop.
void Win32Window::unload() {
  form_.Form_Unload();
  if (onUnloaded) onUnloaded();
  DestroyWindow(window_);
}

LRESULT Win32Window::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_CLOSE:
      // Handlers never overlap: a message sent while one runs (a handler that looks at its queue
      // lets other threads' and programs' messages in) waits until it has returned.
      if (busy()) {
        PostMessageW(window_, message, w, l);
        return 0;
      }
      break;
    default:
      break;
  }
  switch (message) {
    case WM_COMMAND: {
      if (HIWORD(w) != BN_CLICKED) break;
      const auto id = static_cast<ControlId>(LOWORD(w) - kFirstControlId);
      if (control(id) == nullptr) break;
      if (kControls[static_cast<std::size_t>(id)].kind == ControlKind::CheckBox)
        form_.setValue(id, SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
      clicking_ = true;
      form_.click(id);
      clicking_ = false;
      return 0;
    }
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(l) == control(ControlId::Slider1))
        form_.setValue(ControlId::Slider1, static_cast<int>(SendMessageW(
                                               control(ControlId::Slider1), TBM_GETPOS, 0, 0)));
      return 0;
    case WM_ACTIVATE:
      // As a dialog: the focused control is kept while another window is active.
      if (LOWORD(w) == WA_INACTIVE) {
        const HWND focused = GetFocus();
        if (focused != nullptr && IsChild(window_, focused)) focus_ = focused;
      } else if (focus_ != nullptr) {
        SetFocus(focus_);
      }
      return 0;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(l);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      layOut(HIWORD(w));
      return 0;
    }
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The system ends the process once this returns: the lamps go back now, even inside a
      // handler, which then writes none.
      if (w != FALSE) unload();
      return 0;
    case WM_CLOSE:
      unload();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

bool Win32Window::pump() {
  return pumpMessages(form_.timers, window_, exitCode_);
}

int Win32Window::run() {
  ShowWindow(window_, SW_SHOWNORMAL);
  SetFocus(focus_);
  return runMessageLoop(form_.timers, window_);
}

bool pumpMessages(TimerSet& timers, HWND dialog, int& exitCode) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      exitCode = static_cast<int>(message.wParam);
      return false;
    }
    if (dialog == nullptr || !IsDialogMessageW(dialog, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  while (timers.runNextDue()) {
  }
  return true;
}

int runMessageLoop(TimerSet& timers, HWND dialog) {
  // Millisecond waits: the system tick is about 15.6 ms otherwise.
  timeBeginPeriod(1);
  int exitCode = 0;
  while (pumpMessages(timers, dialog, exitCode)) {
    DWORD wait = INFINITE;
    if (const auto deadline = timers.nextDeadline())
      wait = static_cast<DWORD>(std::clamp<Millis>(*deadline - timers.now(), 0, 1 << 30));
    if (wait > 0) MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  timeEndPeriod(1);
  return exitCode;
}

}  // namespace blinkolux
