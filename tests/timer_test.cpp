// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window/clocks.h"
#include "window/timer.h"

namespace blinkolux {
namespace {

struct Expiry {
  std::string timer;
  Millis at;
  bool operator==(const Expiry&) const = default;
};

// Two timers on virtual time that log when their handlers run.
class TimerTest : public ::testing::Test {
 protected:
  Timer& make(const std::string& name, TimerDescription description) {
    auto timer = std::make_unique<Timer>(set, description, [this, name] {
      runs.push_back({name, set.now()});
      if (onRun) onRun(name);
    });
    timers.push_back(std::move(timer));
    return *timers.back();
  }

  VirtualClock clock;
  TimerSet set{clock};
  std::vector<std::unique_ptr<Timer>> timers;
  std::vector<Expiry> runs;
  std::function<void(const std::string&)> onRun;
};

TEST_F(TimerTest, AssigningTheSameIntervalKeepsTheCountdownAndAnotherRestartsIt) {
  Timer& light = make("light", {100, true});
  Timer& poll = make("poll", {1, true});
  int interval = 100;
  onRun = [&](const std::string& name) {
    if (name == "poll") light.setInterval(interval);
  };
  clock.advanceTo(set, 250);
  interval = 30;  // the slider moves at 250: the poll at 251 restarts the countdown
  clock.advanceTo(set, 320);
  poll.setEnabled(false);
  std::vector<Millis> ticks;
  for (const Expiry& run : runs)
    if (run.timer == "light") ticks.push_back(run.at);
  EXPECT_EQ(ticks, (std::vector<Millis>{100, 200, 281, 311}));
}

TEST_F(TimerTest, EnablingStartsOneIntervalFromThenAndEnablingARunningTimerChangesNothing) {
  Timer& timer = make("t", {400, false});
  clock.advanceTo(set, 1000);
  EXPECT_TRUE(runs.empty());
  timer.setEnabled(true);  // at 1000
  clock.advanceTo(set, 1300);
  timer.setEnabled(true);  // already running: still due at 1400
  timer.setInterval(400);
  clock.advanceTo(set, 1400);
  EXPECT_EQ(runs, (std::vector<Expiry>{{"t", 1400}}));
  timer.setEnabled(false);
  clock.advanceTo(set, 5000);
  EXPECT_EQ(runs.size(), 1U);
}

TEST_F(TimerTest, ExpiriesDueTogetherRunInTableOrder) {
  make("first", {300, true});
  make("second", {100, true});
  make("third", {150, true});
  clock.advanceTo(set, 300);
  EXPECT_EQ(runs, (std::vector<Expiry>{{"second", 100},
                                       {"third", 150},
                                       {"second", 200},
                                       {"first", 300},
                                       {"second", 300},
                                       {"third", 300}}));
}

TEST_F(TimerTest, APauseRunsNothingAndWhatFellDueIsDeliveredOnceAfterIt) {
  Timer& pausing = make("pausing", {100, true});
  make("often", {30, true});
  onRun = [&](const std::string& name) {
    if (name == "pausing" && set.now() == 100) {
      set.pause(500);
      EXPECT_EQ(set.now(), 600);
      pausing.setEnabled(false);
    }
  };
  clock.advanceTo(set, 650);
  // "often" was due at 120, 150, ... 600 during the pause: once at 600, then back on its schedule.
  EXPECT_EQ(runs, (std::vector<Expiry>{{"often", 30},
                                       {"often", 60},
                                       {"often", 90},
                                       {"pausing", 100},
                                       {"often", 600},
                                       {"often", 630}}));
}

// After a stall: the periodic schedule goes on from the deadlines, but an interval that a late
// handler sets, or a timer it enables, counts from the moment it really runs.
TEST_F(TimerTest, ALateHandlerCountsNewIntervalsFromWhenItRunsAndTheScheduleDoesNotDrift) {
  Timer& timer = make("t", {100, true});
  Timer& show = make("show", {400, false});
  onRun = [&](const std::string& name) {
    if (name == "t" && set.now() == 209) {
      timer.setInterval(50);
      show.setEnabled(true);
    }
  };
  for (Millis late : {107, 209, 262}) {
    clock.sleepUntil(late);
    EXPECT_TRUE(set.runNextDue());
    EXPECT_FALSE(set.runNextDue());
  }
  EXPECT_EQ(runs, (std::vector<Expiry>{{"t", 107}, {"t", 209}, {"t", 262}}));
  EXPECT_EQ(set.nextDeadline(), 309);  // 259 + 50, not 262 + 50
  timer.setEnabled(false);
  EXPECT_EQ(set.nextDeadline(), 609);
}

TEST_F(TimerTest, AnIdleTimerIsSkippedAndResumesOnItsScheduleAfterNow) {
  bool idle = true;
  make("poll", {10, true}).skipWhile([&] { return idle; });
  make("other", {100, true});
  clock.advanceTo(set, 234);
  EXPECT_EQ(runs, (std::vector<Expiry>{{"other", 100}, {"other", 200}}));
  set.skipIdle();
  idle = false;
  EXPECT_EQ(set.nextDeadline(), 240);
  clock.advanceTo(set, 250);
  EXPECT_EQ(runs.back(), (Expiry{"poll", 250}));
}

TEST_F(TimerTest, HandlersNeverOverlapAndNoIntervalReachesZero) {
  Timer& timer = make("t", {0, true});
  EXPECT_EQ(timer.interval(), 1);
  onRun = [&](const std::string&) {
    EXPECT_FALSE(set.runNextDue());
    timer.setInterval(-5);
  };
  clock.advanceTo(set, 10);
  EXPECT_EQ(runs.size(), 10U);
  EXPECT_EQ(set.nextDeadline(), 11);
}

}  // namespace
}  // namespace blinkolux
