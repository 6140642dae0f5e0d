// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "window/form.h"
#include "window/win32/gdi.h"
#include "window/win32/lamp_mirror.h"
#include "window/win32/speed_text.h"

namespace blinkolux {

// The Win32 front-end of Form1: the window built from the window table at the window's DPI, its
// events forwarded to the form, and a message loop that wakes the form's timers at their earliest
// deadline.
class Win32Window {
 public:
  explicit Win32Window(Form1& form);
  ~Win32Window();
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  HWND handle() const { return window_; }
  HWND control(ControlId id) const;
  HWND mirror() const { return mirror_->handle(); }
  HWND tips() const { return tips_; }
  int dpi() const { return dpi_; }  // that its layout follows: the window's, and the text size

  // Called once the lamps have gone back, while the window still exists.
  std::function<void()> onUnloaded;

  // Runs until the window is closed; returns the exit code.
  int run();
  // Handles the messages waiting now and runs the timers that are due, without blocking.
  // False once the window has been closed.
  bool pump();

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  bool deferredWhileBusy(UINT message, WPARAM w, LPARAM l);
  void onCommand(WPARAM w);
  void onActivate(WPARAM w);
  void onDpiChanged(LPARAM l);
  void armModalLoopTimer();
  bool busy() const { return clicking_ || form_.timers.running(); }
  void addControl(const ControlDescription& c);
  void layOut(int dpi);
  void unload();

  Form1& form_;
  HWND window_ = nullptr;
  HWND tips_ = nullptr;  // the tooltips of the slider and of the mirror's lamps
  std::unique_ptr<LampMirror> mirror_;
  std::unique_ptr<SpeedText> speedText_;
  GdiObject<HFONT> font_;
  HWND focus_ = nullptr;  // kept while another window is active
  int dpi_ = 96;
  bool clicking_ = false;
  int exitCode_ = 0;
};

}  // namespace blinkolux
