// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

// libsystemd's handles, declared so that headers need not include libsystemd's own.
struct sd_bus;
struct sd_bus_slot;
struct sd_bus_message;
struct sd_device_enumerator;
struct sd_device_monitor;
struct sd_event;

namespace blinkolux {

// Frees each of them as libsystemd wants it freed.
struct SdUnref {
  void operator()(sd_bus* bus) const;  // flushes, closes and frees
  void operator()(sd_bus_slot* slot) const;
  void operator()(sd_bus_message* message) const;
  void operator()(sd_device_enumerator* enumerator) const;
  void operator()(sd_device_monitor* monitor) const;
  void operator()(sd_event* event) const;
};
template <typename T>
using SdOwner = std::unique_ptr<T, SdUnref>;

// A libsystemd call that failed with `error` (a negative errno), as one line: what it was for,
// then why.
std::runtime_error sdFailure(const std::string& what, int error);

}  // namespace blinkolux
