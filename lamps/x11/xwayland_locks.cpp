// SPDX-License-Identifier: MIT
#include "lamps/x11/xwayland_locks.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace blinkolux {

XwaylandLocks::XwaylandLocks(const char* displayName) : display_(openDisplay(displayName)) {
  Display* display = display_.get();
  XkbQueryExtension(display, nullptr, &xkbEventBase_, nullptr, nullptr, nullptr);
  XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierLockMask,
                        XkbModifierLockMask);
  // The root hears of the focus coming from or going to no X window at all; moves between X
  // windows don't concern it.
  XSelectInput(display, DefaultRootWindow(display), FocusChangeMask);
  numMask_ = XkbKeysymToModifiers(display, XK_Num_Lock);
  fetch();
}

// Asks Xwayland. The compositor sends its modifiers right after the focus: by the time Xwayland
// answers, it has taken them.
void XwaylandLocks::fetch() {
  Window focus = None;
  int revertTo = 0;
  XGetInputFocus(display_.get(), &focus, &revertTo);
  focused_ = focus != None && focus != PointerRoot;
  XkbStateRec state{};
  XkbGetState(display_.get(), XkbUseCoreKbd, &state);
  locked_ = state.locked_mods;
}

std::optional<NumAndCaps> XwaylandLocks::current() {
  bool focusMoved = false;
  takeArrivedEvents(display_.get(), [&](const XEvent& event) {
    if (event.type == FocusIn || event.type == FocusOut) focusMoved = true;
    if (event.type == xkbEventBase_ &&
        reinterpret_cast<const XkbEvent&>(event).any.xkb_type == XkbStateNotify)
      locked_ = reinterpret_cast<const XkbEvent&>(event).state.locked_mods;
  });
  if (focusMoved) fetch();
  if (!focused_) return std::nullopt;
  return NumAndCaps{numMask_ != 0 && (locked_ & numMask_) != 0, (locked_ & LockMask) != 0};
}

}  // namespace blinkolux
