// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "form_fixture.h"
#include "show_scripts.h"

namespace blinkolux {
namespace {

const std::string kRunningLight = "Timer1 Timer2 MrRandom";

std::vector<std::string> show1() {
  return testing::showSteps(testing::kShow1Script);
}
std::vector<std::string> show2() {
  return testing::showSteps(testing::kShow2Script);
}

class ShowTest : public FormTest {
 protected:
  // Steps `first` to the end step of a show started at `start`: each comes one interval after the
  // one before, `fast` ms from step 12 on. Checks that each plays at exactly its time, and returns
  // the time of the end step.
  Millis expectSteps(const std::vector<std::string>& script, Millis start, int first,
                     Millis interval, Millis fast) {
    Millis time = start;
    for (int step = first; step < static_cast<int>(script.size()); ++step) {
      time += step <= 11 ? interval : fast;
      clock.advanceTo(form.timers, time - 1);
      EXPECT_EQ(form.ShowStep, step) << "just before step " << step;
      EXPECT_EQ(lampsAt(time), script[step]) << "step " << step << " at " << time;
    }
    return time;
  }

  // The end step: lamps dark for 500 ms with nothing running, then the running light is back.
  void expectEndAt(Millis end, const std::string& chaseBefore) {
    EXPECT_EQ(clock.now(), end + 500);
    EXPECT_EQ(form.ShowStep, 1);
    EXPECT_EQ(enabledTimers(), kRunningLight);
    EXPECT_EQ(keyboard.lamps(), kAllOff);
    for (const auto& event : keyboard.events)
      EXPECT_LE(event.at, end);
    EXPECT_EQ(chase(), chaseBefore);
  }
};

TEST_F(ShowTest, AnEndStepThatRunsLateStillPausesForAll500Ms) {
  form.click(ControlId::Command2);  // show 1, its end step due at 6000
  clock.advanceTo(form.timers, 5999);
  clock.sleepUntil(6300);  // the thread was held up: the end step runs 300 ms late
  form.timers.runNextDue();
  EXPECT_EQ(clock.now(), 6800);
  EXPECT_EQ(lampsAt(6899), "...");
  EXPECT_EQ(lampsAt(6900), "N..");  // the running light's first tick, one step after the pause
}

TEST_F(ShowTest, Show1FromItsButtonPlaysItsScriptAndHandsBackToTheRunningLight) {
  EXPECT_EQ(lampsAt(1000), "N..");
  const std::string chaseBefore = chase();
  form.Command2_Click();
  EXPECT_EQ(pattern(keyboard.lamps()), "...");
  EXPECT_EQ(enabledTimers(), "Timer3");
  form.setValue(ControlId::Slider1, 60);  // picked up only after the show

  const Millis end = expectSteps(show1(), 1000, 0, 400, 200);
  EXPECT_EQ(end, 7000);
  keyboard.events.clear();
  expectEndAt(end, chaseBefore);
  EXPECT_EQ(lampsAt(7560), "...");  // the poll at 7501 restarts Timer1 with 60 ms
  EXPECT_EQ(lampsAt(7561), pattern(lamps(chaseBefore)));
}

TEST_F(ShowTest, Show2Runs250MsStepsFromItsButtonAnd180FromARandomEventThen120) {
  lampsAt(500);
  const std::string chaseBefore = chase();
  form.Command3_Click();
  keyboard.events.clear();
  const Millis end = expectSteps(show2(), 500, 0, 250, 120);
  EXPECT_EQ(end, 500 + 7680);
  expectEndAt(end, chaseBefore);

  form.Rnd = [] { return 15.5F / 30; };  // MrRandom runs again from the end of the pause
  const Millis start = end + 500 + 1000;
  lampsAt(start);
  EXPECT_EQ(enabledTimers(), "Timer4");
  form.Rnd = [] { return 0.0F; };
  const std::string chaseAtStart = chase();
  keyboard.events.clear();
  expectEndAt(expectSteps(show2(), start, 1, 180, 120), chaseAtStart);
}

TEST_F(ShowTest, EveryLaterShowStartsAtStep1) {
  form.Command2_Click();
  lampsAt(7000);
  form.Command2_Click();
  EXPECT_EQ(lampsAt(7400), "N.S");
  lampsAt(14000);
  form.Command3_Click();
  EXPECT_EQ(lampsAt(14250), ".C.");
}

TEST_F(ShowTest, RestartingAPlayingShowKeepsItsStepAndItsCountdownUntilTheIntervalChanged) {
  form.Command2_Click();
  lampsAt(2100);  // steps 0 to 4 played
  form.Command2_Click();
  EXPECT_EQ(pattern(keyboard.lamps()), "...");
  EXPECT_EQ(lampsAt(2400), ".C.");  // step 5, on the running countdown
  lampsAt(5100);                    // step 12 at 5000, at 200 ms steps now
  form.Command2_Click();            // back to 400 ms, counted from now
  EXPECT_EQ(lampsAt(5499), "...");
  EXPECT_EQ(form.ShowStep, 13);
  EXPECT_EQ(lampsAt(5500), "...");
  EXPECT_EQ(form.ShowStep, 14);
  EXPECT_EQ(lampsAt(5900), "NCS");
}

TEST_F(ShowTest, AShowStartedWhileTheOtherPlaysStopsItAndTheRunningLightComesBack) {
  form.Command3_Click();
  lampsAt(250 * 12 + 120 * 19);  // show 2 at step 31, beyond the end of show 1
  EXPECT_EQ(form.ShowStep, 31);
  const Millis start = clock.now();
  form.Command2_Click();
  EXPECT_EQ(enabledTimers(), "Timer3");
  EXPECT_EQ(form.ShowStep, 1);
  keyboard.events.clear();
  expectEndAt(expectSteps(show1(), start, 1, 400, 200), "N..");
}

TEST_F(ShowTest, RandomEventsClickedDuringAShowTakeEffectAtOnceAndTheShowGoesOn) {
  form.Command2_Click();
  form.setValue(ControlId::Check1, 1);
  form.Check1_Click();
  EXPECT_EQ(enabledTimers(), "Timer3 MrRandom");
  form.Rnd = [] { return 14.5F / 30; };  // reverse the running light
  EXPECT_EQ(lampsAt(1000), "N.S");
  EXPECT_TRUE(form.Direction);
  EXPECT_EQ(enabledTimers(), "Timer3 MrRandom");

  form.setValue(ControlId::Check1, 0);
  form.Check1_Click();
  EXPECT_EQ(enabledTimers(), "Timer3");
  lampsAt(6500);
  EXPECT_EQ(enabledTimers(), "Timer1 Timer2");  // left unchecked: no random events after it
}

TEST_F(ShowTest, DirectionAndInversionChangedDuringAShowSteerTheRunningLightAfterIt) {
  lampsAt(100);  // Num lit; the flags hold Scroll
  form.Command2_Click();
  form.Command1_Click();
  form.setValue(ControlId::Check2, 1);
  lampsAt(6100 + 500);
  EXPECT_EQ(lampsAt(6700), "..S");  // the flags from before the show, converted by this tick
  EXPECT_EQ(lampsAt(6800), "N.S");
  EXPECT_EQ(lampsAt(6900), "NC.");
}

TEST(RandomEvents, DrawsOf16And15StartTheShowsAnd14ReversesTheRunningLight) {
  struct Case {
    float draw;
    std::string mode;
    bool reversed;
  };
  for (const Case& c :
       {Case{16.0F / 30, "Timer3", false}, Case{0.5666666627F, "Timer3", false},
        Case{15.0F / 30, "Timer4", false}, Case{14.999F / 30, kRunningLight, true},
        Case{13.999F / 30, kRunningLight, false}, Case{17.5F / 30, kRunningLight, false},
        Case{0.0F, kRunningLight, false}, Case{0.9999999F, kRunningLight, false}}) {
    VirtualClock clock;
    VirtualKeyboard keyboard;
    Form1 form(keyboard.driver, clock);
    form.Form_Load();
    form.Rnd = [&] { return c.draw; };
    clock.advanceTo(form.timers, 1000);
    EXPECT_EQ(form.Direction, c.reversed) << c.draw;
    std::string mode;
    if (form.Timer3.enabled()) mode = "Timer3";
    if (form.Timer4.enabled()) mode = "Timer4";
    if (form.Timer1.enabled() && form.Timer2.enabled() && form.MrRandom.enabled())
      mode = kRunningLight;
    EXPECT_EQ(mode, c.mode) << c.draw;
  }
}

TEST_F(FormTest, RandomEventsUncheckedDrawNothingAndCheckedAgainDrawOneSecondLater) {
  int draws = 0;
  form.Rnd = [&] {
    ++draws;
    return 0.0F;
  };
  form.setValue(ControlId::Check1, 0);
  form.Check1_Click();
  lampsAt(5000);
  EXPECT_EQ(draws, 0);
  form.setValue(ControlId::Check1, 1);
  form.Check1_Click();
  lampsAt(5999);
  EXPECT_EQ(draws, 0);
  lampsAt(6000);
  EXPECT_EQ(draws, 1);
}

TEST(RandomDraws, AreUniformSinglePrecisionValuesBelowOneThatHitEveryEvent) {
  RandomDraws draw;
  std::array<int, 30> hits{};
  for (int i = 0; i < 300000; ++i) {
    const float r = draw();
    ASSERT_GE(r, 0.0F);
    ASSERT_LT(r, 1.0F);
    ++hits[static_cast<std::size_t>(r * 30)];
  }
  for (int count : hits)
    EXPECT_NEAR(count, 10000, 600);
}

}  // namespace
}  // namespace blinkolux
