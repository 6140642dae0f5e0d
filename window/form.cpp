#include "window/form.h"

#include "patterns/running_light.h"

namespace blinkolux {

Form1::Form1(KeyboardServices& keyboard, Clock& clock) : lamps_(keyboard), timers(clock) {}

void Form1::Form_Load() {
  SavedLamps = lamps_.GetLockStates();
  ChaseCaps = false;
  ChaseNum = true;
}

void Form1::Form_Unload() {
  lamps_.SetLockStates(SavedLamps);
}

void Form1::setValue(ControlId id, int value) {
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

void Form1::Command2_Click() {}
void Form1::Command3_Click() {}
void Form1::Check1_Click() {}
void Form1::Timer3_Timer() {}
void Form1::Timer4_Timer() {}
void Form1::MrRandom_Timer() {}

}  // namespace blinkolux
