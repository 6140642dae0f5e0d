// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lamps/kernel/led_record.h"
#include "lamps/kernel/sd_owners.h"
#include "lamps/keyboard.h"

struct sd_device;

namespace blinkolux {

class LogindSession;

// The lamps of the kernel's keyboard LEDs (/sys/class/leds/inputN::capslock, ...), for Wayland
// sessions, where the X server's lock states never reach the keyboard.
//
// It drives the lamps of every keyboard on the session's seat alike, follows keyboards plugged in
// or removed, and reads each lamp from the first keyboard that has it, fresh from the kernel at
// a handler's first read. It writes the files where it may, and asks logind otherwise (the
// foreground session may set its seat's lamps): at most one request per LED on its way, and one
// per 16 ms, the latest state winning, since logind starts a process for each.
//
// What goes back at the end is the user's lock states, the same on every keyboard of the seat.
// They live in the compositor, which rewrites the lamps only when a lock changes: the compositor's
// own word where there is one (compositorLocks), else the lamps it last rewrote.
class KernelKeyboard final : public Keyboard, private LedFiles {
 public:
  // Throws std::runtime_error with a one-line reason when there are no keyboard lamps, or when
  // they may neither be written nor set through logind.
  KernelKeyboard();
  const std::string& seat() const { return seat_; }
  ~KernelKeyboard() override;
  KernelKeyboard(const KernelKeyboard&) = delete;
  KernelKeyboard& operator=(const KernelKeyboard&) = delete;

  bool read(Lamp lamp) override;
  void write(Lamp lamp, bool on) override;
  void refresh() override { stateTaken_ = false; }
  void commit() override;
  Lamps driven() override;

  // Num Lock and Caps Lock as the compositor has them now, where it can be asked.
  std::function<std::optional<NumAndCaps>()> compositorLocks;

  // What putBack() would restore, as the display's record keeps it, and who is told when it
  // changes: the user presses a lock key, or a keyboard comes or goes.
  std::string record() const;
  std::function<void()> onRecordChanged;
  // Puts back what a copy that died had found (the LEDs it names that are still here).
  void putBack(std::string_view text);
  // Puts back what was found at start, or what the user set since: the triggers, then the lamps.
  void putBack();

 private:
  struct Led {
    std::string name;     // input3::capslock
    std::string syspath;  // where its files are
    Lamp lamp = Lamp::Num;
    std::string trigger;  // what drove it when we found it ("kbd-capslock"), or "none"
    bool writable = false;
    KernelKeyboard* keyboard = nullptr;
    SdOwner<sd_bus_slot> request;  // logind's answer still to come
    bool requested = false;        // the last value asked for
    long long askedAt = -1'000;    // when, in ms
    std::optional<bool> next;      // waits its turn, replaced by any newer one
    std::optional<bool> known;     // what its file holds, as we last read or set it
    bool pending() const { return request != nullptr || next; }
  };

  std::vector<SavedLed> toPutBack() const;
  void findSeat();
  void findLeds();
  void watchPlugging();
  Led* addLed(sd_device* device);  // nullptr when it is no lamp of ours
  void removeLed(std::string_view syspath);
  void takeEvents();
  void takeState();
  bool save(Lamp lamp, bool on);  // whether that changed what goes back
  bool takeCompositorLocks();
  void setLed(Led& led, bool on);
  void requestBrightness(Led& led, bool on);
  void sendDue();
  Led* find(const std::string& name);
  void followSession(bool active);
  static void warnOnce(bool& warned, const std::string& message);

  bool brightness(const std::string& name) override;
  void setBrightness(const std::string& name, bool on) override;
  bool setTrigger(const std::string& name, const std::string& trigger) override;

  friend struct KernelKeyboardEvents;  // libsystemd's callbacks

  SdOwner<sd_event> event_;
  std::unique_ptr<LogindSession> session_;  // none without logind
  SdOwner<sd_device_monitor> monitor_;
  std::string seat_ = "seat0";
  bool active_ = true;         // the session is in the foreground
  bool sessionStale_ = false;  // as logind said it may no longer be
  std::vector<std::unique_ptr<Led>> leds_;
  bool stateTaken_ = false;  // since the handler began
  Lamps saved_{};            // the user's lock states, to be put back
  Lamps wanted_{};           // what the form last set
  Lamps shown_{};            // what the last read gave, with writes since
  bool warnedInactive_ = false, warnedRefused_ = false, warnedNotSticking_ = false;
  int notSticking_ = 0;  // writes in a row that the kernel did not keep
};

}  // namespace blinkolux
