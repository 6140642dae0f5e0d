// SPDX-License-Identifier: MIT
#include "window/win32/message_loop.h"

#include <timeapi.h>

#include <algorithm>

namespace blinkolux {

bool pumpMessages(TimerSet& timers, HWND dialog, int& exitCode) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      exitCode = static_cast<int>(message.wParam);
      return false;
    }
    if (dialog == nullptr || !IsDialogMessageW(dialog, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  while (timers.runNextDue()) {
  }
  return true;
}

int runMessageLoop(TimerSet& timers, HWND dialog) {
  // Millisecond waits: the system tick is about 15.6 ms otherwise.
  timeBeginPeriod(1);
  int exitCode = 0;
  while (pumpMessages(timers, dialog, exitCode)) {
    DWORD wait = INFINITE;
    if (const auto deadline = timers.nextDeadline())
      wait = static_cast<DWORD>(std::clamp<Millis>(*deadline - timers.now(), 0, 1 << 30));
    if (wait > 0) MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  timeEndPeriod(1);
  return exitCode;
}

}  // namespace blinkolux
