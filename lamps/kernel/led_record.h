// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace blinkolux {

// A keyboard LED of the kernel's (/sys/class/leds/input3::capslock) and the state to put back.
struct SavedLed {
  std::string name;         // input3::capslock
  bool brightness = false;  // lit
  std::string trigger;      // what drove it ("kbd-capslock"), "none" when nothing did, "" unknown
};

// The kernel's LED files, as putting LEDs back needs them.
class LedFiles {
 public:
  virtual ~LedFiles() = default;
  virtual bool brightness(const std::string& led) = 0;
  virtual void setBrightness(const std::string& led, bool on) = 0;
  // False where we may not: through logind alone a trigger can't be attached again.
  virtual bool setTrigger(const std::string& led, const std::string& trigger) = 0;
};

// Triggers first: attaching one sets its lamp to the text console's lock state. Then only the lamps
// that still differ, since writing 0 would detach the trigger again.
void putBack(LedFiles& files, std::span<const SavedLed> leds);

// As the display's record keeps them: "input3::numlock=1:kbd-numlock input3::capslock=0:none".
std::string record(std::span<const SavedLed> leds);
// Only what is well formed; the caller keeps only the LEDs it knows. A trigger other than "none"
// or a keyboard's own (kbd-*, at most 64 characters) is read as unknown.
std::vector<SavedLed> parseRecord(std::string_view text);

}  // namespace blinkolux
