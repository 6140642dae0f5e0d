// SPDX-License-Identifier: MIT
// How closely the Windows message loop keeps the timer facility's schedule: one timer at 100 ms
// and one at 20 ms, each for 10 s, on the real clock. Prints one JSON object per interval.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "window/clocks.h"
#include "window/timer.h"
#include "window/win32/message_loop.h"

namespace {

using namespace blinkolux;

void measure(std::int32_t interval) {
  SteadyClock clock;
  TimerSet timers(clock);
  std::vector<double> lateness;
  const int ticks = 10000 / interval;
  Timer timer(timers, {interval, true}, [&] {
    using namespace std::chrono;
    const double now = duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
    lateness.push_back(now - static_cast<double>(timers.now()));
    if (static_cast<int>(lateness.size()) == ticks) PostQuitMessage(0);
  });
  const Millis start = clock.now();
  runMessageLoop(timers, nullptr);
  const double drift = static_cast<double>(clock.now() - start - Millis{ticks} * interval);
  std::sort(lateness.begin(), lateness.end());
  const auto at = [&](double q) {
    return lateness[static_cast<std::size_t>(q * static_cast<double>(lateness.size() - 1))];
  };
  std::printf(
      "{\"interval_ms\": %d, \"ticks\": %zu, \"late_median_ms\": %.2f, \"late_p99_ms\": %.2f, "
      "\"late_max_ms\": %.2f, \"drift_ms\": %.0f}\n",
      interval, lateness.size(), at(0.5), at(0.99), lateness.back(), drift);
  std::fflush(stdout);
}

}  // namespace

int main() {
  measure(100);
  measure(20);
}
