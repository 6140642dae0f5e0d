// SPDX-License-Identifier: MIT
#include "lamps/win32/win32_keyboard.h"

#include <windows.h>

namespace blinkolux {

std::uint32_t User32::platformId() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  platformId_ = version.dwPlatformId;
  return platformId_;
}

void User32::readState(KeyboardState& state) {
  // On the NT family a thread's key state follows the key events it takes from its queue, and
  // no further: a window in the background never gets them, and one in front has its own latest
  // toggles still queued. So take the lock keys' events that lead the queue (anything the user
  // typed stays there) and have GetKeyState bring the rest up to date. On the 95 family the locks
  // are written through this very state, so it is read as it stands.
  if (platformId_ == kWindowsNtFamily) {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE) != 0 &&
           lampOf(static_cast<int>(message.wParam)).has_value())
      PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE);
    for (const int key : kLampKeys)
      GetKeyState(key);
  }
  GetKeyboardState(state.data());
}

void User32::writeState(const KeyboardState& state) {
  KeyboardState copy = state;  // SetKeyboardState takes a non-const pointer
  SetKeyboardState(copy.data());
}

void User32::keyEvent(std::uint8_t key, std::uint8_t scanCode, std::uint32_t flags) {
  keybd_event(key, scanCode, flags, 0);
}

}  // namespace blinkolux
