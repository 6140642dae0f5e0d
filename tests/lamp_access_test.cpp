// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "lamps/lamp_access.h"
#include "virtual_keyboard.h"

namespace blinkolux {
namespace {

using KeyEvent = VirtualKeyboard::KeyEvent;

TEST(LampAccess, NtFamilyPressesAndReleasesOnlyALampThatDiffers) {
  VirtualKeyboard keyboard(kWindowsNtFamily);
  LampAccess lamps(keyboard.driver);
  keyboard.setLock(kCapsLock, true);

  lamps.SetLockStates({true, true, false});
  EXPECT_EQ(keyboard.events,
            (std::vector<KeyEvent>{{0, kNumLock, 0x45, 1}, {0, kNumLock, 0x45, 3}}));
  EXPECT_EQ(keyboard.lamps(), (Lamps{true, true, false}));

  keyboard.events.clear();
  lamps.SetLockState(kScrollLock, true);
  lamps.SetLockState(kCapsLock, false);
  EXPECT_EQ(keyboard.events, (std::vector<KeyEvent>{{0, kScrollLock, 0x45, 1},
                                                    {0, kScrollLock, 0x45, 3},
                                                    {0, kCapsLock, 0x45, 1},
                                                    {0, kCapsLock, 0x45, 3}}));
  EXPECT_EQ(keyboard.lamps(), (Lamps{true, false, true}));
  EXPECT_TRUE(keyboard.writes.empty());
}

TEST(LampAccess, Windows95FamilyWritesBackTheStateJustReadWithOneByteChanged) {
  VirtualKeyboard keyboard(kWindows95Family);
  LampAccess lamps(keyboard.driver);
  keyboard.hold('A', true);
  keyboard.setLock(kNumLock, true);

  lamps.SetLockState(kNumLock, true);  // already on: read only
  EXPECT_TRUE(keyboard.writes.empty());

  KeyboardState expected = keyboard.state();
  expected[kScrollLock] = 1;
  lamps.SetLockState(kScrollLock, true);
  ASSERT_EQ(keyboard.writes.size(), 1U);
  EXPECT_EQ(keyboard.writes[0], expected);

  expected[kNumLock] = 0;
  lamps.SetLockState(kNumLock, false);
  ASSERT_EQ(keyboard.writes.size(), 2U);
  EXPECT_EQ(keyboard.writes[1], expected);
  EXPECT_TRUE(keyboard.events.empty());
}

TEST(LampAccess, OtherPlatformsReadButNeverWrite) {
  VirtualKeyboard keyboard(3);
  LampAccess lamps(keyboard.driver);
  keyboard.setLock(kCapsLock, true);
  EXPECT_EQ(lamps.GetLockStates(), (Lamps{false, true, false}));
  lamps.SetLockStates({true, false, true});
  EXPECT_EQ(keyboard.lamps(), (Lamps{false, true, false}));
  EXPECT_TRUE(keyboard.events.empty());
  EXPECT_TRUE(keyboard.writes.empty());
}

TEST(LampAccess, EveryReadAsksForThePlatformAnew) {
  VirtualKeyboard keyboard;
  LampAccess lamps(keyboard.driver);
  lamps.GetLockStates();
  lamps.SetLockState(kNumLock, true);
  EXPECT_EQ(keyboard.versionQueries, 4);
}

// A held key has bit 7 set; only the lock bit may count, or a request for off would toggle a
// held, unlocked key on, and a key held at start would be saved and restored as locked.
TEST(LampAccess, AHeldKeyReadsItsTrueLockState) {
  for (std::uint32_t platform : {kWindowsNtFamily, kWindows95Family}) {
    VirtualKeyboard keyboard(platform);
    LampAccess lamps(keyboard.driver);
    keyboard.hold(kCapsLock, true);
    keyboard.hold(kScrollLock, true);
    keyboard.setLock(kScrollLock, true);

    EXPECT_EQ(lamps.GetLockStates(), (Lamps{false, false, true}));
    lamps.SetLockState(kCapsLock, false);
    lamps.SetLockState(kScrollLock, false);
    EXPECT_EQ(keyboard.lamps(), (Lamps{false, false, false})) << "platform " << platform;
    lamps.SetLockState(kCapsLock, true);
    EXPECT_EQ(keyboard.lamps(), (Lamps{false, true, false})) << "platform " << platform;
  }
}

TEST(LampAccess, KeysOtherThanTheThreeLocksAreRefused) {
  for (std::uint32_t platform : {kWindowsNtFamily, kWindows95Family}) {
    VirtualKeyboard keyboard(platform);
    LampAccess lamps(keyboard.driver);
    keyboard.setLock('A', true);
    for (int key : {int{'A'}, 0, 255, 256, -1, 1 << 20}) {
      EXPECT_FALSE(lamps.GetLockState(key));
      lamps.SetLockState(key, true);
      lamps.SetLockState(key, false);
    }
    EXPECT_TRUE(keyboard.events.empty());
    EXPECT_TRUE(keyboard.writes.empty());
  }
}

}  // namespace
}  // namespace blinkolux
