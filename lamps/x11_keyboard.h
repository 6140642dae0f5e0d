#pragma once

#include <array>

#include "lamps/keyboard.h"

using Display = struct _XDisplay;

namespace blinkolux {

// The keyboard services on an X server with XKB. Reports the NT family: a key press toggles a
// lock. Locks are set with XKB lock requests, so no key event reaches any program.
//
// Num Lock and Scroll Lock are locked through the modifiers their keys are bound to. Where the
// keymap binds one to none (Scroll Lock, by default), it is bound to a free modifier while this
// object lives, bound again if the keymap is replaced, and the binding removed at the end.
class X11Keyboard final : public KeyboardServices {
 public:
  // Throws std::runtime_error with a one-line reason when there is no display or no XKB.
  explicit X11Keyboard(const char* displayName = nullptr);
  ~X11Keyboard() override;
  X11Keyboard(const X11Keyboard&) = delete;
  X11Keyboard& operator=(const X11Keyboard&) = delete;

  std::uint32_t platformId() override { return kWindowsNtFamily; }
  void readState(KeyboardState& state) override;
  void writeState(const KeyboardState& state) override;
  void keyEvent(std::uint8_t key, std::uint8_t scanCode, std::uint32_t flags) override;

  // A Wayland session's X server keeps lock states of its own, away from the real keyboard.
  bool isXWayland() const;

  // One copy per display, or two would fight over the lamps: claims the display's BLINKOLUX
  // selection, which the server frees when this copy ends. False when another copy holds it; that
  // copy's window is then raised.
  bool claimDisplay();
  // The window that a later copy raises.
  void setMainWindow(unsigned long window);

 private:
  struct Lock {
    int key = 0;               // virtual-key code
    unsigned long keysym = 0;  // its X keysym
    unsigned mask = 0;         // the modifier it locks; 0 when it has none
    unsigned char keycode = 0;
    int ourModifier = -1;  // the modifier we bound it to, if we did
  };

  void bindLocks();
  void unbindLocks();
  void handleEvents();
  Lock* lockFor(int key);

  Display* display_;
  unsigned long claim_ = 0;  // the window that holds the selection
  int xkbEventBase_ = 0;
  std::array<Lock, 3> locks_;
  unsigned lastLocked_ = 0;  // the locked modifiers as last read
};

}  // namespace blinkolux
