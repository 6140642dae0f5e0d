#include "lamps/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdio>

#include "lamps/x11_display.h"

namespace blinkolux {

namespace {

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
      lamps_{{{kNumLock, XK_Num_Lock, "Num Lock"},
              {kCapsLock, XK_Caps_Lock, "Caps Lock"},
              {kScrollLock, XK_Scroll_Lock, "Scroll Lock"}}} {
  XkbQueryExtension(display_, nullptr, &xkbEventBase_, nullptr, nullptr, nullptr);
  constexpr unsigned kKeymapEvents =
      XkbNewKeyboardNotifyMask | XkbMapNotifyMask | XkbIndicatorMapNotifyMask;
  XkbSelectEvents(display_, XkbUseCoreKbd, kKeymapEvents, kKeymapEvents);
  XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbStateNotify, XkbModifierLockMask,
                        XkbModifierLockMask);
  scrollIndicator_ = XInternAtom(display_, "Scroll Lock", False);
  findLamps();
  fetchState();
}

X11Keyboard::~X11Keyboard() {
  XCloseDisplay(display_);  // sends what is still buffered
}

// How each lamp is reached on the current keymap. A lamp reached another way than before, or
// not at all, is first released where we lit it: a layout switched to meanwhile may give its old
// modifier a meaning of its own (Mod3 types level 5 in Neo).
void X11Keyboard::findLamps() {
  const std::array<Lamp, 3> before = lamps_;
  XkbDescPtr xkb = XkbGetMap(display_, XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
  for (Lamp& lamp : lamps_) {
    lamp.way = Way::Unreachable;
    const char* reason = nullptr;
    const unsigned keycode = xkb != nullptr ? keycodeOf(xkb, lamp.keysym) : 0;
    if (lamp.key == kCapsLock) {
      lamp.way = Way::Lock;
      lamp.mask = LockMask;
    } else if (keycode != 0 && xkb->map->modmap[keycode] != 0) {
      lamp.way = Way::Lock;
      lamp.mask = xkb->map->modmap[keycode];
    } else if (lamp.key == kNumLock) {
      reason = keycode == 0 ? "the keymap has no Num_Lock key" : "its key sets no modifier";
    } else {
      int index = 0;
      Bool on = False, real = False;
      XkbIndicatorMapRec map{};
      if (XkbGetNamedIndicator(display_, scrollIndicator_, &index, &on, &map, &real) == False ||
          real == False)
        reason = "the keymap has no \"Scroll Lock\" indicator";
      else if ((map.flags & XkbIM_NoExplicit) != 0)
        reason = "its indicator takes no orders from programs";
      else if (map.which_groups != 0 || (map.which_mods != 0 && map.mods.mask != 0) ||
               map.ctrls != 0)
        reason = "its indicator also follows the keyboard's group, modifiers or controls";
      else {
        lamp.way = Way::Indicator;
        lamp.indicator = 1U << index;
      }
    }
    if (reason != nullptr && !lamp.named) {
      std::fprintf(stderr, "blinkolux: cannot drive the %s lamp: %s\n", lamp.name, reason);
      lamp.named = true;
    }
  }
  if (xkb != nullptr) XkbFreeKeyboard(xkb, 0, True);

  unsigned unlock = 0;
  for (std::size_t i = 0; i < lamps_.size(); ++i) {
    const Lamp& old = before[i];
    Lamp& lamp = lamps_[i];
    const bool moved =
        old.way != lamp.way ||
        (lamp.way == Way::Lock ? old.mask != lamp.mask : old.indicator != lamp.indicator);
    if (!moved || !old.litByUs) continue;
    if (old.way == Way::Lock) unlock |= old.mask;
    if (old.way == Way::Indicator)
      XkbSetNamedIndicator(display_, scrollIndicator_, True, False, False, nullptr);
    lamp.litByUs = false;
  }
  unsigned indicators = 0;
  for (const Lamp& lamp : lamps_) {
    if (lamp.way == Way::Lock) unlock &= ~lamp.mask;
    if (lamp.way == Way::Indicator) indicators |= lamp.indicator;
  }
  if (unlock != 0) XkbLockModifiers(display_, XkbUseCoreKbd, unlock, 0);
  // Only the indicators we drive: the others follow the locks, whose own events we take.
  XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbIndicatorStateNotify, XkbAllIndicatorsMask,
                        indicators);
}

// Asks the server, and forgets the writes it has handled since.
void X11Keyboard::fetchState() {
  XkbStateRec state{};
  lockSerial_ = NextRequest(display_);
  XkbGetState(display_, XkbUseCoreKbd, &state);
  locked_ = state.locked_mods;
  indicatorSerial_ = NextRequest(display_);
  XkbGetIndicatorState(display_, XkbUseCoreKbd, &indicators_);
  for (Lamp& lamp : lamps_)
    if (lamp.serial != 0 && lamp.serial < lockSerial_) lamp.wanted.reset();
}

// Takes what the server has reported, without waiting and without flushing writes held back. An
// event's serial is that of the last request of ours the server had handled when it sent it: a
// write is reported once an event of its kind comes with a serial at least its own (a write that
// changed nothing brings no event, but then the server's state is what we wrote until the next
// one). Events older than the last fetch are stale.
void X11Keyboard::takeEvents() {
  bool remapped = false;
  while (XEventsQueued(display_, QueuedAfterReading) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type != xkbEventBase_) {
      remapped = remapped || event.type == MappingNotify;
      continue;
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
    for (Lamp& lamp : lamps_)
      if (lamp.way == reported && lamp.serial != 0 && lamp.serial <= xkb.any.serial)
        lamp.wanted.reset();
  }
  if (remapped) {
    findLamps();
    fetchState();
  }
}

bool X11Keyboard::shows(const Lamp& lamp) const {
  if (lamp.way == Way::Unreachable) return false;
  if (lamp.wanted) return *lamp.wanted;
  return lamp.way == Way::Lock ? (locked_ & lamp.mask) != 0 : (indicators_ & lamp.indicator) != 0;
}

void X11Keyboard::want(Lamp& lamp, bool on) {
  if (lamp.way == Way::Unreachable) return;
  lamp.wanted = on;
  lamp.serial = 0;
}

// A read used to be a query of the server. Here it is the state the server last reported with
// our own writes under way laid over: it differs from a query only by a change still on its way
// from the server, which a query made a moment earlier would have missed as well. The events are
// taken at a handler's first read; its later reads come microseconds after.
void X11Keyboard::readState(KeyboardState& state) {
  if (!eventsTaken_) takeEvents();
  eventsTaken_ = true;
  state.fill(0);
  for (const Lamp& lamp : lamps_)
    state[lamp.key] = shows(lamp) ? 1 : 0;
}

void X11Keyboard::writeState(const KeyboardState& state) {
  for (Lamp& lamp : lamps_)
    if (shows(lamp) != ((state[lamp.key] & 1) != 0)) want(lamp, !shows(lamp));
}

// A press toggles the lock from the state read just before, as lamp access always reads first.
void X11Keyboard::keyEvent(std::uint8_t key, std::uint8_t /*scanCode*/, std::uint32_t flags) {
  if ((flags & kKeyUp) != 0) return;
  for (Lamp& lamp : lamps_)
    if (lamp.key == key) want(lamp, !shows(lamp));
}

// The fetch comes first: the events it brings along include any keymap change made before it.
void X11Keyboard::refresh() {
  fetchState();
  takeEvents();
}

Lamps X11Keyboard::driven() {
  return {lamps_[0].way != Way::Unreachable, lamps_[1].way != Way::Unreachable,
          lamps_[2].way != Way::Unreachable};
}

void X11Keyboard::commit() {
  unsigned affect = 0, values = 0;
  const unsigned long lockRequest = NextRequest(display_);
  for (Lamp& lamp : lamps_) {
    if (!lamp.wanted || lamp.serial != 0 || lamp.way != Way::Lock) continue;
    affect |= lamp.mask;
    if (*lamp.wanted) values |= lamp.mask;
    lamp.serial = lockRequest;
    lamp.litByUs = *lamp.wanted;
  }
  if (affect != 0) XkbLockModifiers(display_, XkbUseCoreKbd, affect, values);
  bool sent = affect != 0;
  for (Lamp& lamp : lamps_) {
    if (!lamp.wanted || lamp.serial != 0 || lamp.way != Way::Indicator) continue;
    lamp.serial = NextRequest(display_);
    lamp.litByUs = *lamp.wanted;
    XkbSetNamedIndicator(display_, scrollIndicator_, True, *lamp.wanted ? True : False, False,
                         nullptr);
    sent = true;
  }
  if (sent) XFlush(display_);
  eventsTaken_ = false;
}

}  // namespace blinkolux
