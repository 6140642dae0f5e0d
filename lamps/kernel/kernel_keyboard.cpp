// SPDX-License-Identifier: MIT
#include "lamps/kernel/kernel_keyboard.h"

#include <systemd/sd-bus.h>
#include <systemd/sd-device.h>
#include <systemd/sd-event.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "lamps/kernel/kernel_events.h"
#include "lamps/kernel/led_files.h"
#include "lamps/kernel/logind_session.h"

namespace blinkolux {

namespace {

// logind starts a process for every request: one request per LED a frame is all a lamp can show.
constexpr long long kRequestSpacing = 16;  // ms

long long millisecondsNow() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

KernelKeyboard::KernelKeyboard() : session_(std::make_unique<LogindSession>()) {
  sd_event* event = nullptr;
  if (const int error = sd_event_new(&event); error < 0)
    throw sdFailure("cannot watch the keyboard lamps", error);
  event_.reset(event);
  findSeat();
  findLeds();
  // Keyboards plugged in or removed, and the session leaving the foreground, are taken before
  // each handler's first read: they wake nothing of their own.
  watchPlugging();
  if (session_->found()) {
    session_->attach(event_.get(), [this] { sessionStale_ = true; });
    followSession(session_->active());
  }
}

KernelKeyboard::~KernelKeyboard() = default;

KernelKeyboard::Led* KernelKeyboard::find(const std::string& name) {
  for (const auto& led : leds_)
    if (led->name == name) return led.get();
  return nullptr;
}

void KernelKeyboard::warnOnce(bool& warned, const std::string& message) {
  if (!warned) std::fprintf(stderr, "blinkolux: %s\n", message.c_str());
  warned = true;
}

// What came from logind and udev meanwhile: for a few milliseconds at most, so that a flood of
// messages from elsewhere on the bus never holds the lamps up.
void KernelKeyboard::takeEvents() {
  const long long until = millisecondsNow() + 5;
  while (millisecondsNow() < until && sd_event_run(event_.get(), 0) > 0) {
  }
  if (sessionStale_ && session_->found()) followSession(session_->active());
  sessionStale_ = false;
}

bool KernelKeyboard::read(Lamp lamp) {
  if (!stateTaken_) takeState();
  stateTaken_ = true;
  return shown_[index(lamp)];
}

void KernelKeyboard::commit() {
  stateTaken_ = false;
  sendDue();
}

bool KernelKeyboard::save(Lamp lamp, bool on) {
  const bool changed = saved_[index(lamp)] != on;
  saved_[index(lamp)] = on;
  return changed;
}

// The compositor's word on Num and Caps, where it has one now.
bool KernelKeyboard::takeCompositorLocks() {
  const auto locks = compositorLocks ? compositorLocks() : std::nullopt;
  if (!locks) return false;
  const bool num = save(Lamp::Num, locks->num);
  return save(Lamp::Caps, locks->caps) || num;
}

// What happened since the last handler, and the lamps as the kernel shows them now: the first
// keyboard's LED file for each lamp, read once.
void KernelKeyboard::takeState() {
  takeEvents();
  sendDue();
  std::array<Led*, 3> first{};
  for (const auto& led : leds_)
    if (first[index(led->lamp)] == nullptr) first[index(led->lamp)] = led.get();
  shown_ = wanted_;  // our own request on its way shows as done, as it will be
  bool pressed = false;
  for (Led* led : first) {
    if (led == nullptr || led->pending()) continue;
    const bool lit = sysfs::lit(led->syspath);
    // The user pressed a lock key, and the compositor rewrote all lamps.
    pressed = pressed || (active_ && led->known && *led->known != lit);
    led->known = shown_[index(led->lamp)] = lit;
  }
  bool changed = false;
  for (Led* led : first) {
    if (!pressed || led == nullptr) continue;
    // Rewritten too where a request of ours is on its way: it shows the user's state until then.
    const bool lit = led->pending() ? sysfs::lit(led->syspath) : shown_[index(led->lamp)];
    changed = save(led->lamp, lit) || changed;
  }
  changed = takeCompositorLocks() || changed;
  if (changed && onRecordChanged) onRecordChanged();
}

void KernelKeyboard::write(Lamp lamp, bool on) {
  shown_[index(lamp)] = wanted_[index(lamp)] = on;
  if (!active_) return;  // written when the session comes back to the foreground
  for (const auto& led : leds_)
    if (led->lamp == lamp) setLed(*led, on);
}

void KernelKeyboard::setLed(Led& led, bool on) {
  if (!led.writable) {
    requestBrightness(led, on);
    return;
  }
  sysfs::writeFile(led.syspath + "/brightness", on ? "1" : "0");
  if (sysfs::lit(led.syspath) == on) {
    led.known = on;
    notSticking_ = 0;
  } else if (++notSticking_ >= 3) {
    warnOnce(warnedNotSticking_,
             "the keyboard lamps do not keep what is written to them (has another program "
             "grabbed the keyboard?)");
  }
}

// One request on its way per LED, and one per spacing; a newer value waits its turn, replacing
// an older one.
void KernelKeyboard::requestBrightness(Led& led, bool on) {
  const long long now = millisecondsNow();
  if (led.request != nullptr || now - led.askedAt < kRequestSpacing) {
    led.next = on;
    return;
  }
  led.next.reset();
  led.requested = on;
  led.askedAt = now;
  led.request = session_->requestBrightness(led.name, on, KernelKeyboardEvents::onAnswer, &led);
}

void KernelKeyboard::sendDue() {
  if (!active_) return;
  for (const auto& led : leds_)
    if (led->next) requestBrightness(*led, *led->next);
}

int KernelKeyboardEvents::onAnswer(sd_bus_message* answer, void* ledPointer,
                                   sd_bus_error* /*error*/) {
  auto& led = *static_cast<KernelKeyboard::Led*>(ledPointer);
  KernelKeyboard& keyboard = *led.keyboard;
  led.request.reset();
  const sd_bus_error* error = sd_bus_message_get_error(answer);
  if (error == nullptr) {
    led.known = led.requested;
  } else {
    // logind gives one error for "not in the foreground" and "not your seat": ask which.
    const bool active = keyboard.session_->active();
    if (active)
      KernelKeyboard::warnOnce(keyboard.warnedRefused_,
                               std::string("logind refused to set the keyboard lamps: ") +
                                   (error->message != nullptr ? error->message : error->name));
    keyboard.followSession(active);
  }
  keyboard.sendDue();
  return 0;
}

// Writes wait while the session is in the background; back in front, the lamps are set anew.
void KernelKeyboard::followSession(bool active) {
  if (active == active_) return;
  active_ = active;
  if (!active) {
    warnOnce(warnedInactive_, "this session is not in the foreground: the lamps wait until it is");
    return;
  }
  for (const auto& led : leds_) {
    led->known.reset();
    setLed(*led, wanted_[index(led->lamp)]);
  }
}

// A lamp that no keyboard on the seat has can't be shown.
Lamps KernelKeyboard::driven() {
  Lamps driven{};
  for (const auto& led : leds_)
    driven[index(led->lamp)] = true;
  return driven;
}

}  // namespace blinkolux
