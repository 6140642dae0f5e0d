#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "x11_support.h"

namespace blinkolux {
namespace {

using testing::Child;
using testing::XServerView;

const std::string kProgram = BLINKOLUX_EXE;

TEST(Program, WithoutADisplaySaysSoInOneLineAndExits1) {
  Child child({kProgram}, {"DISPLAY="});
  EXPECT_EQ(child.wait(5000), 1);
  EXPECT_EQ(child.standardError(), "blinkolux: cannot open the X display (DISPLAY is not set)\n");
}

TEST(Program, RefusesArguments) {
  Child child({kProgram, "--fast"});
  EXPECT_EQ(child.wait(5000), 2);
  EXPECT_NE(child.standardError().find("no arguments"), std::string::npos);
}

// As a user sees it: Num, Scroll, Caps in turn, a step every 100 ms, and the lamps found at start
// back after the window is closed.
TEST(Program, RunsTheLightOnTheLampsAndPutsThemBackWhenClosed) {
  XServerView view;
  view.lockCapsAndNum(true, false);
  Child child({kProgram});
  unsigned long window = 0;
  for (int i = 0; i < 200 && window == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    window = view.findWindow("Blinkolux");
  }
  ASSERT_NE(window, 0U) << child.standardError();

  const auto changes = view.watch(1000);
  ASSERT_GE(changes.size(), 7U);
  const Lamps num{true, false, false}, caps{false, true, false}, scroll{false, false, true};
  std::size_t first = 0;
  while (first < changes.size() && changes[first].lamps != num)
    ++first;
  ASSERT_LT(first + 6, changes.size());
  // A step changes two lamps, one request each: the server reports the step's end.
  std::vector<Lamps> steps;
  std::vector<unsigned long> times;
  for (std::size_t i = first; i < changes.size(); ++i) {
    const auto& lamps = changes[i].lamps;
    if (lamps == num || lamps == caps || lamps == scroll) {
      steps.push_back(lamps);
      times.push_back(changes[i].time);
    }
  }
  ASSERT_GE(steps.size(), 6U);
  for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
    EXPECT_EQ(steps[i + 1], steps[i] == num ? scroll : steps[i] == scroll ? caps : num);
    EXPECT_NEAR(static_cast<double>(times[i + 1] - times[i]), 100.0, 15.0);
  }

  view.closeWindow(window);
  EXPECT_EQ(child.wait(3000), 0) << child.standardError();
  EXPECT_EQ(view.indicators(), (Lamps{false, true, false}));
  view.lockCapsAndNum(false, false);
}

}  // namespace
}  // namespace blinkolux
