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
// foreground session may set its seat's lamps), with at most one request on the way per LED.
class KernelKeyboard final : public Keyboard, private LedFiles {
 public:
  // Throws std::runtime_error with a one-line reason when there are no keyboard lamps, or when
  // they may neither be written nor set through logind.
  KernelKeyboard();
  ~KernelKeyboard() override;
  KernelKeyboard(const KernelKeyboard&) = delete;
  KernelKeyboard& operator=(const KernelKeyboard&) = delete;

  bool read(Lamp lamp) override;
  void write(Lamp lamp, bool on) override;
  void refresh() override { stateTaken_ = false; }
  void commit() override { stateTaken_ = false; }
  Lamps driven() override;

  // What putBack() would restore, as the display's record keeps it, and who is told when the user
  // changes it by pressing a lock key.
  std::string record() const;
  std::function<void()> onRecordChanged;
  // Puts back what a copy that died had found (the LEDs it names that are still here).
  void putBack(std::string_view text);
  // Puts back what was found at start, or what the user set since: the triggers, then the lamps.
  void putBack();

 private:
  struct Led {
    SavedLed saved;
    std::string syspath;
    Lamp lamp = Lamp::Num;
    bool writable = false;
    KernelKeyboard* keyboard = nullptr;
    SdOwner<sd_bus_slot> request;  // logind's answer still to come
    bool requested = false;        // the value on its way
    std::optional<bool> next;      // waits behind it
  };

  void findSeat();
  void findLeds();
  void watchPlugging();
  Led* addLed(sd_device* device);  // nullptr when it is no lamp of ours
  void removeLed(std::string_view syspath);
  void takeState();
  void setLed(Led& led, bool on);
  void requestBrightness(Led& led, bool on);
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
  bool active_ = true;  // the session is in the foreground
  std::vector<std::unique_ptr<Led>> leds_;
  bool stateTaken_ = false;                   // since the handler began
  Lamps wanted_{};                            // what the form last set
  Lamps shown_{};                             // what the last read gave, with writes since
  std::array<std::optional<bool>, 3> known_;  // each lamp as we last saw or set it
  bool warnedInactive_ = false, warnedRefused_ = false, warnedNotSticking_ = false;
  int notSticking_ = 0;  // writes in a row that the kernel did not keep
};

}  // namespace blinkolux
