// SPDX-License-Identifier: MIT
#include "lamps/x11/x11_display.h"

#include <X11/XKBlib.h>

#include <stdexcept>
#include <string>

namespace blinkolux {

void CloseDisplay::operator()(Display* display) const {
  XCloseDisplay(display);  // sends what is still buffered
}

void FreeXData::operator()(void* data) const {
  XFree(data);
}

void takeArrivedEvents(Display* display, const std::function<void(const XEvent&)>& take) {
  for (int queued = XEventsQueued(display, QueuedAfterReading); queued > 0;
       queued = XEventsQueued(display, QueuedAlready)) {
    XEvent event;
    XNextEvent(display, &event);
    take(event);
  }
}

namespace {

std::string shownName(const char* name) {
  const char* shown = XDisplayName(name);
  return shown != nullptr && *shown != '\0' ? shown : "(DISPLAY is not set)";
}

}  // namespace

DisplayConnection openDisplay(const char* name) {
  int major = XkbMajorVersion, minor = XkbMinorVersion, error = 0, reason = 0;
  DisplayConnection display(XkbOpenDisplay(name, nullptr, &error, &major, &minor, &reason));
  if (display) return display;
  if (reason == XkbOD_ConnectionRefused)
    throw std::runtime_error("cannot open the X display " + shownName(name));
  throw std::runtime_error("the X display " + shownName(name) + " has no usable XKB extension");
}

}  // namespace blinkolux
