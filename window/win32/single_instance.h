// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

namespace blinkolux {

// One copy per user and session: two would fight over the lamps, and the second would "restore"
// the first's pattern. The name holds the user's SID, so that another user's object can't squat
// it; an object of the same user can, but never yields two copies or a silent end.
class SingleInstance {
 public:
  enum class Outcome { First, RunningCopyRaised, NameTaken };

  SingleInstance();
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  Outcome outcome() const { return outcome_; }

 private:
  HANDLE mutex_ = nullptr;
  Outcome outcome_ = Outcome::First;
};

// Local\Blinkolux-S-1-5-21-...: in the session's namespace, the user's own.
std::wstring instanceName();

}  // namespace blinkolux
