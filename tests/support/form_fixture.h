// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "show_scripts.h"
#include "virtual_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"

namespace blinkolux {

// A platform that lets something in while a handler reads the lamps, as Windows lets in the
// messages that other threads and programs send while a handler looks at its queue.
class Interrupting final : public Keyboard {
 public:
  explicit Interrupting(Keyboard& keyboard) : keyboard_(keyboard) {}
  bool read(Lamp lamp) override {
    if (auto interrupt = std::exchange(onRead, nullptr)) interrupt();
    return keyboard_.read(lamp);
  }
  void write(Lamp lamp, bool on) override { keyboard_.write(lamp, on); }
  std::function<void()> onRead;  // once, at the next read

 private:
  Keyboard& keyboard_;
};

// A form on such a platform, with Caps Lock lit before it loads.
struct InterruptedForm {
  InterruptedForm() { keyboard.setLock(kCapsLock, true); }
  VirtualClock clock;
  VirtualKeyboard keyboard{kWindowsNtFamily, &clock};
  Interrupting platform{keyboard.driver};
  Form1 form{platform, clock};
};

// What the lamp mirror shows, and when, from a load with all lamps dark: four running-light steps,
// then "Light show 1" clicked at 450 (dark at once), its script (a repeated pattern paints
// nothing), dark from its end step at 6450 through the pause, and the running light back at 7050.
struct MirrorPaint {
  Millis at;
  std::string lamps;
  bool operator==(const MirrorPaint&) const = default;
};
inline constexpr Millis kMirrorClick = 450;
inline std::vector<MirrorPaint> mirrorTimeline() {
  std::vector<MirrorPaint> paints{
      {100, "N.."}, {200, "..S"}, {300, ".C."}, {400, "N.."}, {kMirrorClick, "..."}};
  const auto show1 = testing::showSteps(testing::kShow1Script);
  Millis at = kMirrorClick;
  for (std::size_t step = 0; step < show1.size(); ++step) {
    at += step <= 11 ? 400 : 200;
    if (show1[step] != paints.back().lamps) paints.push_back({at, show1[step]});
  }
  paints.push_back({at + 500 + 100, "..S"});
  return paints;
}

// A loaded window on virtual time over a virtual NT-family keyboard.
class FormTest : public ::testing::Test {
 protected:
  FormTest() {
    form.Rnd = [] { return 0.0F; };  // no random event unless a test asks for one
    form.Form_Load();
  }

  std::string lampsAt(Millis time) {
    clock.advanceTo(form.timers, time);
    return pattern(keyboard.lamps());
  }
  std::string chase() const { return pattern({form.ChaseNum, form.ChaseCaps, form.ChaseScroll}); }

  // The mode, as the enabled timers show it.
  std::string enabledTimers() const {
    std::string names;
    for (const auto& [timer, name] : {std::pair{&form.Timer1, "Timer1"},
                                      {&form.Timer2, "Timer2"},
                                      {&form.Timer3, "Timer3"},
                                      {&form.Timer4, "Timer4"},
                                      {&form.MrRandom, "MrRandom"}})
      if (timer->enabled()) names += names.empty() ? name : std::string(" ") + name;
    return names;
  }

  VirtualClock clock;
  VirtualKeyboard keyboard{kWindowsNtFamily, &clock};
  Form1 form{keyboard.driver, clock};
};

}  // namespace blinkolux
