// SPDX-License-Identifier: MIT
#include "lamps/x11/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdio>
#include <string>

namespace blinkolux {

namespace {

struct FreeKeymap {
  void operator()(XkbDescPtr keymap) const { XkbFreeKeyboard(keymap, 0, True); }
};

// The first key that carries `keysym` at any level, or 0.
unsigned keycodeOf(XkbDescPtr xkb, KeySym keysym) {
  for (unsigned key = xkb->min_key_code; key <= xkb->max_key_code; ++key) {
    const KeySym* syms = XkbKeySymsPtr(xkb, key);
    for (int i = 0; i < XkbKeyNumSyms(xkb, key); ++i)
      if (syms[i] == keysym) return key;
  }
  return 0;
}

}  // namespace

X11Keyboard::X11Keyboard(const char* name)
    : display_(openDisplay(name)),
      routes_{
          {{Lamp::Num, XK_Num_Lock}, {Lamp::Caps, XK_Caps_Lock}, {Lamp::Scroll, XK_Scroll_Lock}}} {
  Display* display = display_.get();
  XkbQueryExtension(display, nullptr, &xkbEventBase_, nullptr, nullptr, nullptr);
  constexpr unsigned kKeymapEvents =
      XkbNewKeyboardNotifyMask | XkbMapNotifyMask | XkbIndicatorMapNotifyMask;
  XkbSelectEvents(display, XkbUseCoreKbd, kKeymapEvents, kKeymapEvents);
  XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierLockMask,
                        XkbModifierLockMask);
  scrollIndicator_ = XInternAtom(display, "Scroll Lock", False);
  findRoutes();
  fetchState();
}

// How each lamp is reached on the current keymap.
void X11Keyboard::findRoutes() {
  const std::array<Route, 3> before = routes_;
  const std::unique_ptr<XkbDescRec, FreeKeymap> keymap(
      XkbGetMap(display_.get(), XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd));
  for (Route& route : routes_) {
    const char* reason = findWay(route, keymap.get());
    if (reason != nullptr && !route.named)
      std::fprintf(stderr, "blinkolux: cannot drive the %s lamp: %s\n",
                   std::string(name(route.lamp)).c_str(), reason);
    route.named = route.named || reason != nullptr;
  }
  releaseMoved(before);
  unsigned indicators = 0;
  for (const Route& route : routes_)
    if (route.way == Way::Indicator) indicators |= route.indicator;
  // Only the indicators we drive: the others follow the locks, whose own events we take.
  XkbSelectEventDetails(display_.get(), XkbUseCoreKbd, XkbIndicatorStateNotify,
                        XkbAllIndicatorsMask, indicators);
}

const char* X11Keyboard::findWay(Route& route, XkbDescPtr xkb) {
  route.way = Way::Unreachable;
  const unsigned keycode = xkb != nullptr ? keycodeOf(xkb, route.keysym) : 0;
  if (route.lamp == Lamp::Caps) {
    route.way = Way::Lock;
    route.mask = LockMask;
    return nullptr;
  }
  if (keycode != 0 && xkb->map->modmap[keycode] != 0) {
    route.way = Way::Lock;
    route.mask = xkb->map->modmap[keycode];
    return nullptr;
  }
  if (route.lamp == Lamp::Num)
    return keycode == 0 ? "the keymap has no Num_Lock key" : "its key sets no modifier";
  int index = 0;
  Bool on = False, real = False;
  XkbIndicatorMapRec map{};
  if (XkbGetNamedIndicator(display_.get(), scrollIndicator_, &index, &on, &map, &real) == False ||
      real == False)
    return "the keymap has no \"Scroll Lock\" indicator";
  if ((map.flags & XkbIM_NoExplicit) != 0) return "its indicator takes no orders from programs";
  if (map.which_groups != 0 || (map.which_mods != 0 && map.mods.mask != 0) || map.ctrls != 0)
    return "its indicator also follows the keyboard's group, modifiers or controls";
  route.way = Way::Indicator;
  route.indicator = 1U << index;
  return nullptr;
}

// A lamp reached another way than before, or not at all, is first released where we lit it: a
// layout switched to meanwhile may give its old modifier a meaning of its own (Mod3 types level 5
// in Neo).
void X11Keyboard::releaseMoved(const std::array<Route, 3>& before) {
  unsigned unlock = 0;
  for (std::size_t i = 0; i < routes_.size(); ++i) {
    const Route& old = before[i];
    Route& route = routes_[i];
    const bool moved =
        old.way != route.way ||
        (route.way == Way::Lock ? old.mask != route.mask : old.indicator != route.indicator);
    if (!moved || !old.litByUs) continue;
    if (old.way == Way::Lock) unlock |= old.mask;
    if (old.way == Way::Indicator)
      XkbSetNamedIndicator(display_.get(), scrollIndicator_, True, False, False, nullptr);
    route.litByUs = false;
  }
  for (const Route& route : routes_)
    if (route.way == Way::Lock) unlock &= ~route.mask;
  if (unlock != 0) XkbLockModifiers(display_.get(), XkbUseCoreKbd, unlock, 0);
}

// Asks the server, and forgets the writes it has handled since.
void X11Keyboard::fetchState() {
  XkbStateRec state{};
  lockSerial_ = NextRequest(display_.get());
  XkbGetState(display_.get(), XkbUseCoreKbd, &state);
  locked_ = state.locked_mods;
  indicatorSerial_ = NextRequest(display_.get());
  XkbGetIndicatorState(display_.get(), XkbUseCoreKbd, &indicators_);
  for (Route& route : routes_)
    if (route.serial != 0 && route.serial < lockSerial_) route.wanted.reset();
}

// Takes what the server has reported, without waiting and without flushing writes held back. An
// event's serial is that of the last request of ours the server had handled when it sent it: a
// write is reported once an event of its kind comes with a serial at least its own (a write that
// changed nothing brings no event, but then the server's state is what we wrote until the next
// one). Events older than the last fetch are stale.
void X11Keyboard::takeEvents() {
  bool remapped = false;
  takeArrivedEvents(display_.get(), [&](const XEvent& event) {
    if (event.type != xkbEventBase_) {
      remapped = remapped || event.type == MappingNotify;
      return;
    }
    const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
    Way reported = Way::Unreachable;
    if (xkb.any.xkb_type == XkbStateNotify && xkb.any.serial >= lockSerial_) {
      locked_ = xkb.state.locked_mods;
      reported = Way::Lock;
    } else if (xkb.any.xkb_type == XkbIndicatorStateNotify && xkb.any.serial >= indicatorSerial_) {
      indicators_ = xkb.indicators.state;
      reported = Way::Indicator;
    } else if (xkb.any.xkb_type != XkbStateNotify && xkb.any.xkb_type != XkbIndicatorStateNotify) {
      remapped = true;  // a new keymap, or new indicator maps
    }
    for (Route& route : routes_)
      if (route.way == reported && route.serial != 0 && route.serial <= xkb.any.serial)
        route.wanted.reset();
  });
  if (remapped) {
    findRoutes();
    fetchState();
  }
}

bool X11Keyboard::shows(const Route& route) const {
  if (route.way == Way::Unreachable) return false;
  if (route.wanted) return *route.wanted;
  return route.way == Way::Lock ? (locked_ & route.mask) != 0
                                : (indicators_ & route.indicator) != 0;
}

// A read used to be a query of the server. Here it is the state the server last reported with
// our own writes under way laid over: it differs from a query only by a change still on its way
// from the server, which a query made a moment earlier would have missed as well. The events are
// taken at a handler's first read; its later reads come microseconds after.
bool X11Keyboard::read(Lamp lamp) {
  if (!eventsTaken_) takeEvents();
  eventsTaken_ = true;
  return shows(routes_[index(lamp)]);
}

void X11Keyboard::write(Lamp lamp, bool on) {
  Route& route = routes_[index(lamp)];
  if (route.way == Way::Unreachable) return;
  route.wanted = on;
  route.serial = 0;
}

// The fetch comes first: the events it brings along include any keymap change made before it.
void X11Keyboard::refresh() {
  fetchState();
  takeEvents();
}

Lamps X11Keyboard::driven() {
  Lamps driven{};
  for (const Route& route : routes_)
    driven[index(route.lamp)] = route.way != Way::Unreachable;
  return driven;
}

void X11Keyboard::commit() {
  Display* display = display_.get();
  unsigned affect = 0, values = 0;
  const unsigned long lockRequest = NextRequest(display);
  for (Route& route : routes_) {
    if (!route.wanted || route.serial != 0 || route.way != Way::Lock) continue;
    affect |= route.mask;
    if (*route.wanted) values |= route.mask;
    route.serial = lockRequest;
    route.litByUs = *route.wanted;
  }
  if (affect != 0) XkbLockModifiers(display, XkbUseCoreKbd, affect, values);
  for (Route& route : routes_) {
    if (!route.wanted || route.serial != 0 || route.way != Way::Indicator) continue;
    route.serial = NextRequest(display);
    route.litByUs = *route.wanted;
    XkbSetNamedIndicator(display, scrollIndicator_, True, *route.wanted ? True : False, False,
                         nullptr);
  }
  XFlush(display);  // also what others queued to go with the step (the window's mirror)
  eventsTaken_ = false;
}

}  // namespace blinkolux
