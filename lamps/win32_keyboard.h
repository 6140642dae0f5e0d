#pragma once

#include "lamps/keyboard.h"

namespace blinkolux {

// The Windows keyboard services of user32 and kernel32.
class Win32Keyboard final : public KeyboardServices {
 public:
  std::uint32_t platformId() override;
  void readState(KeyboardState& state) override;
  void writeState(const KeyboardState& state) override;
  void keyEvent(std::uint8_t key, std::uint8_t scanCode, std::uint32_t flags) override;

 private:
  std::uint32_t platformId_ = 0;  // as last asked
};

}  // namespace blinkolux
