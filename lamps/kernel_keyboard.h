#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lamps/keyboard.h"
#include "lamps/led_restore.h"

#include <systemd/sd-bus.h>
#include <systemd/sd-device.h>
#include <systemd/sd-event.h>

namespace blinkolux {

// The keyboard services over the kernel's keyboard LEDs (/sys/class/leds/inputN::capslock, ...),
// for Wayland sessions, where the X server's lock states never reach the keyboard. Reports the 95
// family: a written state table sets the lamps directly, with no key event.
//
// It drives the lamps of every keyboard on the session's seat alike, follows keyboards plugged in
// or removed, and reads each lamp from the first keyboard that has it, fresh from the kernel at
// every read. It writes the files where it may, and asks logind otherwise (the foreground session
// may set its seat's lamps), with at most one request on the way per LED.
class KernelKeyboard final : public KeyboardServices, private LedFiles {
 public:
  // Throws std::runtime_error with a one-line reason when there are no keyboard lamps, or when
  // they may neither be written nor set through logind.
  KernelKeyboard();
  ~KernelKeyboard() override;
  KernelKeyboard(const KernelKeyboard&) = delete;
  KernelKeyboard& operator=(const KernelKeyboard&) = delete;

  std::uint32_t platformId() override { return kWindows95Family; }
  void readState(KeyboardState& state) override;
  void writeState(const KeyboardState& state) override;
  Lamps driven() override;
  void keyEvent(std::uint8_t /*key*/, std::uint8_t /*scanCode*/, std::uint32_t /*flags*/) override {
  }

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
    std::size_t lamp = 0;  // Num, Caps, Scroll
    bool writable = false;
    KernelKeyboard* keyboard = nullptr;
    sd_bus_slot* request = nullptr;  // logind's answer still to come
    bool requested = false;          // the value on its way
    std::optional<bool> next;        // waits behind it
  };

  Led* addLed(sd_device* device);  // nullptr when it is no lamp of ours
  void removeLed(std::string_view syspath);
  void setLed(Led& led, bool on);
  void ask(Led& led, bool on);
  Led* find(const std::string& name);
  bool sessionActive();
  void follow(bool active);
  static void say(bool& said, const std::string& message);

  bool brightness(const std::string& name) override;
  void setBrightness(const std::string& name, bool on) override;
  bool setTrigger(const std::string& name, const std::string& trigger) override;

  static int onDevice(sd_device_monitor* monitor, sd_device* device, void* self);
  static int onAnswer(sd_bus_message* answer, void* led, sd_bus_error* error);
  static int onSessionChanged(sd_bus_message* message, void* self, sd_bus_error* error);

  sd_event* event_ = nullptr;
  sd_bus* bus_ = nullptr;  // the system bus, for logind; none without it
  sd_device_monitor* monitor_ = nullptr;
  sd_bus_slot* sessionMatch_ = nullptr;
  std::string seat_ = "seat0";
  bool active_ = true;  // the session is in the foreground
  std::vector<std::unique_ptr<Led>> leds_;
  Lamps wanted_{};                            // what the form last set
  Lamps shown_{};                             // what the last read gave, with writes since
  std::array<std::optional<bool>, 3> known_;  // each lamp as we last saw or set it
  bool saidInactive_ = false, saidRefused_ = false, saidNotSticking_ = false;
  int notSticking_ = 0;  // writes in a row that the kernel did not keep
};

}  // namespace blinkolux
