// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>

#include "lamps/lamp_access.h"
#include "patterns/random_events.h"
#include "patterns/shows.h"
#include "window/timer.h"
#include "window/window_table.h"

namespace blinkolux {

// The value of a slider or check box, kept in step with its widget by the front-end.
struct ControlValue {
  int Value;
};

// The window: its state, its five timers and the handlers of every event. No toolkit here; a
// front-end builds the widgets from the window table and forwards their events.
class Form1 {
 public:
  Form1(Keyboard& keyboard, Clock& clock);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  void Form_Load();
  void Form_Unload();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Check1_Click();

  // What a front-end calls: a widget's new value, and a click (after the value, for check boxes).
  void setValue(ControlId id, int value);
  void click(ControlId id);

  ControlValue Slider1{control(ControlId::Slider1).value};
  ControlValue Check1{control(ControlId::Check1).value};
  ControlValue Check2{control(ControlId::Check2).value};

  TimerSet timers;
  Timer Timer1{timers, kTimer1, [this] { Timer1_Timer(); }};
  Timer Timer2{timers, kTimer2, [this] { Timer2_Timer(); }};
  Timer Timer3{timers, kTimer3, [this] { Timer3_Timer(); }};
  Timer Timer4{timers, kTimer4, [this] { Timer4_Timer(); }};
  Timer MrRandom{timers, kMrRandom, [this] { MrRandom_Timer(); }};

  // The running light: the pattern shown at the next tick, and its direction.
  bool ChaseNum = false;
  bool ChaseCaps = false;
  bool ChaseScroll = false;
  bool Direction = false;

  std::int32_t ShowStep = 0;  // the step the playing show plays next; shared by both shows

  Lamps SavedLamps{};  // found at load, put back at unload

  std::function<float()> Rnd = RandomDraws{};  // the random events' draws

  // The lamp mirror: the lamps as lamp access last read or wrote them, and which of them the
  // keyboard drives. Told when a handler's writes leave for the keyboard, and only on a change.
  Lamps lampsShown{};
  Lamps lampsDriven{};
  std::function<void()> onLampsShown;

 private:
  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();
  void Timer4_Timer();
  void MrRandom_Timer();

  void startShow(Timer& show, std::int32_t interval);
  void playShow(Timer& show, const ShowScript& script);
  void endShow(Timer& show);
  void commit();  // the mirror is told, then the lamp writes leave

  Keyboard& keyboard_;
  LampAccess lamps_;
};

}  // namespace blinkolux
