// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <chrono>
#include <thread>

#include "window/timer.h"

namespace blinkolux {

// Real time, for the program.
class SteadyClock final : public Clock {
 public:
  Millis now() const override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void sleepUntil(Millis time) override {
    using namespace std::chrono;
    std::this_thread::sleep_until(steady_clock::time_point(milliseconds(time)));
  }
};

// Time that moves only when told to, for tests and benchmarks. A blocking sleep just moves it on.
class VirtualClock final : public Clock {
 public:
  Millis now() const override { return now_; }
  void sleepUntil(Millis time) override { now_ = std::max(now_, time); }

  // Runs every handler that falls due up to `time`, at its due time, then stands at `time`.
  void advanceTo(TimerSet& timers, Millis time) {
    for (auto due = timers.nextDeadline(); due && *due <= time; due = timers.nextDeadline()) {
      now_ = std::max(now_, *due);
      timers.runNextDue();
    }
    now_ = std::max(now_, time);
  }
  void advanceBy(TimerSet& timers, Millis ms) { advanceTo(timers, now_ + ms); }

 private:
  Millis now_ = 0;
};

}  // namespace blinkolux
