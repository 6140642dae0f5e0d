// SPDX-License-Identifier: MIT
#pragma once

#include <systemd/sd-bus.h>

#include <functional>
#include <string>

#include "lamps/kernel/sd_owners.h"

namespace blinkolux {

// This program's logind session, on the system bus: its seat, whether it is in the foreground,
// and the lamps it may set there.
class LogindSession {
 public:
  // Connects; found() is false where there is no system bus, no logind or no session of ours.
  LogindSession();

  bool found() const { return found_; }
  const std::string& seat() const { return seat_; }

  // From now on its messages are taken when `event` runs, and `onChanged` is called when logind
  // says the session's properties changed. Throws std::runtime_error with a one-line reason.
  void attach(sd_event* event, std::function<void()> onChanged);

  bool active();  // asks logind: in the foreground

  // Asks logind to set an LED; `answered` gets the answer with `userdata`. Freeing the slot
  // forgets the answer.
  SdOwner<sd_bus_slot> requestBrightness(const std::string& led, bool on,
                                         sd_bus_message_handler_t answered, void* userdata);
  // The same, waiting for the answer.
  void setBrightness(const std::string& led, bool on);

 private:
  void followLogind(const char* owner);
  static int onPropertiesChanged(sd_bus_message* message, void* self, sd_bus_error* error);
  static int onOwnerChanged(sd_bus_message* message, void* self, sd_bus_error* error);

  SdOwner<sd_bus> bus_;
  std::string sessionPath_;  // as signals name it
  std::string logind_;       // logind's unique name: the only sender that counts
  SdOwner<sd_bus_slot> match_;
  SdOwner<sd_bus_slot> ownerMatch_;
  std::function<void()> onChanged_;
  std::string seat_;
  bool found_ = false;
};

}  // namespace blinkolux
