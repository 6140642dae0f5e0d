#include "window/win32/win32_window.h"

#include <commctrl.h>
#include <timeapi.h>

#include <algorithm>
#include <string>

namespace blinkolux {

namespace {

constexpr wchar_t kClassName[] = L"Blinkolux";
constexpr int kFirstControlId = 100;

std::wstring wide(std::string_view text) {
  return {text.begin(), text.end()};
}

int commandId(ControlId id) {
  return kFirstControlId + static_cast<int>(id);
}

}  // namespace

Win32Window::Win32Window(Form1& form) : form_(form) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Win32Window::procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);

  // A fixed dialog frame with a title bar and close box, and no minimise or maximise.
  constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  constexpr DWORD exStyle = WS_EX_DLGMODALFRAME;
  RECT frame{0, 0, pixels(kClientWidth), pixels(kClientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  window_ = CreateWindowExW(exStyle, kClassName, wide(kWindowCaption).c_str(), style, CW_USEDEFAULT,
                            CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                            nullptr, nullptr, instance, this);

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  for (const ControlDescription& c : kControls)
    addControl(c);
}

Win32Window::~Win32Window() {
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
      CreateWindowExW(0, windowClass, wide(c.caption).c_str(), style, pixels(c.left), pixels(c.top),
                      pixels(c.width), pixels(c.height), window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(commandId(c.id))),
                      GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
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

LRESULT Win32Window::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND: {
      if (HIWORD(w) != BN_CLICKED) break;
      const auto id = static_cast<ControlId>(LOWORD(w) - kFirstControlId);
      if (control(id) == nullptr) break;
      if (kControls[static_cast<std::size_t>(id)].kind == ControlKind::CheckBox)
        form_.setValue(id, SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
      form_.click(id);
      return 0;
    }
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(l) == control(ControlId::Slider1))
        form_.setValue(ControlId::Slider1, static_cast<int>(SendMessageW(
                                               control(ControlId::Slider1), TBM_GETPOS, 0, 0)));
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (w == FALSE) return 0;  // the session goes on
      [[fallthrough]];
    case WM_CLOSE:
      // The lamps go back while the window still exists: key events reach the system only
      // through a window of the desktop.
      form_.Form_Unload();
      if (onUnloaded) onUnloaded();
      DestroyWindow(window_);
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
