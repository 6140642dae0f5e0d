// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "form_fixture.h"
#include "window/win32/placement.h"
#include "window/win32/win32_window.h"

namespace blinkolux {
namespace {

RECT pixelRect(const ControlDescription& c, int dpi) {
  return {pixels(c.left, dpi), pixels(c.top, dpi), pixels(c.left + c.width, dpi),
          pixels(c.top + c.height, dpi)};
}

// The DPI the test script set for this run of Wine (LogPixels).
int expectedDpi() {
  const char* dpi = std::getenv("BLINKOLUX_DPI");
  return dpi != nullptr ? std::atoi(dpi) : 96;
}

// The window's client area and every control where the table puts them at `dpi`.
void expectLaidOutAt(HWND window, int dpi) {
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, pixels(kClientWidth, dpi));
  EXPECT_EQ(client.bottom, pixels(kClientHeight, dpi));
  for (const ControlDescription& c : kControls) {
    RECT place{};
    GetWindowRect(GetDlgItem(window, 100 + static_cast<int>(c.id)), &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    const RECT expected = pixelRect(c, dpi);
    EXPECT_TRUE(EqualRect(&place, &expected)) << c.caption << " at " << dpi << " DPI";
  }
}

std::wstring text(HWND window) {
  std::wstring buffer(256, L'\0');
  buffer.resize(static_cast<std::size_t>(GetWindowTextW(window, buffer.data(), 256)));
  return buffer;
}

std::string enabledTimersOf(const Form1& form) {
  std::string enabled;
  for (const Timer* timer :
       {&form.Timer1, &form.Timer2, &form.Timer3, &form.Timer4, &form.MrRandom})
    enabled += timer->enabled() ? '1' : '0';
  return enabled;
}

// The real Win32 window over a virtual keyboard, on virtual time.
class Win32WindowTest : public ::testing::Test {
 protected:
  Win32WindowTest() { form.Form_Load(); }

  HWND childAt(ControlId id) {
    const RECT r = pixelRect(control(id), window.dpi());
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
  Form1 form{keyboard.driver, clock};
  Win32Window window{form};
};

TEST_F(Win32WindowTest, HasItsCaptionFrameAndEveryControlWhereTheTableSays) {
  EXPECT_EQ(text(window.handle()), L"Blinkolux");
  const auto style = GetWindowLongW(window.handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_EQ(window.dpi(), expectedDpi());
  expectLaidOutAt(window.handle(), window.dpi());

  HWND previous = nullptr;
  for (const ControlDescription& c : kControls) {
    const HWND child = childAt(c.id);
    ASSERT_EQ(child, window.control(c.id));
    EXPECT_EQ(text(child), std::wstring(c.caption.begin(), c.caption.end()));
    if (c.kind != ControlKind::Label) {
      if (previous != nullptr) {
        EXPECT_EQ(GetNextDlgTabItem(window.handle(), previous, FALSE), child);
      }
      previous = child;
    }
  }
  const HWND slider = window.control(ControlId::Slider1);
  // Screen readers name it after the text before it.
  EXPECT_EQ(GetWindow(slider, GW_HWNDPREV), window.control(ControlId::Label1));
  EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), 1);
  EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 1000);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 100);
  EXPECT_EQ(SendMessageW(slider, TBM_GETLINESIZE, 0, 0), 1);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPAGESIZE, 0, 0), 5);
  EXPECT_EQ(SendMessageW(window.control(ControlId::Check1), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(window.control(ControlId::Check2), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

// Every caption can be read in full inside its control.
void expectCaptionsFit(const Win32Window& window) {
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

TEST_F(Win32WindowTest, EveryCaptionFitsItsControl) {
  expectCaptionsFit(window);
}

// The user's larger text (the message font at 16 px instead of 12) lays the window out larger, as
// a higher DPI does, and every caption still fits.
TEST(Win32TextSize, LargerTextLaysTheWindowOutLarger) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  const NONCLIENTMETRICSW saved = metrics;
  metrics.lfMessageFont.lfHeight = -MulDiv(16, expectedDpi(), 96);
  SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  {
    VirtualClock clock;
    VirtualKeyboard keyboard;
    Form1 form(keyboard.driver, clock);
    Win32Window window(form);
    EXPECT_EQ(window.dpi(), expectedDpi() * 16 / 12);
    expectLaidOutAt(window.handle(), window.dpi());
    expectCaptionsFit(window);
  }
  SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof saved,
                        const_cast<NONCLIENTMETRICSW*>(&saved), 0);
}

// As Windows sends it when the window moves to a monitor of another DPI, and as any other program
// can post it: the window's own DPI counts, and only a rectangle that fits a frame at that DPI.
// Clicks count only from the window's own controls.
TEST_F(Win32WindowTest, MessagesFromOtherProgramsLeaveItAsItWas) {
  const auto fontHeight = [this] {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(
                   SendMessageW(window.control(ControlId::Command1), WM_GETFONT, 0, 0)),
               sizeof font, &font);
    return std::abs(font.lfHeight);
  };
  const int dpi = window.dpi(), font = fontHeight();
  RECT suggested{0, 0, pixels(kClientWidth, dpi), pixels(kClientHeight, dpi)};
  AdjustWindowRectEx(&suggested, GetWindowLongW(window.handle(), GWL_STYLE), FALSE,
                     GetWindowLongW(window.handle(), GWL_EXSTYLE));
  OffsetRect(&suggested, 40 - suggested.left, 30 - suggested.top);
  RECT huge{0, 0, 60000, 60000};
  for (const auto& [w, l] :
       {std::pair{MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested)},
        std::pair{MAKEWPARAM(144, 144), LPARAM{0}},
        std::pair{MAKEWPARAM(65535, 65535), reinterpret_cast<LPARAM>(&huge)}}) {
    SendMessageW(window.handle(), WM_DPICHANGED, w, l);
    EXPECT_EQ(window.dpi(), dpi);
    expectLaidOutAt(window.handle(), dpi);
    EXPECT_EQ(fontHeight(), font);
  }
  RECT frame{};
  GetWindowRect(window.handle(), &frame);
  EXPECT_EQ(frame.left, 40);  // where the one fitting suggestion put it
  EXPECT_EQ(frame.top, 30);

  const std::string before = enabledTimersOf(form);
  for (const int id : {0, 99, 107, 0xffff})
    SendMessageW(window.handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window.mirror()));
  window.pump();
  EXPECT_FALSE(form.Direction);
  EXPECT_EQ(enabledTimersOf(form), before);
}

TEST_F(Win32WindowTest, KeepsTheFocusAsADialogDoesFromTheSliderOn) {
  ShowWindow(window.handle(), SW_SHOW);
  SetForegroundWindow(window.handle());
  window.pump();
  EXPECT_EQ(GetFocus(), window.control(ControlId::Slider1));
  SetFocus(window.control(ControlId::Command2));
  const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                     100, 100, nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  SetActiveWindow(other);
  window.pump();
  SetForegroundWindow(window.handle());
  SetActiveWindow(window.handle());
  window.pump();
  EXPECT_EQ(GetFocus(), window.control(ControlId::Command2));
  DestroyWindow(other);
}

LRESULT CALLBACK watchPaints(HWND window, UINT message, WPARAM w, LPARAM l, UINT_PTR /*id*/,
                             DWORD_PTR onPaint) {
  if (message == WM_PAINT) (*reinterpret_cast<std::function<void()>*>(onPaint))();
  return DefSubclassProc(window, message, w, l);
}

// Within the step that changed the lamps, and only then: through a show's end step too, whose
// pause holds up the message loop.
TEST_F(Win32WindowTest, TheLampMirrorPaintsEveryChangeAtOnceAndNothingElse) {
  form.Rnd = [] { return 0.0F; };
  ShowWindow(window.handle(), SW_SHOW);
  UpdateWindow(window.handle());
  window.pump();
  RECT place{};
  GetWindowRect(window.mirror(), &place);
  MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&place), 2);
  const int dpi = window.dpi();
  const RECT band{pixels(kMirror.left, dpi), pixels(kMirror.top, dpi),
                  pixels(kMirror.left + kMirror.width, dpi),
                  pixels(kMirror.top + kMirror.height, dpi)};
  EXPECT_TRUE(EqualRect(&place, &band));
  std::vector<MirrorPaint> paints;
  std::function<void()> onPaint = [&] {
    EXPECT_EQ(form.lampsShown, keyboard.lamps());
    paints.push_back({clock.now(), pattern(form.lampsShown)});
  };
  SetWindowSubclass(window.mirror(), watchPaints, 1, reinterpret_cast<DWORD_PTR>(&onPaint));
  clock.advanceTo(form.timers, kMirrorClick);
  clickAt(ControlId::Command2);
  clock.advanceTo(form.timers, 7100);
  EXPECT_EQ(paints, mirrorTimeline());
  RemoveWindowSubclass(window.mirror(), watchPaints, 1);
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

// What the slider's tooltip says.
std::wstring tipOf(const Win32Window& window) {
  std::wstring tip(80, L'\0');
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window.handle();
  tool.uId = reinterpret_cast<UINT_PTR>(window.control(ControlId::Slider1));
  tool.lpszText = tip.data();
  SendMessageW(window.tips(), TTM_GETTEXTW, tip.size(), reinterpret_cast<LPARAM>(&tool));
  tip.resize(tip.find(L'\0'));
  return tip;
}

TEST_F(Win32WindowTest, TheSliderSetsTheRunningLightsIntervalAndSaysItInItsTooltip) {
  const HWND slider = window.control(ControlId::Slider1);
  EXPECT_EQ(tipOf(window), L"100 ms per step");
  SendMessageW(slider, WM_KEYDOWN, VK_PRIOR, 0);  // a large change: +5 (the trackbar's page up)
  SendMessageW(slider, WM_KEYDOWN, VK_RIGHT, 0);
  window.pump();
  const int value = form.Slider1.Value;
  EXPECT_EQ(value, static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0)));
  EXPECT_NE(value, 100);
  clock.advanceBy(form.timers, 1);
  EXPECT_EQ(form.Timer1.interval(), value);
  EXPECT_EQ(tipOf(window), wide(speedText(value)));
  SendMessageW(slider, WM_KEYDOWN, VK_HOME, 0);
  clock.advanceBy(form.timers, 1);
  EXPECT_EQ(form.Timer1.interval(), 1);
}

TEST(Win32Resources, TheManifestAsksForVisualStylesAndPerMonitorDpiAwareness) {
  const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                             SizeofResource(nullptr, found));
  for (const char* wanted :
       {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm",
        ">PerMonitorV2, PerMonitor</dpiAwareness>", "level=\"asInvoker\""})
    EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
}

// A close, a session end and a click sent from another thread while a handler reads the lamps (a
// tick, or a show start), let in as Win32Keyboard's look at its queue lets them in.
TEST(Win32Handlers, NeverRunInsideAnotherAndTheLampsEndAsLoaded) {
  for (const UINT message : {WM_CLOSE, WM_ENDSESSION, WM_COMMAND}) {
    for (const bool duringShowStart : {false, true}) {
      InterruptedForm run;
      Win32Window window(run.form);
      run.form.Form_Load();
      const HWND handle = window.handle();
      const WPARAM w =
          message == WM_ENDSESSION ? TRUE : MAKEWPARAM(100 + 3, BN_CLICKED);  // Command1
      const LPARAM l =
          message == WM_COMMAND ? reinterpret_cast<LPARAM>(GetDlgItem(handle, 100 + 3)) : 0;
      bool unloadedInside = false, clickedInside = false;
      run.platform.onRead = [&] {
        std::atomic<bool> sent = false;
        std::thread sender([&] {
          SendMessageW(handle, message, message == WM_CLOSE ? 0 : w, l);
          sent = true;
        });
        for (MSG peeked; !sent; Sleep(1))
          PeekMessageW(&peeked, nullptr, 0, 0, PM_NOREMOVE);
        sender.join();
        unloadedInside = !IsWindow(handle);
        clickedInside = run.form.Direction;
      };
      if (duringShowStart)
        SendMessageW(handle, WM_COMMAND, MAKEWPARAM(100 + 4, BN_CLICKED),
                     reinterpret_cast<LPARAM>(window.control(ControlId::Command2)));
      else
        run.clock.advanceTo(run.form.timers, 100);
      window.pump();
      const std::string what = std::to_string(message) + (duringShowStart ? " show" : " tick");
      EXPECT_EQ(unloadedInside, message == WM_ENDSESSION) << what;  // the one that can't wait
      EXPECT_FALSE(clickedInside) << what;
      if (message == WM_COMMAND) {
        EXPECT_TRUE(run.form.Direction) << what;  // after the handler
        SendMessageW(handle, WM_CLOSE, 0, 0);
      }
      EXPECT_FALSE(IsWindow(handle)) << what;
      EXPECT_EQ(pattern(run.keyboard.lamps()), ".C.") << what;
    }
  }
}

}  // namespace
}  // namespace blinkolux
