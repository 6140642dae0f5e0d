#include "lamps/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace blinkolux {

namespace {

int modifierOf(const XModifierKeymap* map, KeyCode keycode) {
  for (int mod = 0; mod < 8; ++mod)
    for (int i = 0; i < map->max_keypermod; ++i)
      if (map->modifiermap[mod * map->max_keypermod + i] == keycode) return mod;
  return -1;
}

int freeModifier(const XModifierKeymap* map) {
  for (int mod = Mod1MapIndex; mod <= Mod5MapIndex; ++mod) {
    bool used = false;
    for (int i = 0; i < map->max_keypermod; ++i)
      used = used || map->modifiermap[mod * map->max_keypermod + i] != 0;
    if (!used) return mod;
  }
  return -1;
}

// The server refuses a new modifier map while one of its keys is down; wait for the release.
void setModifierMapping(Display* display, XModifierKeymap* map) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (XSetModifierMapping(display, map) != MappingBusy) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// The lamps belong to the X server: once it is gone there is nothing left to put back.
int displayLost(Display* /*display*/) {
  constexpr std::string_view kMessage = "blinkolux: lost the connection to the X display\n";
  (void)!write(STDERR_FILENO, kMessage.data(), kMessage.size());
  _exit(1);
}

std::string displayName(const char* name) {
  const char* shown = XDisplayName(name);
  return shown != nullptr && *shown != '\0' ? shown : "(DISPLAY is not set)";
}

}  // namespace

X11Keyboard::X11Keyboard(const char* name)
    : locks_{{{kNumLock, XK_Num_Lock}, {kCapsLock, XK_Caps_Lock}, {kScrollLock, XK_Scroll_Lock}}} {
  int major = XkbMajorVersion, minor = XkbMinorVersion, error = 0, reason = 0;
  display_ = XkbOpenDisplay(name, &xkbEventBase_, &error, &major, &minor, &reason);
  if (display_ == nullptr) {
    if (reason == XkbOD_ConnectionRefused)
      throw std::runtime_error("cannot open the X display " + displayName(name));
    throw std::runtime_error("the X display " + displayName(name) + " has no usable XKB extension");
  }
  XSetIOErrorHandler(displayLost);
  locks_[1].mask = LockMask;
  XkbSelectEvents(display_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                  XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
  bindLocks();
}

X11Keyboard::~X11Keyboard() {
  unbindLocks();
  if (claim_ != 0) XDestroyWindow(display_, claim_);
  XCloseDisplay(display_);
}

bool X11Keyboard::isXWayland() const {
  int opcode = 0, event = 0, error = 0;
  return XQueryExtension(display_, "XWAYLAND", &opcode, &event, &error) != 0;
}

bool X11Keyboard::claimDisplay() {
  const Atom selection = XInternAtom(display_, "BLINKOLUX", False);
  const Window root = DefaultRootWindow(display_);
  claim_ = XCreateWindow(display_, root, -1, -1, 1, 1, 0, CopyFromParent, InputOnly, nullptr, 0,
                         nullptr);
  XGrabServer(display_);  // look and take in one step, should two copies start together
  const Window holder = XGetSelectionOwner(display_, selection);
  if (holder == None) XSetSelectionOwner(display_, selection, claim_, CurrentTime);
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

void X11Keyboard::setMainWindow(unsigned long window) {
  XChangeProperty(display_, claim_, XInternAtom(display_, "BLINKOLUX_WINDOW", False), XA_WINDOW, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&window), 1);
  XFlush(display_);
}

void X11Keyboard::bindLocks() {
  XModifierKeymap* map = XGetModifierMapping(display_);
  bool changed = false;
  for (Lock& lock : locks_) {
    if (lock.key == kCapsLock) continue;  // always the core Lock modifier
    lock.keycode = XKeysymToKeycode(display_, lock.keysym);
    int mod = lock.keycode != 0 ? modifierOf(map, lock.keycode) : -1;
    if (mod != lock.ourModifier) lock.ourModifier = -1;  // the keymap's own binding, not ours
    if (mod < 0 && lock.keycode != 0 && (mod = freeModifier(map)) >= 0) {
      map = XInsertModifiermapEntry(map, lock.keycode, mod);
      lock.ourModifier = mod;
      changed = true;
    }
    lock.mask = mod >= 0 ? 1U << mod : 0;
  }
  if (changed) setModifierMapping(display_, map);
  XFreeModifiermap(map);
}

// Undoes our bindings, unlocking them first, and leaves every other binding (a layout switched
// to meanwhile included) as it is.
void X11Keyboard::unbindLocks() {
  XModifierKeymap* map = XGetModifierMapping(display_);
  bool changed = false;
  for (Lock& lock : locks_) {
    if (lock.ourModifier < 0 || modifierOf(map, lock.keycode) != lock.ourModifier) continue;
    XkbLockModifiers(display_, XkbUseCoreKbd, lock.mask, 0);
    map = XDeleteModifiermapEntry(map, lock.keycode, lock.ourModifier);
    changed = true;
  }
  if (changed) setModifierMapping(display_, map);
  XFreeModifiermap(map);
  XSync(display_, False);
}

// A replaced keymap may have dropped our binding: bind again.
void X11Keyboard::handleEvents() {
  bool remapped = false;
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == MappingNotify) {
      XRefreshKeyboardMapping(&event.xmapping);
      remapped = true;
    } else if (event.type == xkbEventBase_) {
      remapped = true;
    }
  }
  if (remapped) bindLocks();
}

X11Keyboard::Lock* X11Keyboard::lockFor(int key) {
  for (Lock& lock : locks_)
    if (lock.key == key) return &lock;
  return nullptr;
}

void X11Keyboard::readState(KeyboardState& state) {
  handleEvents();
  XkbStateRec xkb{};
  XkbGetState(display_, XkbUseCoreKbd, &xkb);
  lastLocked_ = xkb.locked_mods;
  state.fill(0);
  for (const Lock& lock : locks_)
    state[lock.key] = (lastLocked_ & lock.mask) != 0 ? 1 : 0;
}

void X11Keyboard::writeState(const KeyboardState& state) {
  unsigned affect = 0, values = 0;
  for (const Lock& lock : locks_) {
    affect |= lock.mask;
    if ((state[lock.key] & 1) != 0) values |= lock.mask;
  }
  XkbLockModifiers(display_, XkbUseCoreKbd, affect, values);
  XFlush(display_);
}

// A press toggles the lock from the state read just before, as lamp access always reads first.
void X11Keyboard::keyEvent(std::uint8_t key, std::uint8_t /*scanCode*/, std::uint32_t flags) {
  const Lock* lock = lockFor(key);
  if ((flags & kKeyUp) != 0 || lock == nullptr || lock->mask == 0) return;
  lastLocked_ ^= lock->mask;
  XkbLockModifiers(display_, XkbUseCoreKbd, lock->mask, lastLocked_ & lock->mask);
  XFlush(display_);
}

}  // namespace blinkolux
