#include "lamps/display_claim.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>

#include <string>

#include "lamps/x11_display.h"

namespace blinkolux {

DisplayClaim::DisplayClaim(const char* displayName)
    : display_(openDisplay(displayName)),
      saved_(XInternAtom(display_, "_BLINKOLUX_SAVED", False)) {}

DisplayClaim::~DisplayClaim() {
  XCloseDisplay(display_);  // frees the selection
}

bool DisplayClaim::claim() {
  const Atom selection = XInternAtom(display_, "BLINKOLUX", False);
  const Window root = DefaultRootWindow(display_);
  window_ = XCreateWindow(display_, root, -1, -1, 1, 1, 0, CopyFromParent, InputOnly, nullptr, 0,
                          nullptr);
  XGrabServer(display_);  // look and take in one step, should two copies start together
  const Window holder = XGetSelectionOwner(display_, selection);
  if (holder == None) XSetSelectionOwner(display_, selection, window_, CurrentTime);
  XUngrabServer(display_);
  XSync(display_, False);
  if (holder == None) return true;

  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display_, holder, XInternAtom(display_, "BLINKOLUX_WINDOW", False), 0, 1,
                     False, XA_WINDOW, &type, &format, &count, &left, &data);
  if (data != nullptr && count == 1) {
    const Window window = *reinterpret_cast<Window*>(data);
    XEvent activate{};
    activate.xclient.type = ClientMessage;
    activate.xclient.window = window;
    activate.xclient.message_type = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    activate.xclient.format = 32;
    activate.xclient.data.l[0] = 1;  // from an application
    XSendEvent(display_, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &activate);
    XMapRaised(display_, window);
    XSync(display_, False);
  }
  if (data != nullptr) XFree(data);
  return false;
}

void DisplayClaim::setMainWindow(unsigned long window) {
  XChangeProperty(display_, window_, XInternAtom(display_, "BLINKOLUX_WINDOW", False), XA_WINDOW,
                  32, PropModeReplace, reinterpret_cast<unsigned char*>(&window), 1);
  XFlush(display_);
}

bool DisplayClaim::isXWayland() {
  int opcode = 0, event = 0, error = 0;
  if (XQueryExtension(display_, "XWAYLAND", &opcode, &event, &error) != 0) return true;
  // Debian 12's Xwayland has no such extension, but names its input devices after itself.
  int count = 0;
  XDeviceInfo* devices = XListInputDevices(display_, &count);
  bool xwayland = false;
  for (int i = 0; i < count; ++i)
    xwayland = xwayland || std::string_view(devices[i].name).starts_with("xwayland-");
  if (devices != nullptr) XFreeDeviceList(devices);
  return xwayland;
}

std::optional<std::string> DisplayClaim::leftBehind(std::string_view kind) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display_, DefaultRootWindow(display_), saved_, 0, 1024, False, XA_STRING,
                     &type, &format, &count, &left, &data);
  const std::string record(reinterpret_cast<const char*>(data), data != nullptr ? count : 0);
  if (data != nullptr) XFree(data);
  // A record of another kind of keyboard is somebody else's business.
  const std::string prefix = std::string(kind) + ' ';
  if (type != XA_STRING || format != 8 || !record.starts_with(prefix)) return std::nullopt;
  return record.substr(prefix.size());
}

void DisplayClaim::keep(std::string_view kind, std::string_view lamps) {
  const std::string record = std::string(kind) + ' ' + std::string(lamps);
  XChangeProperty(display_, DefaultRootWindow(display_), saved_, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(record.data()),
                  static_cast<int>(record.size()));
  XSync(display_, False);
}

void DisplayClaim::forget() {
  XDeleteProperty(display_, DefaultRootWindow(display_), saved_);
  XSync(display_, False);
}

}  // namespace blinkolux
