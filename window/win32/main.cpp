// SPDX-License-Identifier: MIT
#include <windows.h>

#include <string>

#include "lamps/win32/win32_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"
#include "window/win32/win32_window.h"

#ifdef BLINKOLUX_REPORT_LAMPS
// The test build says on standard output which lamps it found at load and left at exit: under
// Wine only the program's own thread sees the lock states it sets.
static void reportLamps(const blinkolux::Lamps& loaded, const blinkolux::Lamps& closed) {
  const std::string line =
      "loaded " + blinkolux::pattern(loaded) + " closed " + blinkolux::pattern(closed) + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
}
#endif

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  using namespace blinkolux;
  // One copy per session, or two would fight over the lamps: a later one raises the first.
  CreateMutexW(nullptr, FALSE, L"Local\\Blinkolux");
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    if (const HWND running = FindWindowW(L"Blinkolux", L"Blinkolux")) {
      ShowWindow(running, SW_RESTORE);
      SetForegroundWindow(running);
    }
    return 0;
  }
  User32 user32;
  Win32Keyboard keyboard(user32);
  SteadyClock clock;
  Form1 form(keyboard, clock);
  Win32Window window(form);
  form.Form_Load();
#ifdef BLINKOLUX_REPORT_LAMPS
  // At once: when the session ends, the process may be ended as soon as the window is gone.
  window.onUnloaded = [&] { reportLamps(form.SavedLamps, LampAccess(keyboard).GetLockStates()); };
#endif
  return window.run();
}
