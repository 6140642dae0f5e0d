// SPDX-License-Identifier: MIT
// Drives the form with arbitrary event sequences on virtual time, under AddressSanitizer and
// UndefinedBehaviorSanitizer: every byte picks an event, the next one is its argument.
#include <cstddef>
#include <cstdint>

#include "user_actions.h"
#include "virtual_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"

using namespace blinkolux;

namespace {

void require(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  VirtualClock clock;
  VirtualKeyboard keyboard(data[0] % 4, &clock);  // no platform, the 95 family, NT, other
  Form1 form(keyboard.driver, clock);
  std::size_t at = 1;
  const auto next = [&] { return at < size ? data[at++] : std::uint8_t{0}; };
  form.Rnd = [&] { return static_cast<float>(next()) / 256; };
  form.Form_Load();
  const Lamps saved = form.SavedLamps;
  while (at < size) {
    const std::uint8_t event = next(), argument = next();
    if (event % 10 == 8) {
      form.Form_Unload();  // the window closes: nothing runs after it
      require(data[0] % 4 == 0 || data[0] % 4 == 3 || keyboard.lamps() == saved);
      return 0;
    } else if (event % 10 == 9) {
      clock.advanceBy(form.timers, Millis{argument} * 50);
    } else {
      userAction(form, keyboard, event % 10, argument);
    }
    require(!(form.Timer3.enabled() && form.Timer4.enabled()));
    const int lit = form.ChaseNum + form.ChaseCaps + form.ChaseScroll;
    require(lit == 1 || lit == 2);
    require(form.ShowStep >= 0 && form.ShowStep <= 51);
    if (keyboard.events.size() > 10000) keyboard.events.clear();
    if (keyboard.writes.size() > 10000) keyboard.writes.clear();
  }
  return 0;
}
