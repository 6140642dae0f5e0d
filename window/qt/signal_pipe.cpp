// SPDX-License-Identifier: MIT
#include "window/qt/signal_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

namespace blinkolux {

namespace {

constexpr std::array<int, 4> kSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};
int writeEnd = -1;  // for the handler, which can reach nothing else

void onSignal(int /*signal*/) {
  const int saved = errno;  // the code it interrupted may be about to look at errno
  const char byte = 1;
  (void)!write(writeEnd, &byte, 1);
  errno = saved;
}

}  // namespace

SignalPipe::SignalPipe() {
  if (pipe2(fds_.data(), O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::runtime_error(std::string("cannot watch for signals: ") + std::strerror(errno));
  writeEnd = fds_[1];
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kSignals)
    sigaction(signal, &action, nullptr);
}

SignalPipe::~SignalPipe() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (const int signal : kSignals)
    sigaction(signal, &action, nullptr);
  writeEnd = -1;
  close(fds_[0]);
  close(fds_[1]);
}

void SignalPipe::drain() {
  std::array<char, 16> bytes{};
  while (read(fds_[0], bytes.data(), bytes.size()) > 0) {
  }
}

}  // namespace blinkolux
