// SPDX-License-Identifier: MIT
#include "window/win32/single_instance.h"

#include <sddl.h>

#include <memory>
#include <vector>

namespace blinkolux {

namespace {

struct CloseHandleOf {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct LocalFreeOf {
  void operator()(wchar_t* text) const { LocalFree(text); }
};

std::wstring userSid() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == 0) return L"";
  const std::unique_ptr<void, CloseHandleOf> owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  wchar_t* text = nullptr;
  if (size == 0 || GetTokenInformation(token, TokenUser, user.data(), size, &size) == 0 ||
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text) == 0)
    return L"";
  const std::unique_ptr<wchar_t, LocalFreeOf> ownedText(text);
  return text;
}

// The running copy's window, waiting a moment for one that is just starting.
HWND runningCopy() {
  for (int wait = 0; wait < 40; ++wait) {
    if (const HWND window = FindWindowW(L"Blinkolux", L"Blinkolux")) return window;
    Sleep(50);
  }
  return nullptr;
}

}  // namespace

std::wstring instanceName() {
  return L"Local\\Blinkolux-" + userSid();
}

SingleInstance::SingleInstance() {
  mutex_ = CreateMutexW(nullptr, FALSE, instanceName().c_str());
  // Taken already, or not a mutex at all (ERROR_INVALID_HANDLE: another kind of object).
  if (mutex_ != nullptr && GetLastError() != ERROR_ALREADY_EXISTS) return;
  if (const HWND running = runningCopy()) {
    ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    outcome_ = Outcome::RunningCopyRaised;
  } else {
    outcome_ = Outcome::NameTaken;
  }
}

SingleInstance::~SingleInstance() {
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

}  // namespace blinkolux
