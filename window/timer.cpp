// SPDX-License-Identifier: MIT
#include "window/timer.h"

#include <algorithm>
#include <utility>

namespace blinkolux {

Timer::Timer(TimerSet& set, TimerDescription description, std::function<void()> handler)
    : set_(set),
      interval_(std::max(description.interval, 1)),
      enabled_(description.enabled),
      deadline_(set.now() + interval_),
      handler_(std::move(handler)) {
  set_.timers_.push_back(this);
}

void Timer::setInterval(std::int32_t ms) {
  ms = std::max(ms, 1);
  if (ms == interval_) return;
  interval_ = ms;
  deadline_ = set_.now() + interval_;
}

void Timer::setEnabled(bool enabled) {
  if (enabled && !enabled_) deadline_ = set_.now() + interval_;
  enabled_ = enabled;
}

void TimerSet::pause(Millis ms) {
  settle_();
  // From the moment it starts: a handler that runs late still pauses for all of `ms`.
  const Millis until = clock_.now() + ms;
  clock_.sleepUntil(until);
}

namespace {

// The first expiry on the schedule of `deadline` and `interval` that comes after `time`.
Millis firstAfter(Millis deadline, Millis interval, Millis time) {
  return deadline > time ? deadline : deadline + ((time - deadline) / interval + 1) * interval;
}

}  // namespace

void TimerSet::skipIdle() {
  const Millis time = now();
  for (Timer* timer : timers_)
    if (timer->enabled_ && timer->idle())
      timer->deadline_ = firstAfter(timer->deadline_, timer->interval_, time);
}

std::optional<Millis> TimerSet::nextDeadline() const {
  std::optional<Millis> next;
  for (const Timer* timer : timers_)
    if (timer->enabled_ && !timer->idle() && (!next || timer->deadline_ < *next))
      next = timer->deadline_;
  return next;
}

bool TimerSet::runNextDue() {
  if (inHandler_) return false;
  const Millis clockNow = clock_.now();
  Timer* due = nullptr;
  for (Timer* timer : timers_)
    if (timer->enabled_ && timer->deadline_ <= clockNow && !timer->idle() &&
        (due == nullptr || timer->deadline_ < due->deadline_))
      due = timer;
  if (due == nullptr) return false;

  due->deadline_ = firstAfter(due->deadline_ + due->interval_, due->interval_, clockNow);

  inHandler_ = true;
  due->handler_();
  settle_();
  inHandler_ = false;
  return true;
}

}  // namespace blinkolux
