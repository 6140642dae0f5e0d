// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace blinkolux {

using Millis = std::int64_t;

// A monotonic millisecond clock that can also block the calling thread.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual Millis now() const = 0;
  virtual void sleepUntil(Millis time) = 0;
};

class TimerSet;

struct TimerDescription {
  std::int32_t interval;  // ms
  bool enabled;
};

// A periodic timer of the window. Its countdown rules:
// - enabling a stopped timer starts one interval from now, the moment it really is, also inside a
//   handler that runs late (after a stall, a show's first step still gets its full interval);
//   enabling a running one changes nothing;
// - assigning a different interval restarts the countdown from now in the same way, the same
//   interval leaves it running (the 1 ms speed poll assigns the running light's interval at every
//   expiry);
// - intervals below 1 ms count as 1 ms, so no timer can spin.
class Timer {
 public:
  Timer(TimerSet& set, TimerDescription description, std::function<void()> handler);
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  std::int32_t interval() const { return interval_; }
  bool enabled() const { return enabled_; }
  void setInterval(std::int32_t ms);
  void setEnabled(bool enabled);

  // While `idle` holds, an expiry would change nothing: none is delivered, and none wakes the
  // thread. The set must be told before anything can end the idleness (TimerSet::skipIdle).
  void skipWhile(std::function<bool()> idle) { idle_ = std::move(idle); }

 private:
  bool idle() const { return idle_ && idle_(); }

  friend class TimerSet;
  TimerSet& set_;
  std::int32_t interval_;
  bool enabled_;
  Millis deadline_ = 0;
  std::function<void()> handler_;
  std::function<bool()> idle_;
};

// Keeps the deadlines of the window's timers and runs their handlers one at a time. The platform
// only wakes it at the earliest deadline, so its own timers never define the countdown rules.
//
// Delivery rules:
// - deadlines follow the schedule (last deadline + interval), not the moment a handler ran, so a
//   late handler carries no lateness into the periodic schedule;
// - expiries due at the same moment run in the order the timers were made (the window's table);
// - an expiry that fell due while a handler ran or paused is delivered once, as soon as that
//   handler returns; periods missed meanwhile are skipped, not replayed.
class TimerSet {
 public:
  explicit TimerSet(Clock& clock) : clock_(clock) {}
  TimerSet(const TimerSet&) = delete;
  TimerSet& operator=(const TimerSet&) = delete;

  Millis now() const { return clock_.now(); }
  bool running() const { return inHandler_; }  // a handler, or its pause

  // Blocks the thread: no handler and no other event runs meanwhile.
  void pause(Millis ms);

  // Called when a handler returns and before it pauses: the moments its lamp writes must show.
  void onSettle(std::function<void()> settle) { settle_ = std::move(settle); }

  // Moves idle timers on to their first expiry after now, as if the ones before had run.
  void skipIdle();

  std::optional<Millis> nextDeadline() const;
  // Runs the handler of the earliest timer that is due; false when none is.
  bool runNextDue();

 private:
  friend class Timer;
  Clock& clock_;
  std::vector<Timer*> timers_;
  std::function<void()> settle_ = [] {};
  bool inHandler_ = false;
};

}  // namespace blinkolux
