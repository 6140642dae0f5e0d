// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>

#include "lamps/keyboard.h"
#include "lamps/x11/x11_display.h"

struct _XkbDesc;

namespace blinkolux {

// The lamps of an X server's keyboard, through XKB. No key event reaches any program, and the
// keymap is never changed:
// - Caps Lock, and Num and Scroll Lock where the keymap binds their keys to a modifier, are locked
//   through that modifier;
// - otherwise Scroll Lock is the keymap's "Scroll Lock" indicator, which a client may set;
// - a lamp that neither reaches on the current keymap reads as dark, is never written, and is
//   named once on stderr.
//
// Reads cost no round trip: the state is the one the server last reported in the XKB events it
// sends this connection, with the writes it has not reported yet laid over. Writes are held back
// until commit(), so that a step reaches the server as one lock request and one indicator request.
class X11Keyboard final : public Keyboard {
 public:
  // Throws std::runtime_error with a one-line reason when there is no display or no XKB.
  explicit X11Keyboard(const char* displayName = nullptr);

  bool read(Lamp lamp) override;
  void write(Lamp lamp, bool on) override;
  void refresh() override;
  void commit() override;
  Lamps driven() override;

  // Requests queued on this connection leave with the next commit's.
  Display* connection() const { return display_.get(); }

 private:
  enum class Way { Unreachable, Lock, Indicator };
  // How one lamp is reached, and what we wrote to it.
  struct Route {
    Route(Lamp l, unsigned long sym) : lamp(l), keysym(sym) {}
    Lamp lamp;
    unsigned long keysym;  // its lock key
    Way way = Way::Unreachable;
    unsigned mask = 0;           // Lock: the modifiers its key is bound to
    unsigned indicator = 0;      // Indicator: its bit in the indicator state
    std::optional<bool> wanted;  // written, and not yet reported by the server
    unsigned long serial = 0;    // of the request that carries `wanted`; 0 while it waits
    bool litByUs = false;        // the last state we sent was on
    bool named = false;          // said that it can't be driven
  };

  void findRoutes();
  const char* findWay(Route& route, _XkbDesc* xkb);  // why it can't be reached, or nullptr
  void releaseMoved(const std::array<Route, 3>& before);
  void fetchState();
  void takeEvents();
  bool shows(const Route& route) const;

  DisplayConnection display_;
  int xkbEventBase_ = 0;
  unsigned long scrollIndicator_ = 0;  // the atom "Scroll Lock"
  std::array<Route, 3> routes_;
  bool eventsTaken_ = false;                            // since the handler began
  unsigned locked_ = 0;                                 // the locked modifiers as last reported
  unsigned indicators_ = 0;                             // the indicator state as last reported
  unsigned long lockSerial_ = 0, indicatorSerial_ = 0;  // of the requests that fetched them
};

}  // namespace blinkolux
