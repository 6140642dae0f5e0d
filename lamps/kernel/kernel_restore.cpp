// SPDX-License-Identifier: MIT
// The kernel keyboard's way back: its record of the lamps found, and putting them back.
#include <systemd/sd-event.h>

#include "lamps/kernel/kernel_keyboard.h"
#include "lamps/kernel/led_files.h"
#include "lamps/kernel/logind_session.h"

namespace blinkolux {

std::vector<SavedLed> KernelKeyboard::toPutBack() const {
  std::vector<SavedLed> leds;
  for (const auto& led : leds_)
    leds.push_back({led->name, saved_[index(led->lamp)], led->trigger});
  return leds;
}

std::string KernelKeyboard::record() const {
  return blinkolux::record(toPutBack());
}

void KernelKeyboard::putBack(std::string_view text) {
  for (const SavedLed& saved : parseRecord(text)) {
    Led* led = find(saved.name);
    if (led == nullptr) continue;                              // only LEDs that are here now
    if (!saved.trigger.empty()) led->trigger = saved.trigger;  // else the one it has now
    saved_[index(led->lamp)] = saved.brightness;
  }
  blinkolux::putBack(*this, toPutBack());
  for (const auto& led : leds_)
    led->known.reset();
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
  takeState();  // a lock key pressed since the last handler, and the compositor's last word
  blinkolux::putBack(*this, toPutBack());
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
    session_->setBrightness(led->name, on);
}

bool KernelKeyboard::setTrigger(const std::string& name, const std::string& trigger) {
  const Led* led = find(name);
  return led != nullptr && sysfs::writeFile(led->syspath + "/trigger", trigger);
}

}  // namespace blinkolux
