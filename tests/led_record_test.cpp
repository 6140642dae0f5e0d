// SPDX-License-Identifier: MIT
#include "lamps/kernel/led_record.h"

#include <gtest/gtest.h>

#include <map>

namespace blinkolux {
namespace {

// The kernel's rules for a keyboard LED: writing 0 detaches its trigger, and attaching a trigger
// sets the lamp to the text console's lock state.
class KernelRules final : public LedFiles {
 public:
  struct Led {
    bool brightness = false;
    std::string trigger;
    bool console = false;  // the text console's lock
  };
  bool brightness(const std::string& led) override { return leds.at(led).brightness; }
  void setBrightness(const std::string& led, bool on) override {
    if (!on) leds.at(led).trigger = "none";
    leds.at(led).brightness = on;
  }
  bool setTrigger(const std::string& led, const std::string& trigger) override {
    if (!triggersWritable) return false;
    leds.at(led) = {leds.at(led).console, trigger, leds.at(led).console};
    return true;
  }
  std::map<std::string, Led> leds;
  bool triggersWritable = true;
};

TEST(PutBack, AttachesTheTriggersFirstThenWritesOnlyTheLampsThatStillDiffer) {
  // The user's Wayland locks were Num and Caps; the console's are Num alone. The running light
  // detached every trigger on its way.
  const std::vector<SavedLed> saved{{"input3::numlock", true, "kbd-numlock"},
                                    {"input3::capslock", true, "kbd-capslock"},
                                    {"input3::scrolllock", false, "kbd-scrolllock"}};
  for (const bool triggersWritable : {true, false}) {
    KernelRules kernel;
    kernel.triggersWritable = triggersWritable;
    kernel.leds = {{"input3::numlock", {false, "none", true}},
                   {"input3::capslock", {false, "none", false}},
                   {"input3::scrolllock", {true, "none", false}}};
    putBack(kernel, saved);
    for (const SavedLed& led : saved) {
      EXPECT_EQ(kernel.leds[led.name].brightness, led.brightness) << led.name;
      // Through logind alone the triggers stay detached.
      EXPECT_EQ(kernel.leds[led.name].trigger, triggersWritable ? led.trigger : "none") << led.name;
    }
  }
}

TEST(PutBack, ARecordReadsBackAndAnythingElseInItIsLeftOut) {
  const std::vector<SavedLed> leds{{"input3::numlock", true, "kbd-numlock"},
                                   {"input12::capslock", false, "none"}};
  const std::string text = record(leds);
  EXPECT_EQ(text, "input3::numlock=1:kbd-numlock input12::capslock=0:none");
  const auto read = parseRecord(text + " input4::scrolllock=2:none input5::numlock=1:../x =1:");
  ASSERT_EQ(read.size(), 2U);
  for (std::size_t i = 0; i < read.size(); ++i)
    EXPECT_EQ(std::tie(read[i].name, read[i].brightness, read[i].trigger),
              std::tie(leds[i].name, leds[i].brightness, leds[i].trigger));
}

}  // namespace
}  // namespace blinkolux
