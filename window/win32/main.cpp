// SPDX-License-Identifier: MIT
#include <windows.h>

#include <string>

#include "lamps/lamp_access.h"
#include "lamps/win32/win32_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"
#include "window/win32/lamp_record.h"
#include "window/win32/single_instance.h"
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
  const SingleInstance instance;
  if (instance.outcome() == SingleInstance::Outcome::RunningCopyRaised) return 0;
  if (instance.outcome() == SingleInstance::Outcome::NameTaken) {
    // No console to say it on.
    MessageBoxW(nullptr,
                L"Another program holds Blinkolux's name in this session, so Blinkolux can't "
                L"tell whether it already runs, and does not start.",
                L"Blinkolux", MB_OK | MB_ICONERROR);
    return 1;
  }
  User32 user32;
  Win32Keyboard keyboard(user32);
  SteadyClock clock;
  Form1 form(keyboard, clock);
  Win32Window window(form);
  // The last copy was ended without putting the lamps back: do it for it (key events reach the
  // system through a window of the desktop, so after the window is made).
  LampRecord record;
  if (const auto left = record.leftBehind()) LampAccess(keyboard).SetLockStates(*left);
  form.Form_Load();
  record.keep(form.SavedLamps);
  window.onUnloaded = [&] {
    record.forget();
#ifdef BLINKOLUX_REPORT_LAMPS
    // At once: when the session ends, the process may be ended as soon as the window is gone.
    reportLamps(form.SavedLamps, LampAccess(keyboard).GetLockStates());
#endif
  };
  return window.run();
}
