// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <stdexcept>

#include "lamps/lamp_access.h"
#include "lamps/x11/x11_keyboard.h"
#include "x_server.h"

namespace blinkolux {
namespace {

using testing::keymapDump;
using testing::output;
using testing::XServerView;

// The modifiers' bits (X.h's names clash with GoogleTest's).
constexpr unsigned kMod2 = 1U << 4, kMod3 = 1U << 5, kMod5 = 1U << 7;

void run(const std::string& command) {
  ASSERT_EQ(output(command + " && echo ok"), "ok\n") << command;
}

// A keymap as users have it, and what Blinkolux can do with it.
struct Keymap {
  const char* name;
  const char* setUp;
  Lamps driven;             // the lamps it can drive there
  unsigned scrollModifier;  // what Scroll Lock locks, where its key has a modifier
  const char* notDriven;    // the lamp named on stderr
};

void PrintTo(const Keymap& keymap, std::ostream* out) {
  *out << keymap.name;
}

class OnKeymap : public ::testing::TestWithParam<Keymap> {
 protected:
  void TearDown() override { run("setxkbmap -layout us -variant '' -option ''"); }
};

TEST_P(OnKeymap, DrivesEachLampItAllowsAndNeverChangesTheKeymap) {
  const Keymap& keymap = GetParam();
  run(keymap.setUp);
  XServerView view;
  const std::string before = keymapDump();
  ::testing::internal::CaptureStderr();
  {
    X11Keyboard keyboard;
    LampAccess access(keyboard);
    for (const char* shown : {"N..", ".C.", "..S", "NCS", "..."}) {
      Lamps wanted = lamps(shown);
      for (std::size_t i = 0; i < wanted.size(); ++i)
        wanted[i] = wanted[i] && keymap.driven[i];
      access.SetLockStates(lamps(shown));
      EXPECT_EQ(access.GetLockStates(), wanted)
          << shown;  // its own writes, before the server's word
      keyboard.commit();
      keyboard.refresh();  // handled before the view asks: the server orders only one connection
      EXPECT_EQ(access.GetLockStates(), wanted) << shown;
      EXPECT_EQ(view.indicators(), wanted) << shown;
      if (pattern(wanted) == "..S") {
        EXPECT_EQ(view.lockedModifiers(), keymap.scrollModifier);
      }
    }
    EXPECT_EQ(keymapDump(), before);
  }
  EXPECT_EQ(keymapDump(), before);
  const std::string said = ::testing::internal::GetCapturedStderr();
  const std::string named = "cannot drive the " + std::string(keymap.notDriven) + " lamp: ";
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), *keymap.notDriven == '\0' ? 0 : 1) << said;
  if (*keymap.notDriven != '\0') {
    EXPECT_TRUE(said.starts_with("blinkolux: " + named)) << said;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keymaps, OnKeymap,
    ::testing::Values(
        Keymap{"Default", "setxkbmap us", lamps("NCS"), 0, ""},
        Keymap{"UsersScrollLockOnMod3", "setxkbmap us && xmodmap -e 'add mod3 = Scroll_Lock'",
               lamps("NCS"), kMod3, ""},
        Keymap{"UsersScrollLockOnMod5", "setxkbmap us && xmodmap -e 'add mod5 = Scroll_Lock'",
               lamps("NCS"), kMod5, ""},
        Keymap{"German", "setxkbmap de", lamps("NCS"), 0, ""},
        Keymap{"NeoWithoutANumLockKey", "setxkbmap de neo", lamps(".CS"), 0, "Num Lock"},
        Keymap{"GroupShownOnTheScrollLamp", "setxkbmap us -option grp_led:scroll", lamps("NC."), 0,
               "Scroll Lock"}),
    [](const auto& keymap) { return std::string(keymap.param.name); });

TEST_F(OnKeymap, ALayoutSwitchedToMidRunKeepsWhatItAllowsAndNoModifierOfOursLocked) {
  run("setxkbmap us");
  XServerView view;
  ::testing::internal::CaptureStderr();
  {
    X11Keyboard keyboard;
    LampAccess access(keyboard);
    access.SetLockStates(lamps("N.S"));
    keyboard.commit();
    keyboard.refresh();
    ASSERT_EQ(view.lockedModifiers(), kMod2);

    run("setxkbmap de neo");  // no Num Lock key: Mod2, which we locked, means something else
    keyboard.refresh();
    EXPECT_EQ(view.lockedModifiers(), 0U);
    access.SetLockStates(lamps("NC."));
    keyboard.commit();
    keyboard.refresh();
    EXPECT_EQ(access.GetLockStates(), lamps(".C."));
    EXPECT_EQ(view.indicators(), lamps(".C."));

    run("setxkbmap us");
    keyboard.refresh();
    access.SetLockStates(lamps("N.S"));
    keyboard.commit();
    keyboard.refresh();
    EXPECT_EQ(view.indicators(), lamps("N.S"));
    EXPECT_EQ(view.lockedModifiers(), kMod2);
    access.SetLockStates(lamps("..."));
  }
  // Named once, however often the keymap changed.
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("the Num Lock lamp"), std::string::npos) << said;
}

TEST(X11KeyboardOpen, NamesTheDisplayItCannotOpen) {
  try {
    X11Keyboard keyboard(testing::kAbsentDisplay);
    FAIL() << "opened " << testing::kAbsentDisplay;
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(error.what(), std::string("cannot open the X display ") + testing::kAbsentDisplay);
  }
}

}  // namespace
}  // namespace blinkolux
