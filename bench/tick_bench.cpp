// SPDX-License-Identifier: MIT
// What one running-light tick costs: waits for the X server (round trips), the requests the server
// saw, and CPU; on the X server and on the virtual keyboard.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "lamps/x11/x11_keyboard.h"
#include "virtual_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"
#include "x_server.h"

namespace blinkolux {
namespace {

// The times this thread blocked: on an idle machine, one per round trip to the X server.
double blockingWaits() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_nvcsw);
}

void runTicks(benchmark::State& state, Keyboard& keyboard, testing::XServerView* view = nullptr) {
  VirtualClock clock;
  Form1 form(keyboard, clock);
  form.Form_Load();
  form.MrRandom.setEnabled(false);
  form.setValue(ControlId::Check2, static_cast<int>(state.range(0)));
  clock.advanceTo(form.timers, 300);  // settle into the pattern
  if (view != nullptr) view->discardChanges();
  const double waits = blockingWaits();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    clock.advanceBy(form.timers, 100);
  }
  const auto ticks = static_cast<double>(state.iterations());
  state.counters["waits/tick"] = (blockingWaits() - waits) / ticks;
  if (view != nullptr) {
    // What the server saw: lock requests, and the Scroll indicator's own requests.
    double lockRequests = 0, indicatorRequests = 0;
    Lamps previous = view->indicators();
    for (const auto& change : view->watch(200)) {
      lockRequests += change.lockRequests;
      indicatorRequests += change.lamps[2] != previous[2] ? 1 : 0;
      previous = change.lamps;
    }
    state.counters["lock_requests/tick"] = lockRequests / ticks;
    state.counters["indicator_requests/tick"] = indicatorRequests / ticks;
  }
  form.Form_Unload();
}

void X11Tick(benchmark::State& state) {
  testing::XServerView view;
  X11Keyboard keyboard;
  runTicks(state, keyboard, &view);
}
BENCHMARK(X11Tick)->ArgName("inverted")->Arg(0)->Arg(1);

void VirtualTick(benchmark::State& state) {
  VirtualKeyboard keyboard;
  runTicks(state, keyboard.driver);
}
BENCHMARK(VirtualTick)->ArgName("inverted")->Arg(0)->Arg(1);

}  // namespace
}  // namespace blinkolux

BENCHMARK_MAIN();
