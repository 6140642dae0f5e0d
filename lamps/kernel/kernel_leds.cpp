// SPDX-License-Identifier: MIT
// The kernel keyboard's LEDs: those of the session's seat, found at start and followed as
// keyboards are plugged in or removed.
#include <systemd/sd-device.h>
#include <systemd/sd-event.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "lamps/kernel/kernel_events.h"
#include "lamps/kernel/kernel_keyboard.h"
#include "lamps/kernel/led_files.h"
#include "lamps/kernel/logind_session.h"

namespace blinkolux {

namespace {

constexpr std::array<std::string_view, 3> kSuffixes{"::numlock", "::capslock", "::scrolllock"};

std::string seatOf(sd_device* device) {
  const char* seat = nullptr;
  sd_device* parent = nullptr;
  if (sd_device_get_property_value(device, "ID_SEAT", &seat) < 0 &&
      sd_device_get_parent(device, &parent) >= 0)
    sd_device_get_property_value(parent, "ID_SEAT", &seat);
  return seat != nullptr && *seat != '\0' ? seat : "seat0";
}

}  // namespace

// logind's word, else XDG_SEAT, else seat0.
void KernelKeyboard::findSeat() {
  const char* seat = std::getenv("XDG_SEAT");
  if (session_->found()) seat = session_->seat().c_str();
  if (seat != nullptr && *seat != '\0') seat_ = seat;
}

// The lamps found are the user's lock states: the compositor last wrote them.
void KernelKeyboard::findLeds() {
  sd_device_enumerator* enumerator = nullptr;
  if (const int error = sd_device_enumerator_new(&enumerator); error < 0)
    throw sdFailure("cannot list the keyboard lamps", error);
  const SdOwner<sd_device_enumerator> owned(enumerator);
  sd_device_enumerator_add_match_subsystem(enumerator, "leds", 1);
  std::array<bool, 3> found{};
  for (sd_device* device = sd_device_enumerator_get_device_first(enumerator); device != nullptr;
       device = sd_device_enumerator_get_device_next(enumerator)) {
    const Led* led = addLed(device);
    if (led == nullptr || found[index(led->lamp)]) continue;
    found[index(led->lamp)] = true;
    saved_[index(led->lamp)] = sysfs::lit(led->syspath);
  }

  if (leds_.empty())
    throw std::runtime_error("no keyboard lamps found on " + seat_ +
                             " (/sys/class/leds/input*::*lock)");
  if (session_->found()) return;
  for (const auto& led : leds_)
    if (!led->writable)
      throw std::runtime_error(
          "may not set the keyboard lamps: that needs a local session in the foreground "
          "(systemd-logind), or write access to " +
          led->syspath + "/brightness");
}

void KernelKeyboard::watchPlugging() {
  sd_device_monitor* monitor = nullptr;
  int error = sd_device_monitor_new(&monitor);
  monitor_.reset(monitor);
  if (error >= 0)
    error = sd_device_monitor_filter_add_match_subsystem_devtype(monitor, "leds", nullptr);
  if (error >= 0) error = sd_device_monitor_attach_event(monitor, event_.get());
  if (error >= 0) error = sd_device_monitor_start(monitor, KernelKeyboardEvents::onDevice, this);
  if (error < 0)
    std::fprintf(stderr, "blinkolux: keyboards plugged in from now on will not light: %s\n",
                 std::strerror(-error));
}

// A keyboard lamp of our seat that we don't have yet; nullptr for anything else, an "add" for one
// we have included (its trigger is ours to put back, and now detached).
KernelKeyboard::Led* KernelKeyboard::addLed(sd_device* device) {
  const char* name = nullptr;
  const char* syspath = nullptr;
  if (sd_device_get_sysname(device, &name) < 0 || sd_device_get_syspath(device, &syspath) < 0)
    return nullptr;
  const std::string_view sysname = name;
  if (!sysname.starts_with("input") || seatOf(device) != seat_) return nullptr;
  for (const auto& led : leds_)
    if (led->syspath == syspath) return nullptr;
  for (Lamp lamp : kLamps) {
    if (!sysname.ends_with(kSuffixes[index(lamp)])) continue;
    auto led = std::make_unique<Led>();
    led->name = sysname;
    led->syspath = syspath;
    led->lamp = lamp;
    led->keyboard = this;
    led->writable = sysfs::canWrite(led->syspath + "/brightness");
    led->trigger = sysfs::activeTrigger(sysfs::readFile(led->syspath + "/trigger").value_or(""));
    leds_.push_back(std::move(led));
    return leds_.back().get();
  }
  return nullptr;
}

void KernelKeyboard::removeLed(std::string_view syspath) {
  std::erase_if(leds_, [&](const std::unique_ptr<Led>& led) { return led->syspath == syspath; });
}

int KernelKeyboardEvents::onDevice(sd_device_monitor* /*monitor*/, sd_device* device, void* self) {
  auto& keyboard = *static_cast<KernelKeyboard*>(self);
  sd_device_action_t action = _SD_DEVICE_ACTION_INVALID;
  const char* syspath = nullptr;
  sd_device_get_action(device, &action);
  if (sd_device_get_syspath(device, &syspath) < 0) return 0;
  if (action == SD_DEVICE_REMOVE) {
    keyboard.removeLed(syspath);
  } else if (KernelKeyboard::Led* led =
                 action == SD_DEVICE_ADD ? keyboard.addLed(device) : nullptr) {
    if (keyboard.active_) keyboard.setLed(*led, keyboard.wanted_[index(led->lamp)]);
  } else {
    return 0;
  }
  if (keyboard.onRecordChanged) keyboard.onRecordChanged();
  return 0;
}

}  // namespace blinkolux
