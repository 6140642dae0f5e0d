// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "form_fixture.h"
#include "patterns/running_light.h"

namespace blinkolux {
namespace {

using RunningLight = FormTest;

TEST_F(RunningLight, RunsNumScrollCapsAfterLoadAndTheOtherWayWhenReversed) {
  EXPECT_EQ(lampsAt(99), "...");
  EXPECT_EQ(lampsAt(100), "N..");
  EXPECT_EQ(lampsAt(200), "..S");
  EXPECT_EQ(lampsAt(300), ".C.");
  EXPECT_EQ(lampsAt(400), "N..");

  form.Command1_Click();  // the flags already hold Scroll: it still comes next
  EXPECT_EQ(lampsAt(500), "..S");
  EXPECT_EQ(lampsAt(600), "N..");
  EXPECT_EQ(lampsAt(700), ".C.");
  EXPECT_EQ(lampsAt(800), "..S");
}

TEST_F(RunningLight, ADirectionToggleShowsOneTickLate) {
  form.Command1_Click();
  EXPECT_EQ(lampsAt(100), "N..");
  EXPECT_EQ(chase(), ".C.");
  form.Command1_Click();
  EXPECT_EQ(lampsAt(200), ".C.");
  EXPECT_EQ(lampsAt(300), "N..");
  EXPECT_EQ(lampsAt(400), "..S");
}

TEST_F(RunningLight, InvertedADarkLampTravelsAndTheChangeTakesEffectAtTheNextTick) {
  form.Command1_Click();
  form.setValue(ControlId::Check2, 1);
  EXPECT_EQ(lampsAt(100), "N..");  // the flags computed before; this tick converts them
  EXPECT_EQ(chase(), "NC.");
  EXPECT_EQ(lampsAt(200), "NC.");
  EXPECT_EQ(lampsAt(300), ".CS");
  EXPECT_EQ(lampsAt(400), "N.S");
  EXPECT_EQ(lampsAt(500), "NC.");

  form.setValue(ControlId::Check2, 0);
  EXPECT_EQ(lampsAt(600), ".CS");
  EXPECT_EQ(chase(), "..S");  // from Caps and Scroll lit, the first lit one moves on
  EXPECT_EQ(lampsAt(700), "..S");
  EXPECT_EQ(lampsAt(800), "N..");
}

// The flags hold two lamps after "Invert lights" is unchecked; the lamps not moved keep theirs.
TEST(MoveChase, MovesTheFirstLampInTheTravellingStateAndNothingWhenThereIsNone) {
  const bool on = true, off = false, plain = false, inverted = true;
  EXPECT_EQ(moveChase({on, on, off}, on, plain), (Lamps{off, on, off}));
  EXPECT_EQ(moveChase({on, off, on}, on, plain), (Lamps{off, on, on}));
  EXPECT_EQ(moveChase({off, on, on}, on, plain), (Lamps{off, off, on}));
  EXPECT_EQ(moveChase({on, off, on}, off, plain), (Lamps{off, off, on}));
  EXPECT_EQ(moveChase({on, off, off}, on, inverted), (Lamps{on, on, off}));
  EXPECT_EQ(moveChase({off, on, on}, off, inverted), (Lamps{on, on, off}));
  EXPECT_EQ(moveChase({off, off, off}, on, plain), (Lamps{off, off, off}));
  EXPECT_EQ(moveChase({on, on, on}, off, inverted), (Lamps{on, on, on}));
}

TEST_F(RunningLight, EachTickChangesOnlyTheLampsThatDifferAndOverwritesTheUsersChanges) {
  lampsAt(100);
  keyboard.events.clear();
  EXPECT_EQ(lampsAt(200), "..S");  // Num off, Scroll on: two presses, two releases
  EXPECT_EQ(keyboard.events.size(), 4U);
  keyboard.setLock(kCapsLock, true);
  EXPECT_EQ(lampsAt(300), ".C.");  // Caps already on: only Scroll changes
  EXPECT_EQ(keyboard.events.size(), 6U);
}

}  // namespace
}  // namespace blinkolux
