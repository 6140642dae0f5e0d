// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "lamps/lamps.h"
#include "window/timer.h"

namespace blinkolux {

// The fixed description of the window, shared by both front-ends. Places and sizes are in twips.
// A twip is 1/1440 inch: at 96 DPI, 15 make a pixel.
constexpr int pixels(int twips, int dpi = 96) {
  return (twips * dpi + 720) / 1440;
}
inline constexpr std::string_view kWindowCaption = "Blinkolux";
inline constexpr int kClientWidth = 7140;
inline constexpr int kClientHeight = 780;

// In tab order.
enum class ControlId { Slider1, Label1, Check1, Command1, Command2, Command3, Check2 };
enum class ControlKind { Slider, Label, CheckBox, PushButton };

struct ControlDescription {
  ControlId id;
  ControlKind kind;
  std::string_view caption;
  int left, top, width, height;
  int value;  // slider position, or check box state (0 or 1)
};

inline constexpr std::array<ControlDescription, 7> kControls{{
    {ControlId::Slider1, ControlKind::Slider, "", 120, 360, 3255, 255, 100},
    {ControlId::Label1, ControlKind::Label, "Speed", 240, 120, 1935, 255, 0},
    {ControlId::Check1, ControlKind::CheckBox, "Random events", 3360, 60, 1455, 255, 1},
    {ControlId::Command1, ControlKind::PushButton, "Inverse direction", 3360, 360, 1455, 375, 0},
    {ControlId::Command2, ControlKind::PushButton, "Light show 1", 4800, 360, 1095, 375, 0},
    {ControlId::Command3, ControlKind::PushButton, "Light show 2", 5880, 360, 1215, 375, 0},
    {ControlId::Check2, ControlKind::CheckBox, "Invert lights", 5040, 60, 2055, 255, 0},
}};

constexpr const ControlDescription& control(ControlId id) {
  return kControls[static_cast<std::size_t>(id)];
}

// The lamp mirror, in the free band between the "Speed" text and "Random events": no control of the
// table moves for it, and it takes no focus.
struct Band {
  int left, top, width, height;  // twips
};
inline constexpr Band kMirror{2250, 60, 1050, 240};

// How a mirrored lamp looks, the same in light and dark themes: a lit lamp is green, a dark one
// grey, and one that the keyboard can't show only outlined, dashed. Colours are 0xRRGGBB.
struct LampLook {
  bool filled;
  std::uint32_t fill, edge, letter;
};
constexpr LampLook lampLook(bool driven, bool lit) {
  if (!driven) return {false, 0, 0x909090, 0x909090};
  return lit ? LampLook{true, 0x7bed4f, 0x2d8a1f, 0x000000}
             : LampLook{true, 0x454c56, 0x202328, 0xd0d0d0};
}

// Where lamp `index` stands in a mirror of `width` x `height` pixels: a circle in its third.
struct Circle {
  int left, top, side;
};
constexpr Circle lampCircle(std::size_t index, int width, int height) {
  const int third = width / 3, side = (height < third ? height : third) - 1;
  return {third * static_cast<int>(index) + (third - side) / 2, (height - side) / 2, side};
}

// The slider as it is read aloud and shown in its tooltip: named after its label, with its value
// in what it means.
inline std::string speedText(int ms) {
  return std::to_string(ms) + " ms per step";
}

// The slider's range: its position is the running light's step in ms, and never 0.
inline constexpr int kSliderMin = 1;
inline constexpr int kSliderMax = 1000;
inline constexpr int kSliderSmallChange = 1;
inline constexpr int kSliderLargeChange = 5;

inline constexpr TimerDescription kTimer1{100, true};     // running light
inline constexpr TimerDescription kTimer2{1, true};       // speed poll
inline constexpr TimerDescription kTimer3{300, false};    // show 1
inline constexpr TimerDescription kTimer4{400, false};    // show 2
inline constexpr TimerDescription kMrRandom{1000, true};  // random events

}  // namespace blinkolux
