// What one running-light tick costs: X round trips and lock changes on a real X server, and CPU.
#include <benchmark/benchmark.h>

#include "lamps/virtual_keyboard.h"
#include "lamps/x11_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"

namespace blinkolux {
namespace {

// Counts what the form asks of a keyboard: every read is one X round trip, every press one change.
class CountingKeyboard final : public KeyboardServices {
 public:
  explicit CountingKeyboard(KeyboardServices& keyboard) : keyboard_(keyboard) {}
  std::uint32_t platformId() override { return keyboard_.platformId(); }
  void readState(KeyboardState& state) override {
    ++reads;
    keyboard_.readState(state);
  }
  void writeState(const KeyboardState& state) override { keyboard_.writeState(state); }
  void keyEvent(std::uint8_t key, std::uint8_t scanCode, std::uint32_t flags) override {
    if ((flags & kKeyUp) == 0) ++presses;
    keyboard_.keyEvent(key, scanCode, flags);
  }
  std::int64_t reads = 0, presses = 0;

 private:
  KeyboardServices& keyboard_;
};

void runTicks(benchmark::State& state, KeyboardServices& keyboard) {
  CountingKeyboard counting(keyboard);
  VirtualClock clock;
  Form1 form(counting, clock);
  form.Form_Load();
  form.MrRandom.setEnabled(false);
  form.setValue(ControlId::Check2, static_cast<int>(state.range(0)));
  clock.advanceTo(form.timers, 300);  // settle into the pattern
  const auto reads = counting.reads, presses = counting.presses;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    clock.advanceBy(form.timers, 100);
  }
  const auto ticks = static_cast<double>(state.iterations());
  state.counters["round_trips/tick"] = static_cast<double>(counting.reads - reads) / ticks;
  // Plain or inverted, every step turns one lamp on and one off.
  state.counters["lock_changes/tick"] = static_cast<double>(counting.presses - presses) / ticks;
  form.Form_Unload();
}

void X11Tick(benchmark::State& state) {
  X11Keyboard keyboard;
  runTicks(state, keyboard);
}
BENCHMARK(X11Tick)->ArgName("inverted")->Arg(0)->Arg(1);

void VirtualTick(benchmark::State& state) {
  VirtualKeyboard keyboard;
  runTicks(state, keyboard);
}
BENCHMARK(VirtualTick)->ArgName("inverted")->Arg(0)->Arg(1);

}  // namespace
}  // namespace blinkolux

BENCHMARK_MAIN();
