// SPDX-License-Identifier: MIT
#include "window/form.h"

#include "patterns/running_light.h"

namespace blinkolux {

Form1::Form1(Keyboard& keyboard, Clock& clock)
    : timers(clock), keyboard_(keyboard), lamps_(keyboard) {
  timers.onSettle([this] { commit(); });
  // The speed poll acts as a 1 ms poll, but needs no wake-up while the slider and the running
  // light's interval agree: only a slider move can change that.
  Timer2.skipWhile([this] { return Timer1.interval() == Slider1.Value; });
}

void Form1::Form_Load() {
  keyboard_.refresh();
  SavedLamps = lamps_.GetLockStates();
  ChaseCaps = false;
  ChaseNum = true;
  commit();
}

void Form1::Form_Unload() {
  keyboard_.refresh();
  lamps_.SetLockStates(SavedLamps);
  commit();
  lamps_.stopWriting();
}

void Form1::commit() {
  const Lamps driven = keyboard_.driven();
  if (lamps_.seen() != lampsShown || driven != lampsDriven) {
    lampsShown = lamps_.seen();
    lampsDriven = driven;
    // First: the mirror's requests can then leave with the step's.
    if (onLampsShown) onLampsShown();
  }
  keyboard_.commit();
}

void Form1::setValue(ControlId id, int value) {
  timers.skipIdle();
  switch (id) {
    case ControlId::Slider1:
      Slider1.Value = value;
      break;
    case ControlId::Check1:
      Check1.Value = value;
      break;
    case ControlId::Check2:
      Check2.Value = value;
      break;
    default:
      break;
  }
}

void Form1::click(ControlId id) {
  switch (id) {
    case ControlId::Command1:
      Command1_Click();
      break;
    case ControlId::Command2:
      Command2_Click();
      break;
    case ControlId::Command3:
      Command3_Click();
      break;
    case ControlId::Check1:
      Check1_Click();
      break;
    default:
      break;
  }
  commit();
}

void Form1::Timer1_Timer() {
  const Lamps chase{ChaseNum, ChaseCaps, ChaseScroll};
  lamps_.SetLockStates(chase);
  const Lamps next = moveChase(chase, Direction, Check2.Value == 1);
  ChaseNum = next[0];
  ChaseCaps = next[1];
  ChaseScroll = next[2];
}

void Form1::Command1_Click() {
  Direction = !Direction;
}

// The speed poll: the slider's position is the running light's step in ms.
void Form1::Timer2_Timer() {
  Timer1.setInterval(Slider1.Value);
}

void Form1::Command2_Click() {
  startShow(Timer3, 400);
}
void Form1::Command3_Click() {
  startShow(Timer4, 250);
}
void Form1::Timer3_Timer() {
  playShow(Timer3, kShow1);
}
void Form1::Timer4_Timer() {
  playShow(Timer4, kShow2);
}

// Hands the lamps to a show. Its first step comes one interval later.
void Form1::startShow(Timer& show, std::int32_t interval) {
  // One show at a time: the other one stops here as its end step would stop it, and the new one
  // plays from step 1, as after any end step. Two show timers would share one step counter and
  // could both miss their end steps, leaving the running light off for good.
  Timer& other = &show == &Timer3 ? Timer4 : Timer3;
  if (other.enabled()) {
    other.setEnabled(false);
    ShowStep = 1;
  }
  MrRandom.setEnabled(false);
  Timer1.setEnabled(false);
  Timer2.setEnabled(false);
  show.setEnabled(true);
  lamps_.SetLockStates(kAllOff);
  show.setInterval(interval);
}

void Form1::playShow(Timer& show, const ShowScript& script) {
  const auto last = static_cast<std::int32_t>(script.steps.size()) - 1;
  if (ShowStep == last) {
    endShow(show);
  } else if (ShowStep >= 0 && ShowStep < last) {
    lamps_.SetLockStates(script.steps[ShowStep]);
    if (ShowStep == script.speedUpStep) show.setInterval(script.speedUpInterval);
  }
  ShowStep += 1;
}

// Hands the lamps back to the running light, after a pause with all lamps dark.
void Form1::endShow(Timer& show) {
  lamps_.SetLockStates(kAllOff);
  timers.pause(500);
  show.setEnabled(false);
  Timer1.setEnabled(true);
  Timer2.setEnabled(true);
  if (Check1.Value == 1) MrRandom.setEnabled(true);
  ShowStep = 0;
}

void Form1::MrRandom_Timer() {
  switch (randomEvent(Rnd())) {
    case RandomEvent::StartShow1:
      startShow(Timer3, 400);
      break;
    case RandomEvent::StartShow2:
      startShow(Timer4, 180);
      break;
    case RandomEvent::ReverseDirection:
      Direction = !Direction;
      break;
    case RandomEvent::None:
      break;
  }
}

void Form1::Check1_Click() {
  MrRandom.setEnabled(Check1.Value == 1);
}

}  // namespace blinkolux
