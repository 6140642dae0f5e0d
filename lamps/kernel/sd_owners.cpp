// SPDX-License-Identifier: MIT
#include "lamps/kernel/sd_owners.h"

#include <systemd/sd-bus.h>
#include <systemd/sd-device.h>
#include <systemd/sd-event.h>

#include <cstring>

namespace blinkolux {

void SdUnref::operator()(sd_bus* bus) const {
  sd_bus_flush_close_unref(bus);
}
void SdUnref::operator()(sd_bus_slot* slot) const {
  sd_bus_slot_unref(slot);
}
void SdUnref::operator()(sd_bus_message* message) const {
  sd_bus_message_unref(message);
}
void SdUnref::operator()(sd_device_enumerator* enumerator) const {
  sd_device_enumerator_unref(enumerator);
}
void SdUnref::operator()(sd_device_monitor* monitor) const {
  sd_device_monitor_unref(monitor);
}
void SdUnref::operator()(sd_event* event) const {
  sd_event_unref(event);
}

std::runtime_error sdFailure(const std::string& what, int error) {
  return std::runtime_error(what + ": " + std::strerror(-error));
}

}  // namespace blinkolux
