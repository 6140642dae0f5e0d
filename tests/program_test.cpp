// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "show_scripts.h"
#include "window/window_table.h"
#include "x_server.h"

namespace blinkolux {
namespace {

using testing::Child;
using testing::clickOn;
using testing::keymapDump;
using testing::output;
using testing::showChanges;
using testing::Step;
using testing::waitFor;
using testing::XServer;
using testing::XServerView;

const std::string kProgram = BLINKOLUX_EXE;
const std::string kSaved = "_BLINKOLUX_SAVED";  // the lamps a running copy found at start

TEST(Program, WithoutADisplaySaysSoInOneLineAndExits1) {
  Child child({kProgram}, {"DISPLAY="});
  EXPECT_EQ(child.wait(5000), 1);
  EXPECT_EQ(child.standardError(), "blinkolux: cannot open the X display (DISPLAY is not set)\n");
}

// What the program said, less Qt's note about a machine without XDG_RUNTIME_DIR.
std::string said(Child& child) {
  std::string words = child.standardError();
  constexpr std::string_view kQtNote =
      "QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'\n";
  if (const auto at = words.find(kQtNote); at != std::string::npos) words.erase(at, kQtNote.size());
  return words;
}

// With stderr piped, as when started from a menu, a failure is also shown in a box; the status
// comes once the user closes it. The exit status, or -1 where there was no box to close.
int statusOnceTheBoxIsClosed(XServerView& view, Child& child) {
  unsigned long box = 0;
  if (!waitFor([&] { return (box = view.findWindow("Blinkolux")) != 0; }, 10000)) return -1;
  if (child.wait(0) != -1) return -1;
  view.closeWindow(box);
  return child.wait(3000);
}

// Any client of the display can hold the claim, or write the property that names the running
// copy's window: one line and status 1, never a crash and never a silent exit.
TEST(Program, SaysSoWhenAnotherProgramHoldsItsClaim) {
  XServerView view;
  struct Squatter {
    int format;
    unsigned long named;
  };
  for (const Squatter squatter : {Squatter{0, 0}, Squatter{8, 0x41}, Squatter{32, 0x7ffffff}}) {
    const unsigned long holder =
        view.holdSelection("BLINKOLUX", "BLINKOLUX_WINDOW", squatter.format, squatter.named);
    Child child({kProgram});
    EXPECT_EQ(statusOnceTheBoxIsClosed(view, child), 1) << squatter.format;
    EXPECT_EQ(said(child),
              "blinkolux: another program holds Blinkolux's claim on this display (the "
              "BLINKOLUX selection)\n")
        << squatter.format;
    view.destroyWindow(holder);
  }
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
    ASSERT_TRUE(waitFor([&] { return (window = view.findWindow("Blinkolux")) != 0; }, 3000))
        << child->standardError();
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

  void click(ControlId id) const { ASSERT_TRUE(clickOn(window, id)); }

  std::vector<Step> watchSteps(int ms) {
    const Lamps before = view.indicators();
    return steps(view.watch(ms), before);
  }
  // The steps from a click on a button on, the click's own lamp changes included.
  std::vector<Step> clickAndWatch(ControlId id, int ms) {
    const Lamps before = view.indicators();
    view.discardChanges();
    click(id);
    return steps(view.watch(ms), before);
  }
  // Watches the steps until `seen` holds for those seen so far; whether it did within `ms`.
  bool watchUntil(const std::function<bool(const std::vector<Step>&)>& seen, int ms) {
    const Lamps before = view.indicators();
    std::vector<XServerView::Change> changes;
    return waitFor(
        [&] {
          for (const auto& change : view.watch(10))
            changes.push_back(change);
          return seen(steps(changes, before));
        },
        ms);
  }

  XServerView view;
  std::string keymapBefore;
  Lamps lampsBefore{};
  std::unique_ptr<Child> child;
  unsigned long window = 0;
};

bool endsWith(const std::vector<Step>& steps, const std::vector<std::string>& changes) {
  if (steps.size() < changes.size()) return false;
  for (std::size_t i = 0; i < changes.size(); ++i)
    if (steps[steps.size() - changes.size() + i].lamps != changes[i]) return false;
  return true;
}
bool shows(const std::vector<Step>& steps, const std::string& lamps) {
  return std::any_of(steps.begin(), steps.end(), [&](const Step& s) { return s.lamps == lamps; });
}

// The desktop entry's StartupWMClass, which ties a window to its launcher and icon.
std::string startupWmClass() {
  std::ifstream entry(BLINKOLUX_DESKTOP_ENTRY);
  for (std::string line; std::getline(entry, line);)
    if (line.starts_with("StartupWMClass=")) return line.substr(line.find('=') + 1);
  return "";
}

TEST_F(RunningProgram, RunsNumScrollCapsAStepEvery100MsAndPutsTheLampsBackWhenClosed) {
  EXPECT_EQ(view.windowClass(window), startupWmClass());
  EXPECT_GE(view.iconSize(window), 2U + 16 * 16);  // its own icon, from 16 px on
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
  click(ControlId::Check1);  // no random events
  const auto steps = clickAndWatch(ControlId::Command2, 7000);
  // Show 1, its repeated steps merged, as the lamps show it: 5600 ms from its first step to its
  // end step, then after the 500 ms pause the running light's first tick at 100 ms.
  const auto show1 = showChanges(testing::kShow1Script);
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

  const auto show2 = clickAndWatch(ControlId::Command3, 1100);
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
      const std::size_t picture = view.pixels(window, pixels(kMirror.left), pixels(kMirror.top),
                                              pixels(kMirror.width), pixels(kMirror.height));
      const auto [known, added] = pictures.emplace(lamps, picture);
      EXPECT_EQ(known->second, picture) << lamps;
      if (added) distinct.insert(picture);
    }
  };
  watch(700);
  click(ControlId::Command2);
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

class AtAMoment : public RunningProgram {
 protected:
  // The running light's first step; show 1's first; or its end step, whose pause follows.
  void reach(Moment moment) {
    if (moment != Moment::RunningLight) {
      click(ControlId::Check1);  // no random events
      click(ControlId::Command2);
    }
    const auto show1 = showChanges(testing::kShow1Script);
    ASSERT_TRUE(watchUntil(
        [&](const std::vector<Step>& steps) {
          return moment == Moment::RunningLight ? !steps.empty()
                 : moment == Moment::Show       ? shows(steps, "NCS")
                                                : endsWith(steps, show1);
        },
        10000));
  }
};

class Signalled : public AtAMoment,
                  public ::testing::WithParamInterface<std::tuple<int, Moment>> {};

TEST_P(Signalled, PutsTheLampsAndTheKeymapBack) {
  const auto [signal, moment] = GetParam();
  reach(moment);
  kill(child->pid(), signal);
  expectEndedWithTheLampsBack();
}

INSTANTIATE_TEST_SUITE_P(EverySignalAtEveryMoment, Signalled,
                         ::testing::Combine(::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT),
                                            ::testing::Values(Moment::RunningLight, Moment::Show,
                                                              Moment::Pause)));

// After a kill -9 the lamps stay as the display left them; the next start puts them back.
class Killed : public AtAMoment, public ::testing::WithParamInterface<Moment> {};

TEST_P(Killed, TheNextStartPutsTheLampsBackFirst) {
  reach(GetParam());
  EXPECT_EQ(view.rootProperty(kSaved), "x11 " + pattern(lampsBefore));
  kill(child->pid(), SIGKILL);
  ASSERT_EQ(child->wait(3000), 128 + SIGKILL);
  start();
  closeAndExpectTheLampsBack();
}

INSTANTIATE_TEST_SUITE_P(DuringTheRunningLightAndAShow, Killed,
                         ::testing::Values(Moment::RunningLight, Moment::Show));

// A window manager that learns the lock modifiers when it starts still takes its shortcuts.
TEST(Program, UnderOpenboxAFailureIsShownAndAltF4ClosesItWhileTheScrollLampIsLit) {
  const XServer server;
  Child openbox({"/usr/bin/openbox"}, {server.variable()});
  XServerView view(server.display().c_str());
  // A window mapped before openbox is ready is managed, but never focused.
  ASSERT_TRUE(waitFor([&] { return view.windowManagerRuns(); }, 20000));
  const std::string xdotool = server.variable() + " xdotool ";
  {
    // A failure's box is focused, and Return closes it.
    const unsigned long squatter = view.holdSelection("BLINKOLUX", "BLINKOLUX_WINDOW", 0, 0);
    Child failing({kProgram}, {server.variable()});
    ASSERT_TRUE(waitFor([&] { return view.activated("Blinkolux"); }, 20000));
    EXPECT_EQ(failing.wait(0), -1);
    output(xdotool + "key Return");
    EXPECT_EQ(failing.wait(3000), 1) << failing.standardError();
    view.destroyWindow(squatter);
  }
  const Lamps before = view.indicators();
  Child child({kProgram}, {server.variable()});
  // Managed and focused, so that openbox has its key bindings and Alt+F4 reaches this window.
  ASSERT_TRUE(waitFor([&] { return view.activated("Blinkolux"); }, 20000)) << child.standardError();
  output(xdotool + "key End");  // the slider has the focus: a step a second
  ASSERT_TRUE(waitFor(
      [&] {
        const auto changes = view.watch(10);
        return !changes.empty() && pattern(changes.back().lamps) == "..S";
      },
      5000));
  output(xdotool + "key alt+F4");
  EXPECT_EQ(child.wait(3000), 0) << child.standardError();
  EXPECT_EQ(view.indicators(), before);
}

TEST(Program, ExitsWith1AndSaysSoWhenTheXServerGoesAway) {
  XServer server;
  Child child({kProgram}, {server.variable()});
  {
    XServerView view(server.display().c_str());
    ASSERT_TRUE(waitFor([&] { return view.findWindow("Blinkolux") != 0; }, 3000))
        << child.standardError();
  }
  server.kill();
  EXPECT_EQ(child.wait(2000), 1);
  // In its own words, once: not Qt's nor Xlib's.
  const std::string said = child.standardError();
  EXPECT_TRUE(said.ends_with("\nblinkolux: lost the connection to the X display\n") ||
              said == "blinkolux: lost the connection to the X display\n")
      << said;
  EXPECT_EQ(said.find("X11"), std::string::npos) << said;
}

}  // namespace
}  // namespace blinkolux
