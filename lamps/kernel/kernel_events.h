// SPDX-License-Identifier: MIT
#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-device.h>

namespace blinkolux {

// libsystemd's callbacks into the kernel keyboard.
struct KernelKeyboardEvents {
  static int onDevice(sd_device_monitor* monitor, sd_device* device, void* self);
  static int onAnswer(sd_bus_message* answer, void* led, sd_bus_error* error);
};

}  // namespace blinkolux
