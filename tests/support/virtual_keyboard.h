// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include "lamps/win32/win32_keyboard.h"
#include "window/timer.h"

namespace blinkolux {

// An in-process keyboard that behaves as Windows' keyboard calls do: a key press toggles its lock,
// a held key has bit 7 set, and on the 95 family a written state sets the locks. It records every
// call. `driver` is the Windows keyboard over it, which the form's tests drive.
class VirtualKeyboard final : public WindowsKeyboardCalls {
 public:
  struct KeyEvent {
    Millis at;
    std::uint8_t key, scanCode;
    std::uint32_t flags;
    bool operator==(const KeyEvent&) const = default;
  };

  explicit VirtualKeyboard(std::uint32_t platformId = kWindowsNtFamily,
                           const Clock* clock = nullptr)
      : platformId_(platformId), clock_(clock) {}
  VirtualKeyboard(const VirtualKeyboard&) = delete;
  VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

  std::uint32_t platformId() override {
    ++versionQueries;
    return platformId_;
  }
  void readState(KeyboardState& state) override { state = state_; }
  void writeState(const KeyboardState& state) override {
    writes.push_back(state);
    state_ = state;
  }
  void keyEvent(std::uint8_t key, std::uint8_t scanCode, std::uint32_t flags) override {
    events.push_back({clock_ != nullptr ? clock_->now() : 0, key, scanCode, flags});
    const bool down = (flags & kKeyUp) == 0;
    if (down) state_[key] ^= 1;
    hold(key, down);
  }

  // What the user or another program does.
  void setLock(int key, bool on) {
    state_[key] = static_cast<std::uint8_t>((state_[key] & ~1) | (on ? 1 : 0));
  }
  void hold(int key, bool down) {
    state_[key] = static_cast<std::uint8_t>(down ? state_[key] | 0x80 : state_[key] & ~0x80);
  }

  bool lock(int key) const { return (state_[key] & 1) != 0; }
  Lamps lamps() const { return {lock(kNumLock), lock(kCapsLock), lock(kScrollLock)}; }
  const KeyboardState& state() const { return state_; }

  int versionQueries = 0;
  std::vector<KeyEvent> events;
  std::vector<KeyboardState> writes;
  Win32Keyboard driver{*this};

 private:
  std::uint32_t platformId_;
  const Clock* clock_;
  KeyboardState state_{};
};

}  // namespace blinkolux
