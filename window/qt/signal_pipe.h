// SPDX-License-Identifier: MIT
#pragma once

#include <array>

namespace blinkolux {

// SIGINT, SIGTERM, SIGHUP and SIGQUIT, turned into bytes on a pipe that the event loop watches:
// the window then closes there, where the lamps can be put back safely.
class SignalPipe {
 public:
  // Throws std::runtime_error with a one-line reason.
  SignalPipe();
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

  int readEnd() const { return fds_[0]; }
  void drain();

 private:
  std::array<int, 2> fds_{-1, -1};
};

}  // namespace blinkolux
