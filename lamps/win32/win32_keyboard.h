// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

#include "lamps/keyboard.h"

namespace blinkolux {

// One byte per virtual key: bit 0 lock engaged, bit 7 key held down.
using KeyboardState = std::array<std::uint8_t, 256>;

// Platform families, as the operating system's version record reports them.
inline constexpr std::uint32_t kWindows95Family = 1;
inline constexpr std::uint32_t kWindowsNtFamily = 2;

// keybd_event flags.
inline constexpr std::uint32_t kExtendedKey = 1;
inline constexpr std::uint32_t kKeyUp = 2;

// The four calls of user32 and kernel32 that the Windows keyboard is built on; tests replace them.
class WindowsKeyboardCalls {
 public:
  virtual ~WindowsKeyboardCalls() = default;
  virtual std::uint32_t platformId() = 0;                   // GetVersionExA
  virtual void readState(KeyboardState& state) = 0;         // GetKeyboardState
  virtual void writeState(const KeyboardState& state) = 0;  // SetKeyboardState
  virtual void keyEvent(std::uint8_t key, std::uint8_t scanCode, std::uint32_t flags) = 0;
};

// The lamps as Windows sets them: by a synthesised press and release of the lock key on the NT
// family, by writing back the keyboard state just read with one byte changed on the 95 family,
// and not at all on any other platform.
//
// The keyboard-state buffer and the version record live here, with the only code that uses them,
// rather than with the window.
class Win32Keyboard final : public Keyboard {
 public:
  explicit Win32Keyboard(WindowsKeyboardCalls& calls) : calls_(calls) {}

  bool read(Lamp lamp) override;
  void write(Lamp lamp, bool on) override;

 private:
  WindowsKeyboardCalls& calls_;
  KeyboardState state_{};
  std::uint32_t platformId_ = 0;  // as the last read found it
};

// The real calls (Windows only).
class User32 final : public WindowsKeyboardCalls {
 public:
  std::uint32_t platformId() override;
  void readState(KeyboardState& state) override;
  void writeState(const KeyboardState& state) override;
  void keyEvent(std::uint8_t key, std::uint8_t scanCode, std::uint32_t flags) override;

 private:
  std::uint32_t platformId_ = 0;  // as last asked
};

}  // namespace blinkolux
