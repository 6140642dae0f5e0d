#include "lamps/kernel_keyboard.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-device.h>
#include <systemd/sd-event.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace blinkolux {

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kSession = "/org/freedesktop/login1/session/auto";
constexpr const char* kSessionInterface = "org.freedesktop.login1.Session";
constexpr std::array<std::string_view, 3> kSuffixes{"::numlock", "::capslock", "::scrolllock"};

// sysfs, read and written as it is: sd-device would answer from its cache.
std::optional<std::string> readFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::array<char, 4096> buffer{};
  const ssize_t n = read(fd, buffer.data(), buffer.size());
  close(fd);
  if (n < 0) return std::nullopt;
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

bool writeFile(const std::string& path, std::string_view text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return written;
}

bool writable(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd >= 0) close(fd);
  return fd >= 0;
}

bool lit(const std::string& syspath) {
  const auto text = readFile(syspath + "/brightness");
  return text && !text->empty() && text->front() != '0';
}

// "none kbd-scrolllock [kbd-numlock] ...": the one in brackets.
std::string activeTrigger(const std::string& triggers) {
  const auto open = triggers.find('[');
  const auto close = triggers.find(']', open);
  if (open == std::string::npos || close == std::string::npos) return "none";
  return triggers.substr(open + 1, close - open - 1);
}

std::string seatOf(sd_device* device) {
  const char* seat = nullptr;
  sd_device* parent = nullptr;
  if (sd_device_get_property_value(device, "ID_SEAT", &seat) < 0 &&
      sd_device_get_parent(device, &parent) >= 0)
    sd_device_get_property_value(parent, "ID_SEAT", &seat);
  return seat != nullptr && *seat != '\0' ? seat : "seat0";
}

}  // namespace

KernelKeyboard::KernelKeyboard() {
  sd_event_new(&event_);
  bool session = false;
  if (sd_bus_open_system(&bus_) >= 0) {
    sd_bus_message* reply = nullptr;
    const char* seat = nullptr;
    const char* seatPath = nullptr;
    if (sd_bus_get_property(bus_, kLogind, kSession, kSessionInterface, "Seat", nullptr, &reply,
                            "(so)") >= 0 &&
        sd_bus_message_read(reply, "(so)", &seat, &seatPath) >= 0) {
      session = true;
      if (seat != nullptr && *seat != '\0') seat_ = seat;
    }
    sd_bus_message_unref(reply);
  }
  if (!session) {
    const char* seat = std::getenv("XDG_SEAT");
    if (seat != nullptr && *seat != '\0') seat_ = seat;
  }

  sd_device_enumerator* enumerator = nullptr;
  sd_device_enumerator_new(&enumerator);
  sd_device_enumerator_add_match_subsystem(enumerator, "leds", 1);
  for (sd_device* device = sd_device_enumerator_get_device_first(enumerator); device != nullptr;
       device = sd_device_enumerator_get_device_next(enumerator))
    addLed(device);
  sd_device_enumerator_unref(enumerator);

  std::string missing;
  if (leds_.empty())
    missing = "no keyboard lamps found on " + seat_ + " (/sys/class/leds/input*::*lock)";
  for (const auto& led : leds_)
    if (!led->writable && !session && missing.empty())
      missing =
          "may not set the keyboard lamps: that needs a local session in the foreground "
          "(systemd-logind), or write access to " +
          led->syspath + "/brightness";
  if (!missing.empty()) {
    sd_event_unref(event_);
    sd_bus_flush_close_unref(bus_);
    throw std::runtime_error(missing);
  }

  // Keyboards plugged in or removed, and the session leaving the foreground, are taken before
  // each read: they wake nothing of their own.
  if (sd_device_monitor_new(&monitor_) >= 0) {
    sd_device_monitor_filter_add_match_subsystem_devtype(monitor_, "leds", nullptr);
    sd_device_monitor_attach_event(monitor_, event_);
    sd_device_monitor_start(monitor_, onDevice, this);
  }
  if (session) {
    sd_bus_attach_event(bus_, event_, 0);
    char* id = nullptr;
    char* path = nullptr;
    if (sd_bus_get_property_string(bus_, kLogind, kSession, kSessionInterface, "Id", nullptr,
                                   &id) >= 0 &&
        sd_bus_path_encode("/org/freedesktop/login1/session", id, &path) >= 0)
      sd_bus_match_signal(bus_, &sessionMatch_, kLogind, path, "org.freedesktop.DBus.Properties",
                          "PropertiesChanged", onSessionChanged, this);
    std::free(id);
    std::free(path);
    follow(sessionActive());
  }
}

bool KernelKeyboard::sessionActive() {
  int active = 1;
  sd_bus_get_property_trivial(bus_, kLogind, kSession, kSessionInterface, "Active", nullptr, 'b',
                              &active);
  return active != 0;
}

KernelKeyboard::~KernelKeyboard() {
  for (const auto& led : leds_)
    sd_bus_slot_unref(led->request);
  sd_bus_slot_unref(sessionMatch_);
  sd_device_monitor_unref(monitor_);
  sd_bus_flush_close_unref(bus_);
  sd_event_unref(event_);
}

KernelKeyboard::Led* KernelKeyboard::addLed(sd_device* device) {
  const char* name = nullptr;
  const char* syspath = nullptr;
  if (sd_device_get_sysname(device, &name) < 0 || sd_device_get_syspath(device, &syspath) < 0)
    return nullptr;
  const std::string_view sysname = name;
  if (!sysname.starts_with("input") || seatOf(device) != seat_) return nullptr;
  for (std::size_t lamp = 0; lamp < kSuffixes.size(); ++lamp) {
    if (!sysname.ends_with(kSuffixes[lamp])) continue;
    removeLed(syspath);  // an "add" for one we have: take it anew
    auto led = std::make_unique<Led>();
    led->syspath = syspath;
    led->lamp = lamp;
    led->keyboard = this;
    // Opening tells, where access() would not: umockdev's test bed does not answer faccessat().
    led->writable = writable(led->syspath + "/brightness");
    led->saved = {std::string(sysname), lit(led->syspath),
                  activeTrigger(readFile(led->syspath + "/trigger").value_or(""))};
    leds_.push_back(std::move(led));
    return leds_.back().get();
  }
  return nullptr;
}

void KernelKeyboard::removeLed(std::string_view syspath) {
  std::erase_if(leds_, [&](const std::unique_ptr<Led>& led) {
    if (led->syspath != syspath) return false;
    sd_bus_slot_unref(led->request);
    return true;
  });
}

int KernelKeyboard::onDevice(sd_device_monitor* /*monitor*/, sd_device* device, void* self) {
  auto& keyboard = *static_cast<KernelKeyboard*>(self);
  sd_device_action_t action = _SD_DEVICE_ACTION_INVALID;
  const char* syspath = nullptr;
  sd_device_get_action(device, &action);
  if (sd_device_get_syspath(device, &syspath) < 0) return 0;
  if (action == SD_DEVICE_REMOVE) {
    keyboard.removeLed(syspath);
  } else if (Led* led = action == SD_DEVICE_ADD ? keyboard.addLed(device) : nullptr;
             led != nullptr && keyboard.active_) {
    keyboard.setLed(*led, keyboard.wanted_[led->lamp]);  // shows what the others show
  }
  return 0;
}

KernelKeyboard::Led* KernelKeyboard::find(const std::string& name) {
  for (const auto& led : leds_)
    if (led->saved.name == name) return led.get();
  return nullptr;
}

void KernelKeyboard::say(bool& said, const std::string& message) {
  if (!said) std::fprintf(stderr, "blinkolux: %s\n", message.c_str());
  said = true;
}

void KernelKeyboard::readState(KeyboardState& state) {
  while (sd_event_run(event_, 0) > 0) {
  }
  state.fill(0);
  Lamps now{};
  bool changedByUser = false;
  for (std::size_t lamp = 0; lamp < now.size(); ++lamp) {
    const Led* first = nullptr;
    bool pending = false;
    for (const auto& led : leds_) {
      if (led->lamp != lamp) continue;
      if (first == nullptr) first = led.get();
      pending = pending || led->request != nullptr || led->next;
    }
    if (first == nullptr) continue;
    // Our own request on its way shows as done, as it will be.
    now[lamp] = pending ? wanted_[lamp] : lit(first->syspath);
    if (pending) continue;
    // The user pressed a lock key, and the compositor rewrote all lamps: those are to be restored.
    changedByUser = changedByUser || (active_ && known_[lamp] && *known_[lamp] != now[lamp]);
    known_[lamp] = now[lamp];
  }
  if (changedByUser) {
    for (const auto& led : leds_)
      led->saved.brightness = now[led->lamp];
    if (onRecordChanged) onRecordChanged();
  }
  for (std::size_t lamp = 0; lamp < now.size(); ++lamp)
    state[kLampKeys[lamp]] = now[lamp] ? 1 : 0;
  shown_ = now;
}

// Lamp access writes back the table it just read with one lamp changed: that lamp is written.
void KernelKeyboard::writeState(const KeyboardState& state) {
  for (std::size_t lamp = 0; lamp < kLampKeys.size(); ++lamp) {
    const bool on = (state[kLampKeys[lamp]] & 1) != 0;
    if (on == shown_[lamp]) continue;
    shown_[lamp] = wanted_[lamp] = on;
    if (!active_) continue;  // written when the session comes back to the foreground
    for (const auto& led : leds_)
      if (led->lamp == lamp) setLed(*led, on);
  }
}

void KernelKeyboard::setLed(Led& led, bool on) {
  if (!led.writable) {
    ask(led, on);
    return;
  }
  writeFile(led.syspath + "/brightness", on ? "1" : "0");
  if (lit(led.syspath) == on) {
    known_[led.lamp] = on;
    notSticking_ = 0;
  } else if (++notSticking_ >= 3) {
    say(saidNotSticking_,
        "the keyboard lamps do not keep what is written to them (has another program grabbed the "
        "keyboard?)");
  }
}

// One request on its way per LED; a newer value waits behind it, replacing an older one.
void KernelKeyboard::ask(Led& led, bool on) {
  if (led.request != nullptr) {
    led.next = on;
    return;
  }
  led.requested = on;
  sd_bus_call_method_async(bus_, &led.request, kLogind, kSession, kSessionInterface,
                           "SetBrightness", onAnswer, &led, "ssu", "leds", led.saved.name.c_str(),
                           on ? 1U : 0U);
}

int KernelKeyboard::onAnswer(sd_bus_message* answer, void* ledPointer, sd_bus_error* /*error*/) {
  Led& led = *static_cast<Led*>(ledPointer);
  KernelKeyboard& keyboard = *led.keyboard;
  led.request = sd_bus_slot_unref(led.request);
  const sd_bus_error* error = sd_bus_message_get_error(answer);
  if (error == nullptr) {
    keyboard.known_[led.lamp] = led.requested;
  } else {
    // logind gives one error for "not in the foreground" and "not your seat": ask which.
    const bool active = keyboard.sessionActive();
    if (active)
      keyboard.say(keyboard.saidRefused_,
                   std::string("logind refused to set the keyboard lamps: ") +
                       (error->message != nullptr ? error->message : error->name));
    keyboard.follow(active);
  }
  if (led.next) {
    const bool next = *led.next;
    led.next.reset();
    if (keyboard.active_) keyboard.ask(led, next);
  }
  return 0;
}

int KernelKeyboard::onSessionChanged(sd_bus_message* /*message*/, void* self,
                                     sd_bus_error* /*error*/) {
  auto& keyboard = *static_cast<KernelKeyboard*>(self);
  keyboard.follow(keyboard.sessionActive());
  return 0;
}

// Writes wait while the session is in the background; back in front, the lamps are set anew.
void KernelKeyboard::follow(bool active) {
  if (active == active_) return;
  active_ = active;
  if (!active) {
    say(saidInactive_, "this session is not in the foreground: the lamps wait until it is");
    return;
  }
  known_.fill(std::nullopt);
  for (const auto& led : leds_)
    setLed(*led, wanted_[led->lamp]);
}

// A lamp that no keyboard on the seat has can't be shown.
Lamps KernelKeyboard::driven() {
  Lamps driven{};
  for (const auto& led : leds_)
    driven[led->lamp] = true;
  return driven;
}

std::string KernelKeyboard::record() const {
  std::vector<SavedLed> saved;
  for (const auto& led : leds_)
    saved.push_back(led->saved);
  return blinkolux::record(saved);
}

void KernelKeyboard::putBack(std::string_view text) {
  std::vector<SavedLed> leds;
  for (SavedLed& saved : parseRecord(text)) {
    Led* led = find(saved.name);
    if (led == nullptr) continue;  // only LEDs that are here now
    led->saved = saved;
    leds.push_back(saved);
  }
  blinkolux::putBack(*this, leds);
  known_.fill(std::nullopt);
}

void KernelKeyboard::putBack() {
  for (int i = 0; i < 20; ++i) {  // logind's answers still to come, for up to 2 s
    bool waiting = false;
    for (const auto& led : leds_) {
      led->next.reset();
      waiting = waiting || led->request != nullptr;
    }
    if (!waiting) break;
    sd_event_run(event_, 100'000);
  }
  std::vector<SavedLed> saved;
  for (const auto& led : leds_)
    saved.push_back(led->saved);
  blinkolux::putBack(*this, saved);
}

bool KernelKeyboard::brightness(const std::string& name) {
  const Led* led = find(name);
  return led != nullptr && lit(led->syspath);
}

void KernelKeyboard::setBrightness(const std::string& name, bool on) {
  Led* led = find(name);
  if (led == nullptr) return;
  if (led->writable) {
    writeFile(led->syspath + "/brightness", on ? "1" : "0");
  } else if (active_) {
    sd_bus_call_method(bus_, kLogind, kSession, kSessionInterface, "SetBrightness", nullptr,
                       nullptr, "ssu", "leds", led->saved.name.c_str(), on ? 1U : 0U);
  }
}

bool KernelKeyboard::setTrigger(const std::string& name, const std::string& trigger) {
  const Led* led = find(name);
  return led != nullptr && writeFile(led->syspath + "/trigger", trigger);
}

}  // namespace blinkolux
