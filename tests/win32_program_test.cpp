// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "lamps/lamp_access.h"
#include "lamps/win32/win32_keyboard.h"
#include "window/win32/single_instance.h"
#include "window/window_table.h"

namespace blinkolux {
namespace {

std::string program;  // the reporting build of blinkolux.exe, from the command line

// A process started with nothing of ours handed down, freed with this object.
struct Started {
  explicit Started(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
      info = {};
  }
  ~Started() {
    if (info.hProcess == nullptr) return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 0);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;
  // Its exit status once it ends within `ms`, else STILL_ACTIVE.
  DWORD exitCode(DWORD ms) const {
    DWORD status = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, ms) == WAIT_OBJECT_0)
      GetExitCodeProcess(info.hProcess, &status);
    return status;
  }
  PROCESS_INFORMATION info{};
};

bool contains(const std::vector<std::string>& seen, const std::vector<std::string>& run) {
  return std::search(seen.begin(), seen.end(), run.begin(), run.end()) != seen.end();
}

// blinkolux.exe as a user starts it, its standard output kept.
class Win32Program : public ::testing::Test {
 protected:
  void SetUp() override {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE write = nullptr;
    ASSERT_TRUE(CreatePipe(&output, &write, &inherit, 0));
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    std::string commandLine = program;
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &process));
    CloseHandle(write);
    WaitForInputIdle(process.hProcess, 5000);
    // Shown once it is complete and loaded.
    for (int i = 0; i < 500 && (window == nullptr || !IsWindowVisible(window)); ++i) {
      window = FindWindowW(L"Blinkolux", L"Blinkolux");
      Sleep(10);
    }
    ASSERT_TRUE(window != nullptr && IsWindowVisible(window));
  }
  void TearDown() override {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
      TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(output);
  }

  void click(ControlId id) {
    const ControlDescription& c = control(id);
    const POINT centre{pixels(c.left + c.width / 2), pixels(c.top + c.height / 2)};
    const HWND child = ChildWindowFromPoint(window, centre);
    ASSERT_NE(child, window);
    RECT r{};
    GetClientRect(child, &r);
    PostMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom / 2));
    PostMessageW(child, WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom / 2));
  }

  // The lamps seen within `ms`, one entry per change. A step's lamps change one after the other,
  // so a state counts once it has held for 20 ms.
  std::vector<std::string> watch(int ms) {
    using Clock = std::chrono::steady_clock;
    std::vector<std::string> seen;
    std::string candidate;
    auto since = Clock::now();
    const auto end = since + std::chrono::milliseconds(ms);
    for (auto now = since; now < end; now = Clock::now()) {
      const std::string lampsNow = pattern(lamps.GetLockStates());
      if (lampsNow != candidate) {
        candidate = lampsNow;
        since = now;
      } else if (now - since >= std::chrono::milliseconds(20) &&
                 (seen.empty() || seen.back() != candidate)) {
        seen.push_back(candidate);
      }
      Sleep(2);
    }
    return seen;
  }

  std::string report() {
    std::string text(64, '\0');
    DWORD read = 0;
    ReadFile(output, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    text.resize(read);
    return text;
  }

  User32 user32;
  Win32Keyboard keyboard{user32};
  LampAccess lamps{keyboard};
  HANDLE output = nullptr;
  PROCESS_INFORMATION process{};
  HWND window = nullptr;
};

TEST_F(Win32Program, RunsAndSteersTheLightAndPutsTheLampsBackWithinASecondOfClosing) {
  int controls = 0;
  EnumChildWindows(
      window, [](HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; },
      reinterpret_cast<LPARAM>(&controls));
  EXPECT_EQ(controls, 8);  // the table's seven and the lamp mirror

  click(ControlId::Check1);  // no random events in the way
  EXPECT_TRUE(contains(watch(1000), {"N..", "..S", ".C.", "N.."}));
  click(ControlId::Command1);
  EXPECT_TRUE(contains(watch(1000), {"N..", ".C.", "..S", "N.."}));
  click(ControlId::Check2);
  EXPECT_TRUE(contains(watch(1000), {"NC.", ".CS", "N.S", "NC."}));
  click(ControlId::Command2);
  const auto show = watch(2000);  // the first show plays from step 0, 400 ms a step
  EXPECT_TRUE(contains(show, {"...", "NCS", "N.S", ".C."})) << ::testing::PrintToString(show);

  keybd_event(VK_SCROLL, 0x45, KEYEVENTF_EXTENDEDKEY, 0);  // the user presses Scroll Lock
  keybd_event(VK_SCROLL, 0x45, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
  const auto closing = std::chrono::steady_clock::now();
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 1000), WAIT_OBJECT_0);
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(1));
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  EXPECT_EQ(status, 0U);
  const std::string lampsReported = report();
  ASSERT_EQ(lampsReported.size(), 22U) << lampsReported;
  EXPECT_EQ(lampsReported.substr(7, 3), lampsReported.substr(18, 3)) << lampsReported;
}

// The system menu and a move by keyboard run loops of Windows' own inside the program.
TEST_F(Win32Program, TheLightKeepsRunningWhileWindowsRunsItsOwnLoops) {
  click(ControlId::Check1);  // no random events in the way
  for (const WPARAM command : {SC_KEYMENU, SC_MOVE}) {
    PostMessageW(window, WM_SYSCOMMAND, command, command == SC_KEYMENU ? ' ' : 0);
    Sleep(200);
    EXPECT_TRUE(contains(watch(1000), {"N..", "..S", ".C.", "N.."})) << command;
    for (int i = 0; i < 2; ++i)
      PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    Sleep(200);
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 2000), WAIT_OBJECT_0);
}

TEST_F(Win32Program, ASecondCopyLeavesTheFirstAloneAndExits0) {
  EXPECT_EQ(Started(program).exitCode(5000), 0U);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(FindWindowW(L"Blinkolux", L"Blinkolux"), window);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 1000), WAIT_OBJECT_0);
}

// A forced end runs no code: the lamps found at start wait in a volatile key, and the next start
// puts them back before it begins. (Under Wine a new process starts with every lock off, so the
// record is written here, as an ended copy would have left it.)
class Win32ProgramEnded : public Win32Program {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Blinkolux lamps found at start", 0,
                              nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t left[] = L"N.S";
    RegSetValueExW(key, L"Lamps", 0, REG_SZ, reinterpret_cast<const BYTE*>(left), sizeof left);
    Win32Program::SetUp();
  }
  void TearDown() override {
    Win32Program::TearDown();
    RegCloseKey(key);
  }
  HKEY key = nullptr;
};

TEST_F(Win32ProgramEnded, TheNextStartPutsTheLampsBackFirst) {
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"Lamps", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(report(), "loaded N.S closed N.S\n");
  // Every restoring exit forgets the record.
  EXPECT_EQ(RegQueryValueExW(key, L"Lamps", nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
}

// Another program of the same user holds the name, as an event: no second copy, no silent end,
// but one message and exit status 1.
TEST(Win32ProgramName, HeldByAnotherKindOfObjectGetsAMessageAndExit1) {
  const HANDLE squatter = CreateEventW(nullptr, FALSE, FALSE, instanceName().c_str());
  ASSERT_NE(squatter, nullptr);
  const Started started(program);
  HWND message = nullptr;
  for (int i = 0; i < 500 && message == nullptr; ++i, Sleep(10))
    message = FindWindowW(L"#32770", L"Blinkolux");
  EXPECT_NE(message, nullptr);
  EXPECT_EQ(FindWindowW(L"Blinkolux", L"Blinkolux"), nullptr);
  PostMessageW(message, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(started.exitCode(5000), 1U);
  CloseHandle(squatter);
}

// The session ends as wineboot --end-session ends it: the lamps go back as on a close.
TEST_F(Win32Program, PutsTheLampsBackWhenTheSessionEnds) {
  click(ControlId::Command3);
  watch(600);
  Started("wineboot.exe --end-session").exitCode(5000);
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 1000), WAIT_OBJECT_0);
  const std::string lampsReported = report();
  ASSERT_EQ(lampsReported.size(), 22U) << lampsReported;
  EXPECT_EQ(lampsReported.substr(7, 3), lampsReported.substr(18, 3)) << lampsReported;
}

}  // namespace
}  // namespace blinkolux

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc > 1) blinkolux::program = argv[1];
  return RUN_ALL_TESTS();
}
