// SPDX-License-Identifier: MIT
#include "window/qt/keyboard_choice.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/Xrandr.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace blinkolux {

namespace {

struct FreeDeviceList {
  void operator()(XDeviceInfo* devices) const { XFreeDeviceList(devices); }
};
struct FreeScreenResources {
  void operator()(XRRScreenResources* resources) const { XRRFreeScreenResources(resources); }
};
struct FreeOutputInfo {
  void operator()(XRROutputInfo* output) const { XRRFreeOutputInfo(output); }
};

bool waylandSession() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  const char* type = std::getenv("XDG_SESSION_TYPE");
  return (display != nullptr && *display != '\0') ||
         (type != nullptr && std::string_view(type) == "wayland");
}

// Debian 12's Xwayland (22.1) has no XWAYLAND extension, but names its input devices after itself
// where the compositor's seat has any, and its outputs XWAYLAND0, XWAYLAND1, ... always.
bool namesItselfXwayland(Display* display) {
  int count = 0;
  const std::unique_ptr<XDeviceInfo, FreeDeviceList> devices(XListInputDevices(display, &count));
  for (int i = 0; i < count; ++i)
    if (std::string_view(devices.get()[i].name).starts_with("xwayland-")) return true;
  int event = 0, error = 0;
  if (XRRQueryExtension(display, &event, &error) == False) return false;
  const std::unique_ptr<XRRScreenResources, FreeScreenResources> screen(
      XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display)));
  for (int i = 0; screen && i < screen->noutput; ++i) {
    const std::unique_ptr<XRROutputInfo, FreeOutputInfo> output(
        XRRGetOutputInfo(display, screen.get(), screen->outputs[i]));
    if (output && std::string_view(output->name, static_cast<std::size_t>(output->nameLen))
                      .starts_with("XWAYLAND"))
      return true;
  }
  return false;
}

}  // namespace

DisplayKind displayKind(Display* display) {
  int opcode = 0, event = 0, error = 0;
  const bool xwayland = XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) != False ||
                        namesItselfXwayland(display);
  return {xwayland || waylandSession(), xwayland};
}

}  // namespace blinkolux
