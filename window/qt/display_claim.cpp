// SPDX-License-Identifier: MIT
#include "window/qt/display_claim.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace blinkolux {

DisplayClaim::DisplayClaim(const char* displayName)
    : display_(openDisplay(displayName)),
      saved_(XInternAtom(display_.get(), "_BLINKOLUX_SAVED", False)) {}

unsigned long DisplayClaim::take() {
  Display* display = display_.get();
  const Atom selection = XInternAtom(display, "BLINKOLUX", False);
  XGrabServer(display);  // look and take in one step, should two copies start together
  const Window holder = XGetSelectionOwner(display, selection);
  if (holder == None) XSetSelectionOwner(display, selection, window_, CurrentTime);
  XUngrabServer(display);
  XSync(display, False);
  return holder;
}

bool DisplayClaim::claim() {
  Display* display = display_.get();
  window_ = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, CopyFromParent,
                          InputOnly, nullptr, 0, nullptr);
  // A copy that is just starting names its window a moment after it takes the claim; one that
  // ends meanwhile leaves it free.
  for (int wait = 0; wait < 40; ++wait) {
    const Window holder = take();
    if (holder == None) return true;
    if (const auto window = runningCopysWindow(holder)) {
      raise(*window);
      return false;
    }
    usleep(50'000);
  }
  throw std::runtime_error(
      "another program holds Blinkolux's claim on this display (the BLINKOLUX selection)");
}

// The window the holder names, where it is a running Blinkolux's.
std::optional<unsigned long> DisplayClaim::runningCopysWindow(unsigned long holder) {
  Display* display = display_.get();
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, holder, XInternAtom(display, "BLINKOLUX_WINDOW", False), 0, 1, False,
                     XA_WINDOW, &type, &format, &count, &left, &data);
  const XData<unsigned char> owned(data);
  const auto window = oneWindow(type, format, count, data);
  XClassHint hint{};
  if (!window || XGetClassHint(display, *window, &hint) == 0) return std::nullopt;
  const XData<char> name(hint.res_name);
  const XData<char> windowClass(hint.res_class);
  if (windowClass == nullptr || std::string_view(windowClass.get()) != "blinkolux")
    return std::nullopt;
  return window;
}

void DisplayClaim::raise(unsigned long window) {
  Display* display = display_.get();
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
  constexpr long kLongest = 64 * 1024 / 4;  // in 32-bit units
  XGetWindowProperty(display_.get(), DefaultRootWindow(display_.get()), saved_, 0, kLongest, False,
                     XA_STRING, &type, &format, &count, &left, &data);
  const XData<unsigned char> owned(data);
  if (left != 0) return std::nullopt;
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
