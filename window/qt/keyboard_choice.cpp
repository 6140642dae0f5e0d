// SPDX-License-Identifier: MIT
#include "window/qt/keyboard_choice.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace blinkolux {

namespace {

struct FreeDeviceList {
  void operator()(XDeviceInfo* devices) const { XFreeDeviceList(devices); }
};

bool waylandSession() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  const char* type = std::getenv("XDG_SESSION_TYPE");
  return (display != nullptr && *display != '\0') ||
         (type != nullptr && std::string_view(type) == "wayland");
}

bool isXwayland(Display* display) {
  int opcode = 0, event = 0, error = 0;
  if (XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) != 0) return true;
  // Debian 12's Xwayland has no such extension, but names its input devices after itself.
  int count = 0;
  const std::unique_ptr<XDeviceInfo, FreeDeviceList> devices(XListInputDevices(display, &count));
  for (int i = 0; i < count; ++i)
    if (std::string_view(devices.get()[i].name).starts_with("xwayland-")) return true;
  return false;
}

}  // namespace

bool kernelLampsWanted(Display* display) {
  return waylandSession() || isXwayland(display);
}

}  // namespace blinkolux
