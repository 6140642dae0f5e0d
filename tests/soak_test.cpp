// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <random>

#include "form_fixture.h"
#include "user_actions.h"

namespace blinkolux {
namespace {

constexpr Millis kDay = Millis{24} * 60 * 60 * 1000;

// A day of random use on virtual time: clicks, check boxes, slider moves, random draws, other
// programs changing the lamps. After every event the timers form one of the modes, the lamps
// show what the last handler wrote, and closing would put back the lamps found at load.
class Soak : public ::testing::Test {
 protected:
  Soak() {
    keyboard.setLock(kCapsLock, true);
    form.Rnd = [this] { return static_cast<float>(random() >> 8) * 0x1p-24F; };
    form.Form_Load();
  }

  struct State {
    std::string chase;
    std::int32_t showStep;
    bool show1, show2;
    std::size_t keyEvents;
    Lamps lamps;
  };
  State state() const {
    return {pattern({form.ChaseNum, form.ChaseCaps, form.ChaseScroll}),
            form.ShowStep,
            form.Timer3.enabled(),
            form.Timer4.enabled(),
            keyboard.events.size(),
            keyboard.lamps()};
  }

  void userAction() {
    const auto action = static_cast<unsigned>(random() % (kUserActions + 1));
    const auto argument = static_cast<unsigned>(random());
    if (action == kUserActions) {
      // Closing now would leave the lamps as they were at load (the close itself ends the day).
      ASSERT_EQ(form.SavedLamps, (Lamps{false, true, false}));
      LampAccess(keyboard.driver).SetLockStates(form.SavedLamps);
      return;
    }
    blinkolux::userAction(form, keyboard, action, argument);
    if (action == 3 && inShow()) randomClickedDuringShow = true;  // "Random events" clicked
  }

  bool inShow() const { return form.Timer3.enabled() || form.Timer4.enabled(); }

  void expectOneOfTheModes() {
    if (!inShow()) {
      randomClickedDuringShow = false;
      ASSERT_TRUE(form.Timer1.enabled() && form.Timer2.enabled());
      ASSERT_EQ(form.MrRandom.enabled(), form.Check1.Value == 1);
      return;
    }
    ASSERT_FALSE(form.Timer3.enabled() && form.Timer4.enabled());
    ASSERT_FALSE(form.Timer1.enabled() || form.Timer2.enabled());
    if (!randomClickedDuringShow) {
      ASSERT_FALSE(form.MrRandom.enabled());
    }
    // A show plays 51 steps at most, at 400 ms at the slowest, even when restarted.
    ASSERT_LT(clock.now() - showSince, 51 * 400 + 500);
  }

  // What the handler that just ran must have left on the lamps.
  void expectTheLamps(const State& before) {
    const State after = state();
    // One press and one release for each lamp that changed, and none for the others.
    int differing = 0;
    for (std::size_t i = 0; i < before.lamps.size(); ++i)
      differing += before.lamps[i] != after.lamps[i];
    ASSERT_EQ(after.keyEvents - before.keyEvents, static_cast<std::size_t>(2 * differing));
    const bool wasInShow = before.show1 || before.show2;
    if (after.chase != before.chase) {  // a running-light tick
      ASSERT_EQ(pattern(keyboard.lamps()), before.chase);
    } else if (after.show1 != before.show1 || after.show2 != before.show2) {
      ASSERT_EQ(keyboard.lamps(), kAllOff);  // a show started, or an end step
      if (!inShow()) {
        ASSERT_EQ(after.showStep, 1);
      }
    } else if (wasInShow && after.showStep == before.showStep + 1) {  // a show step
      ASSERT_EQ(keyboard.lamps(), (before.show1 ? kShow1 : kShow2).steps[before.showStep]);
    }
    ASSERT_TRUE(after.chase == "N.." || after.chase == ".C." || after.chase == "..S" ||
                after.chase == "NC." || after.chase == ".CS" || after.chase == "N.S");
  }

  std::mt19937 random{20261208};
  VirtualClock clock;
  VirtualKeyboard keyboard{kWindowsNtFamily, &clock};
  Form1 form{keyboard.driver, clock};
  bool randomClickedDuringShow = false;
  Millis showSince = 0;
};

TEST_F(Soak, ADayOfRandomUseKeepsEveryInvariant) {
  std::exponential_distribution<double> pause(1.0 / 20000);  // a user action every 20 s or so
  Millis nextAction = 0;
  std::int64_t handlers = 0;
  while (clock.now() < kDay && !HasFatalFailure()) {
    const Millis due = *form.timers.nextDeadline();
    if (nextAction <= due) {
      clock.sleepUntil(nextAction);
      const bool wasInShow = inShow();
      userAction();
      if (!wasInShow && inShow()) showSince = clock.now();
      nextAction = clock.now() + 1 + static_cast<Millis>(pause(random));
    } else {
      const State before = state();
      clock.sleepUntil(due);
      form.timers.runNextDue();
      ++handlers;
      if (!before.show1 && !before.show2 && inShow()) showSince = clock.now();
      expectTheLamps(before);
    }
    expectOneOfTheModes();
    if (keyboard.events.size() > 100000) keyboard.events.clear();
  }
  EXPECT_GT(handlers, 200000);
  form.Form_Unload();
  EXPECT_EQ(keyboard.lamps(), (Lamps{false, true, false}));
}

}  // namespace
}  // namespace blinkolux
