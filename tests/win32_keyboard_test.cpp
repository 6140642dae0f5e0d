// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <windows.h>

#include "lamps/lamp_access.h"
#include "lamps/win32/win32_keyboard.h"

namespace blinkolux {
namespace {

// Built twice: once run as the NT family, once as the 95 family (Wine's per-program version).
#ifndef EXPECTED_PLATFORM
#define EXPECTED_PLATFORM 2
#endif

Lamps toggledByUser32() {
  return {(GetKeyState(VK_NUMLOCK) & 1) != 0, (GetKeyState(VK_CAPITAL) & 1) != 0,
          (GetKeyState(VK_SCROLL) & 1) != 0};
}

TEST(Win32Keyboard, ReportsItsPlatformFamily) {
  EXPECT_EQ(User32().platformId(), static_cast<std::uint32_t>(EXPECTED_PLATFORM));
}

TEST(Win32Keyboard, SetsAndReadsEachLock) {
  User32 user32;
  Win32Keyboard keyboard(user32);
  LampAccess lamps(keyboard);
  const Lamps before = lamps.GetLockStates();
  for (const Lamps& wanted :
       {Lamps{true, false, false}, Lamps{false, true, false}, Lamps{false, false, true},
        Lamps{true, true, true}, Lamps{false, false, false}}) {
    lamps.SetLockStates(wanted);
    EXPECT_EQ(lamps.GetLockStates(), wanted);
    EXPECT_EQ(toggledByUser32(), wanted);
  }
  lamps.SetLockStates(before);
}

// Key events go to the foreground thread's queue; a thread that does not handle them must still
// read the current lock states, or SetLockState would toggle the wrong way.
TEST(Win32Keyboard, ReadsTheCurrentStateWhileItsWindowIsInTheBackground) {
  if (EXPECTED_PLATFORM != kWindowsNtFamily) GTEST_SKIP() << "the 95 family writes its own state";
  const HWND window = CreateWindowExW(0, L"STATIC", L"background", WS_OVERLAPPED, 0, 0, 10, 10,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  User32 user32;
  Win32Keyboard keyboard(user32);
  LampAccess lamps(keyboard);
  const bool caps = lamps.GetLockState(kCapsLock);
  for (int i = 0; i < 3; ++i) {
    keybd_event(VK_CAPITAL, 0x45, KEYEVENTF_EXTENDEDKEY, 0);  // another program's toggle
    keybd_event(VK_CAPITAL, 0x45, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(lamps.GetLockState(kCapsLock), i % 2 == 0 ? !caps : caps);
  }
  lamps.SetLockState(kCapsLock, caps);
  DestroyWindow(window);
}

}  // namespace
}  // namespace blinkolux
