// SPDX-License-Identifier: MIT
#include "lamps/kernel/led_record.h"
#include "window/qt/display_claim.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

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

// The record lives where any client of the display can write it.
TEST(PutBack, ARecordReadsBackAndTakesOnlyTriggersAUsersLampCouldHave) {
  const std::vector<SavedLed> leds{{"input3::numlock", true, "kbd-numlock"},
                                   {"input12::capslock", false, "none"}};
  const std::string text = record(leds);
  EXPECT_EQ(text, "input3::numlock=1:kbd-numlock input12::capslock=0:none");
  const auto read = parseRecord(text + " input4::scrolllock=2:none input5::numlock=1:../x =1:" +
                                " input6::capslock=0:heartbeat input7::numlock=1:panic" +
                                " input8::capslock=1:kbd-" + std::string(61, 'x'));
  const std::vector<SavedLed> expected{leds[0],
                                       leds[1],
                                       {"input5::numlock", true, ""},
                                       {"input6::capslock", false, ""},
                                       {"input7::numlock", true, ""},
                                       {"input8::capslock", true, ""}};
  ASSERT_EQ(read.size(), expected.size());
  for (std::size_t i = 0; i < read.size(); ++i)
    EXPECT_EQ(std::tie(read[i].name, read[i].brightness, read[i].trigger),
              std::tie(expected[i].name, expected[i].brightness, expected[i].trigger));
}

// So is the running copy's window property: only a 32-bit WINDOW item is read as one.
TEST(AnybodysProperty, NamesAWindowOnlyAsOne32BitWindowItem) {
  constexpr unsigned long kWindow = 33, kString = 31;
  const unsigned long window = 0x400007;
  const auto* item = reinterpret_cast<const unsigned char*>(&window);
  const auto byte = std::make_unique<unsigned char[]>(1);  // what Xlib hands for format 8
  EXPECT_EQ(oneWindow(kWindow, 32, 1, item), window);
  EXPECT_EQ(oneWindow(kWindow, 8, 1, byte.get()), std::nullopt);
  EXPECT_EQ(oneWindow(kString, 32, 1, item), std::nullopt);
  EXPECT_EQ(oneWindow(kWindow, 32, 0, item), std::nullopt);
  EXPECT_EQ(oneWindow(kWindow, 32, 1, nullptr), std::nullopt);
}

}  // namespace
}  // namespace blinkolux
