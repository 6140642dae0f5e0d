// SPDX-License-Identifier: MIT
#include "window/win32/win32_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "window/win32/dpi.h"
#include "window/win32/message_loop.h"
#include "window/win32/placement.h"

namespace blinkolux {

namespace {

constexpr wchar_t kClassName[] = L"Blinkolux";
constexpr int kFirstControlId = 100;
constexpr UINT_PTR kModalLoopTimer = 1;
constexpr int kSmallestFont = 6;  // px: captions shrink no further

int commandId(ControlId id) {
  return kFirstControlId + static_cast<int>(id);
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
    const WindowDc dc(control);
    const Selected font(dc.get(),
                        reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
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
  const SIZE frame = frameSize(systemDpi(), systemDpi());
  window_ =
      CreateWindowExW(kExStyle, kClassName, wide(kWindowCaption).c_str(), kStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, frame.cx, frame.cy, nullptr, nullptr, instance, this);
  // The label first: screen readers name a control after the text before it, so the slider is
  // read as "Speed". It takes no focus, so the tab order stays the table's.
  for (const bool label : {true, false})
    for (const ControlDescription& c : kControls)
      if ((c.kind == ControlKind::Label) == label) addControl(c);
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                          nullptr, instance, nullptr);
  speedText_ = std::make_unique<SpeedText>(control(ControlId::Slider1), tips_);
  speedText_->show(form_.Slider1.Value);
  mirror_ = std::make_unique<LampMirror>(window_, form_, tips_);
  form_.onLampsShown = [this] { mirror_->repaintNow(); };

  const int dpi = windowDpi(window_);
  const SIZE scaled = frameSize(layoutDpi(dpi), dpi);
  SetWindowPos(window_, nullptr, 0, 0, scaled.cx, scaled.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  layOut(dpi);
  focus_ = control(ControlId::Slider1);  // the first in tab order, as in a dialog
}

Win32Window::~Win32Window() {
  form_.onLampsShown = nullptr;
  speedText_.reset();  // its annotation goes with the slider
  if (IsWindow(window_)) DestroyWindow(window_);
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

// Every control at its twips for the layout's DPI, in the system's message font at `dpi`, made
// smaller only where a caption would not fit its box otherwise.
void Win32Window::layOut(int dpi) {
  dpi_ = layoutDpi(dpi);
  for (const ControlDescription& c : kControls)
    placeAt(control(c.id), c.left, c.top, c.width, c.height, dpi_);
  LOGFONTW font = messageFont(dpi);
  for (;;) {
    GdiObject<HFONT> made(CreateFontIndirectW(&font));
    for (const ControlDescription& c : kControls)
      SendMessageW(control(c.id), WM_SETFONT, reinterpret_cast<WPARAM>(made.get()), TRUE);
    font_ = std::move(made);
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
  mirror_->place(dpi_, font_.get());
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

// Handlers never overlap: a click, a slider move or a close sent while one runs (a handler that
// looks at its queue lets other threads' and programs' messages in) waits until it has returned.
bool Win32Window::deferredWhileBusy(UINT message, WPARAM w, LPARAM l) {
  if ((message != WM_COMMAND && message != WM_HSCROLL && message != WM_CLOSE) || !busy())
    return false;
  PostMessageW(window_, message, w, l);
  return true;
}

// Any program can send these: only our own controls' ids count.
void Win32Window::onCommand(WPARAM w) {
  const int number = LOWORD(w) - kFirstControlId;
  if (HIWORD(w) != BN_CLICKED || number < 0 || number >= static_cast<int>(kControls.size())) return;
  const auto id = static_cast<ControlId>(number);
  if (kControls[static_cast<std::size_t>(id)].kind == ControlKind::CheckBox)
    form_.setValue(id, SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
  clicking_ = true;
  form_.click(id);
  clicking_ = false;
}

// As a dialog: the focused control is kept while another window is active.
void Win32Window::onActivate(WPARAM w) {
  if (LOWORD(w) == WA_INACTIVE) {
    const HWND focused = GetFocus();
    if (focused != nullptr && IsChild(window_, focused)) focus_ = focused;
  } else if (focus_ != nullptr) {
    SetFocus(focus_);
  }
}

// Any program can post this too: the DPI is the window's own, and the rectangle Windows suggests
// is taken only where there is one that fits a frame at that DPI.
void Win32Window::onDpiChanged(LPARAM l) {
  const int dpi = windowDpi(window_);
  const SIZE frame = frameSize(layoutDpi(dpi), dpi);
  const auto* suggested = reinterpret_cast<const RECT*>(l);
  if (suggested != nullptr && suggested->right - suggested->left == frame.cx &&
      suggested->bottom - suggested->top == frame.cy)
    SetWindowPos(window_, nullptr, suggested->left, suggested->top, frame.cx, frame.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  else
    SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  layOut(dpi);
}

// Windows' own loops (the system menu, moving or sizing by the title bar) never come back to our
// message loop while they run, but do dispatch a window timer's messages: one keeps the timers
// going meanwhile, woken at their next deadline.
void Win32Window::armModalLoopTimer() {
  const auto deadline = form_.timers.nextDeadline();
  const Millis wait = deadline ? *deadline - form_.timers.now() : 1000;
  SetTimer(window_, kModalLoopTimer,
           static_cast<UINT>(std::clamp<Millis>(wait, USER_TIMER_MINIMUM, 1 << 30)), nullptr);
}

LRESULT Win32Window::handle(UINT message, WPARAM w, LPARAM l) {
  if (deferredWhileBusy(message, w, l)) return 0;
  switch (message) {
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:
      armModalLoopTimer();
      return 0;
    case WM_TIMER:
      if (w != kModalLoopTimer) break;
      while (form_.timers.runNextDue()) {
      }
      armModalLoopTimer();
      return 0;
    case WM_EXITMENULOOP:
    case WM_EXITSIZEMOVE:
      KillTimer(window_, kModalLoopTimer);
      return 0;
    case WM_COMMAND:
      onCommand(w);
      return 0;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(l) == control(ControlId::Slider1)) {
        form_.setValue(ControlId::Slider1, static_cast<int>(SendMessageW(
                                               control(ControlId::Slider1), TBM_GETPOS, 0, 0)));
        speedText_->show(form_.Slider1.Value);
      }
      return 0;
    case WM_ACTIVATE:
      onActivate(w);
      return 0;
    case WM_SYSCOLORCHANGE:  // high contrast switched on or off, or other colours
      RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      break;
    case WM_DPICHANGED:
      onDpiChanged(l);
      return 0;
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

}  // namespace blinkolux
