// SPDX-License-Identifier: MIT
#include "lamps/kernel/led_record.h"

#include <algorithm>
#include <cctype>

namespace blinkolux {

namespace {

// A record is anybody's to write, and its trigger names go into the kernel's trigger files: only
// what a user's keyboard lamp could have had is taken.
bool userTrigger(std::string_view name) {
  if (name == "none") return true;
  return name.starts_with("kbd-") && name.size() <= 64 &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_';
         });
}

}  // namespace

void putBack(LedFiles& files, std::span<const SavedLed> leds) {
  for (const SavedLed& led : leds)
    if (led.trigger != "none" && !led.trigger.empty()) files.setTrigger(led.name, led.trigger);
  for (const SavedLed& led : leds)
    if (files.brightness(led.name) != led.brightness) files.setBrightness(led.name, led.brightness);
}

std::string record(std::span<const SavedLed> leds) {
  std::string text;
  for (const SavedLed& led : leds)
    text += (text.empty() ? "" : " ") + led.name + '=' + (led.brightness ? '1' : '0') + ':' +
            led.trigger;
  return text;
}

std::vector<SavedLed> parseRecord(std::string_view text) {
  std::vector<SavedLed> leds;
  while (!text.empty()) {
    const std::string_view item = text.substr(0, text.find(' '));
    text.remove_prefix(std::min(text.size(), item.size() + 1));
    const auto equals = item.find('=');
    if (equals == 0 || equals == std::string_view::npos || equals + 3 > item.size() ||
        item[equals + 2] != ':' || (item[equals + 1] != '0' && item[equals + 1] != '1'))
      continue;
    const std::string_view trigger = item.substr(equals + 3);
    leds.push_back({std::string(item.substr(0, equals)), item[equals + 1] == '1',
                    userTrigger(trigger) ? std::string(trigger) : std::string()});
  }
  return leds;
}

}  // namespace blinkolux
