// SPDX-License-Identifier: MIT
// The kernel keyboard's way back: its record of the lamps found, and putting them back.
#include <systemd/sd-event.h>

#include "lamps/kernel/kernel_keyboard.h"
#include "lamps/kernel/led_files.h"
#include "lamps/kernel/logind_session.h"

namespace blinkolux {

std::string KernelKeyboard::record() const {
  std::vector<SavedLed> saved;
  for (const auto& led : leds_)
    saved.push_back(led->saved);
  return blinkolux::record(saved);
}

void KernelKeyboard::putBack(std::string_view text) {
  std::vector<SavedLed> leds;
  for (SavedLed& saved : parseRecord(text)) {
    Led* led = find(saved.name);
    if (led == nullptr) continue;  // only LEDs that are here now
    led->saved = saved;
    leds.push_back(saved);
  }
  blinkolux::putBack(*this, leds);
  known_.fill(std::nullopt);
}

void KernelKeyboard::putBack() {
  for (int i = 0; i < 20; ++i) {  // logind's answers still to come, for up to 2 s
    bool waiting = false;
    for (const auto& led : leds_) {
      led->next.reset();
      waiting = waiting || led->request != nullptr;
    }
    if (!waiting) break;
    sd_event_run(event_.get(), 100'000);
  }
  std::vector<SavedLed> saved;
  for (const auto& led : leds_)
    saved.push_back(led->saved);
  blinkolux::putBack(*this, saved);
}

bool KernelKeyboard::brightness(const std::string& name) {
  const Led* led = find(name);
  return led != nullptr && sysfs::lit(led->syspath);
}

void KernelKeyboard::setBrightness(const std::string& name, bool on) {
  Led* led = find(name);
  if (led == nullptr) return;
  if (led->writable)
    sysfs::writeFile(led->syspath + "/brightness", on ? "1" : "0");
  else if (active_)
    session_->setBrightness(led->saved.name, on);
}

bool KernelKeyboard::setTrigger(const std::string& name, const std::string& trigger) {
  const Led* led = find(name);
  return led != nullptr && sysfs::writeFile(led->syspath + "/trigger", trigger);
}

}  // namespace blinkolux
