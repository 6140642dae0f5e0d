#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "x_server.h"

namespace blinkolux {
namespace {

using testing::Child;
using testing::keymapDump;
using testing::output;
using testing::Step;
using testing::XServerView;

const std::string kProgram = BLINKOLUX_EXE;
const std::string kSaved = "_BLINKOLUX_SAVED";  // the lamps a running copy found at start

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

// The program on the X server, started with Caps Lock on and Num Lock off; each test ends it and
// checks that the lamps and the keymap are as they were before it started.
class RunningProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    view.lockCapsAndNum(true, false);
    keymapBefore = keymapDump();
    lampsBefore = view.indicators();
    start();
  }
  void start() {
    window = 0;
    child = std::make_unique<Child>(std::vector<std::string>{kProgram});
    for (int i = 0; i < 300 && window == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      window = view.findWindow("Blinkolux");
    }
    ASSERT_NE(window, 0U) << child->standardError();
  }
  void TearDown() override { view.lockCapsAndNum(false, false); }

  void closeAndExpectTheLampsBack() {
    view.closeWindow(window);
    expectEndedWithTheLampsBack();
  }
  void expectEndedWithTheLampsBack() {
    EXPECT_EQ(child->wait(3000), 0) << child->standardError();
    EXPECT_EQ(view.indicators(), lampsBefore);
    EXPECT_EQ(keymapDump(), keymapBefore);
    EXPECT_EQ(view.rootProperty(kSaved), "");
  }

  void click(const std::string& caption) {
    for (const auto& c : kCaptions) {
      if (c.first == caption) {
        ASSERT_EQ(output("xdotool mousemove --window " + std::to_string(window) + " " + c.second +
                         " click 1 && echo ok"),
                  "ok\n");
      }
    }
  }

  std::vector<Step> watchSteps(int ms) {
    const Lamps before = view.indicators();
    return steps(view.watch(ms), before);
  }
  // The steps from a click on a button on, the click's own lamp changes included.
  std::vector<Step> clickAndWatch(const std::string& caption, int ms) {
    const Lamps before = view.indicators();
    view.discardChanges();
    click(caption);
    return steps(view.watch(ms), before);
  }

  XServerView view;
  std::string keymapBefore;
  Lamps lampsBefore{};
  std::unique_ptr<Child> child;
  unsigned long window = 0;
  // The centres of the controls, in pixels.
  const std::vector<std::pair<std::string, std::string>> kCaptions{
      {"Random events", "272 12"}, {"Light show 1", "356 36"}, {"Light show 2", "432 36"}};
};

TEST_F(RunningProgram, RunsNumScrollCapsAStepEvery100MsAndPutsTheLampsBackWhenClosed) {
  const auto steps = watchSteps(1000);
  std::size_t first = 0;
  while (first < steps.size() && steps[first].lamps != "N..")
    ++first;
  ASSERT_LT(first + 6, steps.size());
  for (std::size_t i = first; i + 1 < steps.size(); ++i) {
    const std::string& now = steps[i].lamps;
    EXPECT_EQ(steps[i + 1].lamps, now == "N.." ? "..S" : now == "..S" ? ".C." : "N..");
    // One change: one lock request, and the Scroll indicator's request at the same server time.
    EXPECT_LE(steps[i].lockRequests, 1);
    EXPECT_LE(steps[i].time - steps[i].from, 1U);
    // The schedule, not its precision (bench/ measures that): a shared machine may be slow.
    EXPECT_NEAR(static_cast<double>(steps[i + 1].time - steps[i].time), 100.0, 40.0);
  }
  closeAndExpectTheLampsBack();
}

TEST_F(RunningProgram, PlaysTheShowsFromTheirButtonsAndRestoresTheLampsClosedDuringOne) {
  click("Random events");
  const auto steps = clickAndWatch("Light show 1", 7000);
  // Show 1, its repeated steps merged, as the lamps show it: 5600 ms from its first step to its
  // end step, then after the 500 ms pause the running light's first tick at 100 ms.
  const std::vector<std::string> show1{"NCS", "N.S", ".C.", "N.S", "...", ".C.",
                                       "N.S", "...", ".C.", "N.S", "...", "NCS",
                                       "...", "NCS", "...", "NCS", "..."};
  std::size_t first = 0;
  while (first < steps.size() && steps[first].lamps != "NCS")
    ++first;
  ASSERT_LT(first + show1.size(), steps.size());
  for (std::size_t i = 0; i < show1.size(); ++i)
    EXPECT_EQ(steps[first + i].lamps, show1[i]);
  const auto& end = steps[first + show1.size() - 1];
  EXPECT_NEAR(static_cast<double>(end.time - steps[first].time), 5600.0, 80.0);
  const auto& back = steps[first + show1.size()];
  EXPECT_NEAR(static_cast<double>(back.time - end.time), 600.0, 80.0);
  EXPECT_EQ(std::count(back.lamps.begin(), back.lamps.end(), '.'), 2) << back.lamps;

  const auto show2 = clickAndWatch("Light show 2", 1100);
  // A later show starts at step 1: from the lamps going dark at the click, Caps alone, then all
  // (from step 0 Num and Scroll would come first). The running light never lights all three.
  std::size_t all = 0;
  while (all < show2.size() && show2[all].lamps != "NCS")
    ++all;
  ASSERT_GE(all, 2U);
  ASSERT_LT(all, show2.size());
  EXPECT_EQ(show2[all - 1].lamps, ".C.");
  EXPECT_EQ(show2[all - 2].lamps, "...");
  closeAndExpectTheLampsBack();
}

// The lamp mirror, as the X server shows it about 30 ms after each change an observer saw: one
// picture for each pattern, and another for every other pattern.
TEST_F(RunningProgram, TheLampMirrorShowsEachPatternOneWay) {
  std::map<std::string, std::size_t> pictures;
  std::set<std::size_t> distinct;
  const auto watch = [&](int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      const auto changes = view.watch(10);
      if (changes.empty()) continue;
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      const std::string lamps = pattern(view.indicators());
      if (pattern(changes.back().lamps) != lamps) continue;  // changed again meanwhile
      const std::size_t picture = view.pixels(window, 150, 4, 70, 16);
      const auto [known, added] = pictures.emplace(lamps, picture);
      EXPECT_EQ(known->second, picture) << lamps;
      if (added) distinct.insert(picture);
    }
  };
  watch(700);
  click("Light show 1");
  watch(3000);
  EXPECT_GE(pictures.size(), 5U);
  EXPECT_EQ(distinct.size(), pictures.size());
  closeAndExpectTheLampsBack();
}

TEST_F(RunningProgram, ASecondCopyLeavesTheFirstAloneAndExits0) {
  Child second({kProgram});
  EXPECT_EQ(second.wait(5000), 0) << second.standardError();
  EXPECT_EQ(child->wait(0), -1);
  EXPECT_GE(watchSteps(500).size(), 3U);  // the first still runs the light
  closeAndExpectTheLampsBack();
}

// Each of these signals ends the program as a closed window does, whatever it is doing.
enum class Moment { RunningLight, Show, Pause };

class Signalled : public RunningProgram,
                  public ::testing::WithParamInterface<std::tuple<int, Moment>> {};

TEST_P(Signalled, PutsTheLampsAndTheKeymapBack) {
  const auto [signal, moment] = GetParam();
  if (moment != Moment::RunningLight) {
    click("Random events");
    click("Light show 1");  // the first show: its end step comes 6000 ms after the click
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(moment == Moment::RunningLight ? 300
                                                        : moment == Moment::Show       ? 1000
                                                                                       : 6200));
  kill(child->pid(), signal);
  expectEndedWithTheLampsBack();
}

INSTANTIATE_TEST_SUITE_P(EverySignalAtEveryMoment, Signalled,
                         ::testing::Combine(::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT),
                                            ::testing::Values(Moment::RunningLight, Moment::Show,
                                                              Moment::Pause)));

// After a kill -9 the lamps stay as the display left them; the next start puts them back.
class Killed : public RunningProgram, public ::testing::WithParamInterface<Moment> {};

TEST_P(Killed, TheNextStartPutsTheLampsBackFirst) {
  if (GetParam() == Moment::Show) click("Light show 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(GetParam() == Moment::Show ? 1000 : 300));
  EXPECT_EQ(view.rootProperty(kSaved), "x11 " + pattern(lampsBefore));
  kill(child->pid(), SIGKILL);
  ASSERT_EQ(child->wait(3000), 128 + SIGKILL);
  start();
  closeAndExpectTheLampsBack();
}

INSTANTIATE_TEST_SUITE_P(DuringTheRunningLightAndAShow, Killed,
                         ::testing::Values(Moment::RunningLight, Moment::Show));

// A window manager that learns the lock modifiers when it starts still takes its shortcuts.
TEST(Program, UnderOpenboxAltF4ClosesItWhileTheScrollLampIsLit) {
  const std::string display = ":4713";
  Child server({"/usr/bin/Xvfb", display, "-noreset", "-nolisten", "tcp"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Child openbox({"/usr/bin/openbox"}, {"DISPLAY=" + display});
  XServerView view(display.c_str());
  const Lamps before = view.indicators();
  Child child({kProgram}, {"DISPLAY=" + display});
  const std::string xdotool = "DISPLAY=" + display + " xdotool ";
  ASSERT_NE(output(xdotool + "search --sync --name '^Blinkolux$'"), "");
  output(xdotool + "key End");  // the slider has the focus: a step a second
  bool scrollLit = false;
  for (int i = 0; i < 100 && !scrollLit; ++i) {
    const auto changes = view.watch(30);
    scrollLit = !changes.empty() && pattern(changes.back().lamps) == "..S";
  }
  ASSERT_TRUE(scrollLit);
  output(xdotool + "key alt+F4");
  EXPECT_EQ(child.wait(3000), 0) << child.standardError();
  EXPECT_EQ(view.indicators(), before);
}

TEST(Program, ExitsWith1AndSaysSoWhenTheXServerGoesAway) {
  Child server({"/usr/bin/Xvfb", ":4712", "-noreset", "-nolisten", "tcp"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Child child({kProgram}, {"DISPLAY=:4712"});
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  ASSERT_EQ(child.wait(0), -1) << child.standardError();
  kill(server.pid(), SIGKILL);
  EXPECT_EQ(child.wait(2000), 1);
  std::string message = child.standardError();
  message.erase(0, message.rfind('\n', message.size() - 2) + 1);  // its last line
  EXPECT_NE(message.find('X'), std::string::npos) << message;
}

}  // namespace
}  // namespace blinkolux
