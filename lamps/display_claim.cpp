#include "lamps/display_claim.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

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

std::optional<Lamps> DisplayClaim::leftBehind(std::string_view kind) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display_, DefaultRootWindow(display_), saved_, 0, 16, False, XA_STRING, &type,
                     &format, &count, &left, &data);
  const std::string record(reinterpret_cast<const char*>(data), data != nullptr ? count : 0);
  if (data != nullptr) XFree(data);
  // Anything but a well-formed record of our own kind is somebody else's business.
  const std::string prefix = std::string(kind) + ' ';
  if (type != XA_STRING || format != 8 || record.size() != prefix.size() + 3 ||
      !record.starts_with(prefix))
    return std::nullopt;
  const std::string_view shown = std::string_view(record).substr(prefix.size());
  if (pattern(lamps(shown)) != shown) return std::nullopt;
  return lamps(shown);
}

void DisplayClaim::keep(std::string_view kind, const Lamps& lamps) {
  const std::string record = std::string(kind) + ' ' + pattern(lamps);
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
