#include <gtest/gtest.h>

#include <stdexcept>

#include "lamps/lamp_access.h"
#include "lamps/x11_keyboard.h"
#include "x11_support.h"

namespace blinkolux {
namespace {

using testing::keymapDump;
using testing::output;
using testing::XServerView;

class X11KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override { view.lockCapsAndNum(false, false); }
  void TearDown() override { EXPECT_EQ(keymapDump(), keymapBefore); }

  XServerView view;
  std::string keymapBefore = keymapDump();
};

TEST_F(X11KeyboardTest, SetsAndReadsEachLockAndTheLampsShowIt) {
  {
    X11Keyboard keyboard;
    LampAccess lamps(keyboard);
    for (const Lamps& wanted :
         {Lamps{true, false, false}, Lamps{false, true, false}, Lamps{false, false, true},
          Lamps{true, true, true}, Lamps{false, false, false}}) {
      lamps.SetLockStates(wanted);
      EXPECT_EQ(lamps.GetLockStates(), wanted);
      EXPECT_EQ(view.indicators(), wanted);
    }
    lamps.SetLockStates({false, true, true});
  }
  // Our Scroll Lock binding is gone, unlocked first; the others stay as they were set.
  EXPECT_EQ(view.indicators(), (Lamps{false, true, false}));
  EXPECT_EQ(output("xmodmap -pm | grep -c Scroll_Lock"), "0\n");
}

TEST_F(X11KeyboardTest, AReplacedKeymapGetsTheBindingBackAndKeepsTheNewLayoutAtTheEnd) {
  std::string switched;
  {
    X11Keyboard keyboard;
    LampAccess lamps(keyboard);
    ASSERT_EQ(output("setxkbmap -layout de && echo ok"), "ok\n");
    switched = keymapDump();
    lamps.SetLockState(kScrollLock, true);
    // A read answers only after the keyboard's connection has had its lock request handled;
    // the server orders requests within one connection, not across them.
    ASSERT_TRUE(lamps.GetLockState(kScrollLock));
    EXPECT_EQ(view.indicators(), (Lamps{false, false, true}));
  }
  EXPECT_EQ(keymapDump(), switched);
  EXPECT_EQ(output("setxkbmap -layout us && echo ok"), "ok\n");
  keymapBefore = keymapDump();
}

TEST_F(X11KeyboardTest, LeavesAScrollLockBindingOfTheUsersAlone) {
  ASSERT_EQ(output("xmodmap -e 'add mod5 = Scroll_Lock' && echo ok"), "ok\n");
  const std::string users = keymapDump();
  {
    X11Keyboard keyboard;
    LampAccess lamps(keyboard);
    lamps.SetLockState(kScrollLock, true);
    ASSERT_TRUE(lamps.GetLockState(kScrollLock));  // handled before the view asks
    EXPECT_EQ(view.indicators(), (Lamps{false, false, true}));
    lamps.SetLockState(kScrollLock, false);
  }
  EXPECT_EQ(keymapDump(), users);
  ASSERT_EQ(output("xmodmap -e 'remove mod5 = Scroll_Lock' && echo ok"), "ok\n");
}

TEST(X11KeyboardOpen, NamesTheDisplayItCannotOpen) {
  try {
    X11Keyboard keyboard(":4711");
    FAIL() << "opened :4711";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "cannot open the X display :4711");
  }
}

}  // namespace
}  // namespace blinkolux
