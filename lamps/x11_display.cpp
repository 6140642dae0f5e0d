#include "lamps/x11_display.h"

#include <X11/XKBlib.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

namespace blinkolux {

namespace {

int displayLost(Display* /*display*/) {
  constexpr std::string_view kMessage = "blinkolux: lost the connection to the X display\n";
  (void)!write(STDERR_FILENO, kMessage.data(), kMessage.size());
  std::exit(1);  // not _exit: the kernel's lamps are put back on the way out
}

std::string shownName(const char* name) {
  const char* shown = XDisplayName(name);
  return shown != nullptr && *shown != '\0' ? shown : "(DISPLAY is not set)";
}

}  // namespace

Display* openDisplay(const char* name) {
  int major = XkbMajorVersion, minor = XkbMinorVersion, error = 0, reason = 0;
  Display* display = XkbOpenDisplay(name, nullptr, &error, &major, &minor, &reason);
  if (display == nullptr) {
    if (reason == XkbOD_ConnectionRefused)
      throw std::runtime_error("cannot open the X display " + shownName(name));
    throw std::runtime_error("the X display " + shownName(name) + " has no usable XKB extension");
  }
  XSetIOErrorHandler(displayLost);
  return display;
}

}  // namespace blinkolux
