// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lamps/lamps.h"
#include "window/window_table.h"

using Display = struct _XDisplay;

namespace blinkolux::testing {

// An X client of its own that watches the keyboard as `xset q` shows it.
class XServerView {
 public:
  explicit XServerView(const char* displayName = nullptr);
  ~XServerView();
  XServerView(const XServerView&) = delete;
  XServerView& operator=(const XServerView&) = delete;

  Lamps indicators();  // the three lamps as lit now
  unsigned lockedModifiers();
  void lockCapsAndNum(bool caps, bool num);

  // Every lamp change reported by the server within `ms`, with the server's time stamps.
  struct Change {
    unsigned long time;  // ms
    Lamps lamps;
    int lockRequests;  // lock changes the server made for it (one per request that set a lock)
  };
  std::vector<Change> watch(int ms);
  // Forgets the changes reported so far, so that the next watch starts from now.
  void discardChanges();

  std::string rootProperty(const std::string& name);  // a STRING, or "" when there is none

  // What a rectangle of a window shows, as one number: equal pixels, equal numbers.
  std::size_t pixels(unsigned long window, int x, int y, int width, int height);

  // What the window manager and launchers see of a window: its WM_CLASS class, and how many
  // numbers its _NET_WM_ICON holds (0 without an icon).
  std::string windowClass(unsigned long window);
  unsigned long iconSize(unsigned long window);

  // The top-level window with this title, or 0.
  unsigned long findWindow(const std::string& title);
  bool windowManagerRuns();
  // The window manager has made the window with this title the active one.
  bool activated(const std::string& title);
  // Holds `selection` with a window of its own, whose `property` names `named` in `format` (8 or
  // 32; none for 0). Destroying the window frees the selection.
  unsigned long holdSelection(const std::string& selection, const std::string& property, int format,
                              unsigned long named);
  void destroyWindow(unsigned long window);
  // Asks the window to close, as a window manager's close box does.
  void closeWindow(unsigned long window);

  Display* display() const { return display_; }

 private:
  Lamps lampsFrom(unsigned indicatorState) const;

  Display* display_;
  std::array<int, 3> indicatorIndex_{};
};

// A click at the middle of a control of the window, where the window table places it (96 DPI);
// whether xdotool made it.
bool clickOn(unsigned long window, ControlId id);

// Whether `holds` came true within `ms`, asked every 5 ms.
bool waitFor(const std::function<bool()>& holds, int ms);

// What the lamps showed after each step of a display: a step's lamp changes come within a few
// ms of each other, and steps at least 20 ms apart.
struct Step {
  unsigned long time;  // of its last change, ms
  unsigned long from;  // of its first
  std::string lamps;
  int lampsChanged;
  int lockRequests;
};
std::vector<Step> steps(const std::vector<XServerView::Change>& changes, const Lamps& before);

std::string output(const std::string& command);  // what a shell command prints
std::string keymapDump();                        // xkbcomp -xkb of the display

// A child process whose standard error is kept.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // The exit status, or -1 if it has not ended within `ms`.
  int wait(int ms);
  pid_t pid() const { return pid_; }
  std::string standardError();

 private:
  pid_t pid_ = 0;
  int errorPipe_ = -1;
  int status_ = -1;
};

// An X server of the test's own, on a display number it chose itself (-displayfd), so that suites
// sharing a machine never meet. It stops with this object.
class XServer {
 public:
  XServer();
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  const std::string& display() const { return display_; }
  std::string variable() const { return "DISPLAY=" + display_; }
  void kill();  // at once, as a crash would end it

 private:
  std::unique_ptr<Child> server_;
  std::string display_;
};

// A display that can't exist: X knows no transport called "absent".
inline constexpr const char* kAbsentDisplay = "absent/display:0";

}  // namespace blinkolux::testing
