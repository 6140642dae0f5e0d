// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

struct IAccPropServices;

namespace blinkolux {

// The slider's value in what it means, "100 ms per step": in its tooltip, and for screen readers
// as an annotation of the trackbar's own accessible object, which would say only "100". Its name,
// "Speed", comes from the label before it.
class SpeedText {
 public:
  SpeedText(HWND slider, HWND tips);
  ~SpeedText();
  SpeedText(const SpeedText&) = delete;
  SpeedText& operator=(const SpeedText&) = delete;

  void show(int ms);

 private:
  HWND slider_;
  HWND tips_;
  bool com_ = false;
  IAccPropServices* annotations_ = nullptr;  // none where the system offers none (Wine)
};

}  // namespace blinkolux
