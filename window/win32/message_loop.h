// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include "window/timer.h"

namespace blinkolux {

// Handles the messages waiting now (with dialog keys for `dialog`) and runs the timers that are
// due, without blocking. False once WM_QUIT came, with its exit code in `exitCode`.
bool pumpMessages(TimerSet& timers, HWND dialog, int& exitCode);
// Waits for messages or the timers' next deadline, at 1 ms resolution, until WM_QUIT.
int runMessageLoop(TimerSet& timers, HWND dialog);

}  // namespace blinkolux
