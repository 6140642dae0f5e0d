// SPDX-License-Identifier: MIT
#include "window/qt/display_loss.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace blinkolux {

namespace {

int displayLost(Display* /*display*/) {
  constexpr std::string_view kMessage = "blinkolux: lost the connection to the X display\n";
  (void)!write(STDERR_FILENO, kMessage.data(), kMessage.size());
  std::exit(1);  // not _exit: the kernel's lamps are put back on the way out
}

}  // namespace

void exitWhenTheDisplayIsLost() {
  XSetIOErrorHandler(displayLost);
}

}  // namespace blinkolux
