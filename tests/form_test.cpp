// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "form_fixture.h"

namespace blinkolux {
namespace {

TEST(FormLifecycle, ClosingRightAfterOpeningLeavesTheLampsAsTheyWere) {
  VirtualClock clock;
  VirtualKeyboard keyboard(kWindowsNtFamily, &clock);
  keyboard.setLock(kCapsLock, true);
  keyboard.hold(kNumLock, true);  // held, not locked: saved as off
  Form1 form(keyboard.driver, clock);
  form.Form_Load();
  form.Form_Unload();
  EXPECT_EQ(keyboard.lamps(), (Lamps{false, true, false}));
  EXPECT_TRUE(keyboard.events.empty());
}

TEST(FormLifecycle, LampsChangedWhileRunningAreStillRestoredToTheStatesFoundAtLoad) {
  VirtualClock clock;
  VirtualKeyboard keyboard(kWindowsNtFamily, &clock);
  keyboard.setLock(kScrollLock, true);
  Form1 form(keyboard.driver, clock);
  form.Form_Load();
  clock.advanceTo(form.timers, 250);
  keyboard.setLock(kCapsLock, true);
  keyboard.setLock(kScrollLock, false);
  form.Form_Unload();
  EXPECT_EQ(keyboard.lamps(), (Lamps{false, false, true}));
}

TEST(FormLifecycle, AnUnloadInsideAHandlerIsTheLastWordOnTheLamps) {
  for (const bool duringShowStart : {false, true}) {
    InterruptedForm run;
    run.form.Form_Load();
    run.platform.onRead = [&] { run.form.Form_Unload(); };
    if (duringShowStart)
      run.form.click(ControlId::Command2);
    else
      run.clock.advanceTo(run.form.timers, 100);  // the first tick would light Num
    run.clock.advanceBy(run.form.timers, 1000);
    EXPECT_EQ(pattern(run.keyboard.lamps()), ".C.") << duringShowStart;
  }
}

using FormRun = FormTest;

TEST_F(FormRun, StartsWithTheTimersAndValuesOfTheWindowDescription) {
  EXPECT_EQ(chase(), "N..");
  EXPECT_EQ(form.Slider1.Value, 100);
  EXPECT_EQ(form.Check1.Value, 1);
  EXPECT_EQ(form.Check2.Value, 0);
  EXPECT_TRUE(form.Timer1.enabled() && form.Timer2.enabled() && form.MrRandom.enabled());
  EXPECT_FALSE(form.Timer3.enabled() || form.Timer4.enabled());
  EXPECT_EQ(keyboard.lamps(), (Lamps{false, false, false}));  // nothing written at load
}

TEST_F(FormRun, TheSpeedPollWakesNothingUntilTheSliderMoves) {
  EXPECT_EQ(form.timers.nextDeadline(), 100);
  lampsAt(150);
  form.setValue(ControlId::Slider1, 30);
  EXPECT_EQ(form.timers.nextDeadline(), 151);
  lampsAt(151);
  EXPECT_EQ(form.timers.nextDeadline(), 181);
}

TEST_F(FormRun, TheSliderSetsTheStepOfTheRunningLightWithinAMillisecond) {
  lampsAt(100);
  form.setValue(ControlId::Slider1, 40);  // at 100: the poll at 101 restarts Timer1
  EXPECT_EQ(lampsAt(140), "N..");
  EXPECT_EQ(lampsAt(141), "..S");
  EXPECT_EQ(lampsAt(181), ".C.");
  EXPECT_EQ(form.Timer1.interval(), 40);
}

}  // namespace
}  // namespace blinkolux
