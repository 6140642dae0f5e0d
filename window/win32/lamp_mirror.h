// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include "window/form.h"

namespace blinkolux {

// The three lamps as the form last read or wrote them, for keyboards with fewer lamps (most
// laptops) or none in sight (a remote desktop): a child of the window with no tab stop and no
// focus, its lamps' names as tooltips.
class LampMirror {
 public:
  // `tips` shows the lamps' names.
  LampMirror(HWND parent, const Form1& form, HWND tips);
  LampMirror(const LampMirror&) = delete;
  LampMirror& operator=(const LampMirror&) = delete;

  HWND handle() const { return window_; }
  // In its band of the window at `dpi`, its letters in `font`.
  void place(int dpi, HFONT font);
  // At once: a show's end step pauses the thread with the lamps dark, and the message loop with it.
  void repaintNow() { RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

 private:
  static LRESULT CALLBACK procedure(HWND mirror, UINT message, WPARAM w, LPARAM l);
  void paint();
  RECT lamp(std::size_t index) const;

  const Form1& form_;
  HWND window_ = nullptr;
  HWND tips_ = nullptr;
  HFONT font_ = nullptr;  // the window's
};

// How a lamp is drawn: the window table's look, or in high contrast the user's own colours, on
// which the fixed ones may vanish (a dark lamp's #454C56 on black).
LampLook mirroredLook(bool driven, bool lit);

}  // namespace blinkolux
