// SPDX-License-Identifier: MIT
#include "window/qt/display_claim.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>

namespace blinkolux {

DisplayClaim::DisplayClaim(const char* displayName)
    : display_(openDisplay(displayName)),
      saved_(XInternAtom(display_.get(), "_BLINKOLUX_SAVED", False)) {}

bool DisplayClaim::claim() {
  Display* display = display_.get();
  const Atom selection = XInternAtom(display, "BLINKOLUX", False);
  window_ = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, CopyFromParent,
                          InputOnly, nullptr, 0, nullptr);
  XGrabServer(display);  // look and take in one step, should two copies start together
  const Window holder = XGetSelectionOwner(display, selection);
  if (holder == None) XSetSelectionOwner(display, selection, window_, CurrentTime);
  XUngrabServer(display);
  XSync(display, False);
  if (holder == None) return true;
  raise(holder);
  return false;
}

// The running copy's window, as its holder of the selection names it.
void DisplayClaim::raise(unsigned long holder) {
  Display* display = display_.get();
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, holder, XInternAtom(display, "BLINKOLUX_WINDOW", False), 0, 1, False,
                     XA_WINDOW, &type, &format, &count, &left, &data);
  const XData<unsigned char> owned(data);
  if (data == nullptr || count != 1) return;
  const Window window = *reinterpret_cast<Window*>(data);
  XEvent activate{};
  activate.xclient.type = ClientMessage;
  activate.xclient.window = window;
  activate.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  activate.xclient.format = 32;
  activate.xclient.data.l[0] = 1;  // from an application
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &activate);
  XMapRaised(display, window);
  XSync(display, False);
}

void DisplayClaim::setMainWindow(unsigned long window) {
  XChangeProperty(display_.get(), window_, XInternAtom(display_.get(), "BLINKOLUX_WINDOW", False),
                  XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&window), 1);
  XFlush(display_.get());
}

std::optional<std::string> DisplayClaim::leftBehind(std::string_view kind) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display_.get(), DefaultRootWindow(display_.get()), saved_, 0, 1024, False,
                     XA_STRING, &type, &format, &count, &left, &data);
  const XData<unsigned char> owned(data);
  const std::string record(reinterpret_cast<const char*>(data), data != nullptr ? count : 0);
  // A record of another kind of keyboard is somebody else's business.
  const std::string prefix = std::string(kind) + ' ';
  if (type != XA_STRING || format != 8 || !record.starts_with(prefix)) return std::nullopt;
  return record.substr(prefix.size());
}

void DisplayClaim::keep(std::string_view kind, std::string_view lamps) {
  const std::string record = std::string(kind) + ' ' + std::string(lamps);
  XChangeProperty(display_.get(), DefaultRootWindow(display_.get()), saved_, XA_STRING, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(record.data()),
                  static_cast<int>(record.size()));
  XSync(display_.get(), False);
}

void DisplayClaim::forget() {
  XDeleteProperty(display_.get(), DefaultRootWindow(display_.get()), saved_);
  XSync(display_.get(), False);
}

}  // namespace blinkolux
