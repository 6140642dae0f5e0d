// SPDX-License-Identifier: MIT
#include "lamps/kernel/logind_session.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace blinkolux {

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kSession = "/org/freedesktop/login1/session/auto";
constexpr const char* kSessionInterface = "org.freedesktop.login1.Session";

struct Free {
  void operator()(char* text) const { std::free(text); }
};
using CString = std::unique_ptr<char, Free>;

std::string_view senderOf(sd_bus_message* message) {
  const char* sender = sd_bus_message_get_sender(message);
  return sender != nullptr ? sender : "";
}

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
    throw sdFailure("cannot follow the logind session", error);
  // Signals name the session by its real path, not by "auto".
  char* id = nullptr;
  char* path = nullptr;
  const int got = sd_bus_get_property_string(bus_.get(), kLogind, kSession, kSessionInterface, "Id",
                                             nullptr, &id);
  const CString ownedId(id);
  if (got < 0 || sd_bus_path_encode("/org/freedesktop/login1/session", id, &path) < 0)
    throw std::runtime_error("cannot follow the logind session: logind did not name it");
  const CString ownedPath(path);
  sessionPath_ = path;
  // Anyone on the system bus may send signals to us: only logind's count, by its unique name,
  // which a restart of logind changes.
  sd_bus_slot* ownerMatch = nullptr;
  if (sd_bus_add_match(bus_.get(), &ownerMatch,
                       "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
                       "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                       "arg0='org.freedesktop.login1'",
                       onOwnerChanged, this) < 0)
    throw std::runtime_error("cannot follow the logind session: no word from the bus");
  ownerMatch_.reset(ownerMatch);
  sd_bus_creds* creds = nullptr;
  const char* owner = nullptr;
  if (sd_bus_get_name_creds(bus_.get(), kLogind, SD_BUS_CREDS_UNIQUE_NAME, &creds) >= 0)
    sd_bus_creds_get_unique_name(creds, &owner);
  followLogind(owner);
  sd_bus_creds_unref(creds);
}

void LogindSession::followLogind(const char* owner) {
  match_.reset();
  logind_ = owner != nullptr ? owner : "";
  sd_bus_slot* match = nullptr;
  if (!logind_.empty() &&
      sd_bus_match_signal(bus_.get(), &match, logind_.c_str(), sessionPath_.c_str(),
                          "org.freedesktop.DBus.Properties", "PropertiesChanged",
                          onPropertiesChanged, this) >= 0)
    match_.reset(match);
}

int LogindSession::onOwnerChanged(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
  auto& session = *static_cast<LogindSession*>(self);
  const char* name = nullptr;
  const char* before = nullptr;
  const char* after = nullptr;
  if (senderOf(message) != "org.freedesktop.DBus" ||
      sd_bus_message_read(message, "sss", &name, &before, &after) < 0)
    return 0;
  session.followLogind(after != nullptr && *after != '\0' ? after : nullptr);
  if (session.onChanged_) session.onChanged_();  // a new logind: ask it
  return 0;
}

// Only marks the session's state as stale: the next read asks logind, once.
int LogindSession::onPropertiesChanged(sd_bus_message* message, void* self,
                                       sd_bus_error* /*error*/) {
  auto& session = *static_cast<LogindSession*>(self);
  if (senderOf(message) == session.logind_ && session.onChanged_) session.onChanged_();
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
