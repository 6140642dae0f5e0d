// SPDX-License-Identifier: MIT
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "lamps/x11/x11_display.h"

namespace blinkolux {

// One copy per display, and the lamps it found there kept where the next copy can find them.
//
// Two copies would fight over the lamps, and the second would "restore" the first's pattern: the
// copy that holds the display's BLINKOLUX selection runs, and the server frees it when that copy
// ends, however it ends. While it runs, the lamps it found at start stay in the root window's
// _BLINKOLUX_SAVED property (the keyboard's kind, then its lamps: "x11 N.S"), so that the next
// start after a hard kill can put them back. No file: the record lives and dies with the display.
class DisplayClaim {
 public:
  // Throws std::runtime_error with a one-line reason when there is no display.
  explicit DisplayClaim(const char* displayName = nullptr);

  // False when another copy holds the display; that copy's window is then raised. Throws
  // std::runtime_error with a one-line reason when something that isn't a running Blinkolux holds
  // the claim.
  bool claim();
  // The window that a later copy raises.
  void setMainWindow(unsigned long window);

  // What a copy that died had found on a keyboard of this kind; call after claim(). Anyone on the
  // display can write it: a record over 64 KiB is not read.
  std::optional<std::string> leftBehind(std::string_view kind);
  void keep(std::string_view kind, std::string_view lamps);
  void forget();  // the lamps are back

  Display* display() const { return display_.get(); }

 private:
  unsigned long take();  // the selection where nobody holds it (None), else who does
  std::optional<unsigned long> runningCopysWindow(unsigned long holder);
  void raise(unsigned long window);

  DisplayConnection display_;
  unsigned long window_ = 0;  // holds the selection
  unsigned long saved_;       // the _BLINKOLUX_SAVED atom
};

// The window a property names, where it names one: type WINDOW, format 32, one item (Xlib hands
// 32-bit items over as longs). Any client can write a property, in any format.
inline std::optional<unsigned long> oneWindow(unsigned long type, int format, unsigned long count,
                                              const unsigned char* data) {
  constexpr unsigned long kWindowType = 33;  // XA_WINDOW
  if (data == nullptr || type != kWindowType || format != 32 || count != 1) return std::nullopt;
  unsigned long window = 0;
  std::memcpy(&window, data, sizeof window);
  return window;
}

}  // namespace blinkolux
