#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "lamps/virtual_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"
#include "window/win32/win32_window.h"

namespace blinkolux {
namespace {

RECT pixelRect(const ControlDescription& c) {
  return {pixels(c.left), pixels(c.top), pixels(c.left + c.width), pixels(c.top + c.height)};
}

std::wstring text(HWND window) {
  std::wstring buffer(256, L'\0');
  buffer.resize(static_cast<std::size_t>(GetWindowTextW(window, buffer.data(), 256)));
  return buffer;
}

// The real Win32 window over a virtual keyboard, on virtual time.
class Win32WindowTest : public ::testing::Test {
 protected:
  Win32WindowTest() { form.Form_Load(); }

  HWND childAt(ControlId id) {
    const RECT r = pixelRect(control(id));
    return ChildWindowFromPointEx(window.handle(), {(r.left + r.right) / 2, (r.top + r.bottom) / 2},
                                  CWP_SKIPINVISIBLE);
  }
  // A mouse click at the centre of the control's place in the table.
  void clickAt(ControlId id) {
    const HWND child = childAt(id);
    ASSERT_NE(child, window.handle());
    RECT r{};
    GetClientRect(child, &r);
    const LPARAM centre = MAKELPARAM(r.right / 2, r.bottom / 2);
    SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    SendMessageW(child, WM_LBUTTONUP, 0, centre);
    window.pump();
  }

  VirtualClock clock;
  VirtualKeyboard keyboard{kWindowsNtFamily, &clock};
  Form1 form{keyboard, clock};
  Win32Window window{form};
};

TEST_F(Win32WindowTest, HasItsCaptionFrameAndEveryControlWhereTheTableSays) {
  EXPECT_EQ(text(window.handle()), L"Blinkolux");
  const auto style = GetWindowLongW(window.handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  RECT client{};
  GetClientRect(window.handle(), &client);
  EXPECT_EQ(client.right, 476);
  EXPECT_EQ(client.bottom, 52);

  HWND previous = nullptr;
  for (const ControlDescription& c : kControls) {
    const HWND child = childAt(c.id);
    ASSERT_EQ(child, window.control(c.id));
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&place), 2);
    const RECT expected = pixelRect(c);
    EXPECT_TRUE(EqualRect(&place, &expected)) << static_cast<int>(c.id);
    EXPECT_EQ(text(child), std::wstring(c.caption.begin(), c.caption.end()));
    if (c.kind != ControlKind::Label) {
      if (previous != nullptr) {
        EXPECT_EQ(GetNextDlgTabItem(window.handle(), previous, FALSE), child);
      }
      previous = child;
    }
  }
  const HWND slider = window.control(ControlId::Slider1);
  EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), 1);
  EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 1000);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 100);
  EXPECT_EQ(SendMessageW(slider, TBM_GETLINESIZE, 0, 0), 1);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPAGESIZE, 0, 0), 5);
  EXPECT_EQ(SendMessageW(window.control(ControlId::Check1), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(window.control(ControlId::Check2), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(Win32WindowTest, EveryCaptionFitsItsControl) {
  for (const ControlDescription& c : kControls) {
    const HWND child = window.control(c.id);
    const HDC dc = GetDC(child);
    const auto old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
    const std::wstring caption(c.caption.begin(), c.caption.end());
    SIZE size{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(child, dc);
    RECT room{};
    GetClientRect(child, &room);
    if (c.kind == ControlKind::CheckBox) room.right -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
    if (c.kind == ControlKind::PushButton) InflateRect(&room, -2 * GetSystemMetrics(SM_CXEDGE), 0);
    EXPECT_LE(size.cx, room.right - room.left) << c.caption;
    EXPECT_LE(size.cy, room.bottom - room.top) << c.caption;
  }
}

TEST_F(Win32WindowTest, ClicksByPositionReachTheirHandlers) {
  clickAt(ControlId::Command1);
  EXPECT_TRUE(form.Direction);
  clickAt(ControlId::Check2);
  EXPECT_EQ(form.Check2.Value, 1);
  clickAt(ControlId::Check1);
  EXPECT_EQ(form.Check1.Value, 0);
  EXPECT_FALSE(form.MrRandom.enabled());
  clickAt(ControlId::Command2);
  EXPECT_TRUE(form.Timer3.enabled());
  EXPECT_FALSE(form.Timer1.enabled());
  clickAt(ControlId::Command3);
  EXPECT_TRUE(form.Timer4.enabled());
  EXPECT_FALSE(form.Timer3.enabled());
}

TEST_F(Win32WindowTest, TheSliderSetsTheRunningLightsInterval) {
  const HWND slider = window.control(ControlId::Slider1);
  SendMessageW(slider, WM_KEYDOWN, VK_PRIOR, 0);  // a large change: +5 (the trackbar's page up)
  SendMessageW(slider, WM_KEYDOWN, VK_RIGHT, 0);
  window.pump();
  const int value = form.Slider1.Value;
  EXPECT_EQ(value, static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0)));
  EXPECT_NE(value, 100);
  clock.advanceBy(form.timers, 1);
  EXPECT_EQ(form.Timer1.interval(), value);
  SendMessageW(slider, WM_KEYDOWN, VK_HOME, 0);
  clock.advanceBy(form.timers, 1);
  EXPECT_EQ(form.Timer1.interval(), 1);
}

}  // namespace
}  // namespace blinkolux
