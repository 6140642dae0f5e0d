// SPDX-License-Identifier: MIT
#include "lamps/kernel/logind_session.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace blinkolux {

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kSession = "/org/freedesktop/login1/session/auto";
constexpr const char* kSessionInterface = "org.freedesktop.login1.Session";

struct Free {
  void operator()(char* text) const { std::free(text); }
};
using CString = std::unique_ptr<char, Free>;

}  // namespace

LogindSession::LogindSession() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0) return;
  bus_.reset(bus);
  sd_bus_message* reply = nullptr;
  const int got = sd_bus_get_property(bus, kLogind, kSession, kSessionInterface, "Seat", nullptr,
                                      &reply, "(so)");
  const SdOwner<sd_bus_message> owned(reply);
  const char* seat = nullptr;
  const char* seatPath = nullptr;
  if (got < 0 || sd_bus_message_read(reply, "(so)", &seat, &seatPath) < 0) return;
  found_ = true;
  if (seat != nullptr) seat_ = seat;
}

void LogindSession::attach(sd_event* event, std::function<void()> onChanged) {
  onChanged_ = std::move(onChanged);
  if (const int error = sd_bus_attach_event(bus_.get(), event, 0); error < 0)
    throw std::runtime_error(std::string("cannot follow the logind session: ") +
                             std::strerror(-error));
  // Signals name the session by its real path, not by "auto".
  char* id = nullptr;
  char* path = nullptr;
  const int got = sd_bus_get_property_string(bus_.get(), kLogind, kSession, kSessionInterface, "Id",
                                             nullptr, &id);
  const CString ownedId(id);
  if (got >= 0 && sd_bus_path_encode("/org/freedesktop/login1/session", id, &path) >= 0) {
    const CString ownedPath(path);
    sd_bus_slot* match = nullptr;
    if (sd_bus_match_signal(bus_.get(), &match, kLogind, path, "org.freedesktop.DBus.Properties",
                            "PropertiesChanged", onPropertiesChanged, this) >= 0) {
      match_.reset(match);
      return;
    }
  }
  throw std::runtime_error("cannot follow the logind session: no signals from logind");
}

int LogindSession::onPropertiesChanged(sd_bus_message* /*message*/, void* self,
                                       sd_bus_error* /*error*/) {
  auto& session = *static_cast<LogindSession*>(self);
  if (session.onChanged_) session.onChanged_();
  return 0;
}

bool LogindSession::active() {
  int active = 1;
  sd_bus_get_property_trivial(bus_.get(), kLogind, kSession, kSessionInterface, "Active", nullptr,
                              'b', &active);
  return active != 0;
}

SdOwner<sd_bus_slot> LogindSession::requestBrightness(const std::string& led, bool on,
                                                      sd_bus_message_handler_t answered,
                                                      void* userdata) {
  sd_bus_slot* slot = nullptr;
  sd_bus_call_method_async(bus_.get(), &slot, kLogind, kSession, kSessionInterface, "SetBrightness",
                           answered, userdata, "ssu", "leds", led.c_str(), on ? 1U : 0U);
  return SdOwner<sd_bus_slot>(slot);
}

void LogindSession::setBrightness(const std::string& led, bool on) {
  sd_bus_call_method(bus_.get(), kLogind, kSession, kSessionInterface, "SetBrightness", nullptr,
                     nullptr, "ssu", "leds", led.c_str(), on ? 1U : 0U);
}

}  // namespace blinkolux
