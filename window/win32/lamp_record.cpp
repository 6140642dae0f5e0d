// SPDX-License-Identifier: MIT
#include "window/win32/lamp_record.h"

#include <string>

namespace blinkolux {

namespace {

// Nothing else creates it, the installer included: REG_OPTION_VOLATILE is ignored for a key that
// already exists.
constexpr wchar_t kKey[] = L"Software\\Blinkolux lamps found at start";
constexpr wchar_t kValue[] = L"Lamps";

HKEY createVolatile() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, &disposition) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

// A volatile key can't have a lasting subkey: that tells one made by something else.
bool isVolatile(HKEY key) {
  HKEY probe = nullptr;
  const LSTATUS made = RegCreateKeyExW(key, L"probe", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, &probe, nullptr);
  if (made != ERROR_SUCCESS) return made == ERROR_CHILD_MUST_BE_VOLATILE;
  RegCloseKey(probe);
  RegDeleteKeyW(key, L"probe");
  return false;
}

}  // namespace

LampRecord::LampRecord() : key_(createVolatile()) {
  if (key_ == nullptr || isVolatile(key_)) return;
  RegCloseKey(key_);
  RegDeleteTreeW(HKEY_CURRENT_USER, kKey);  // not ours to trust: made anew, volatile
  key_ = createVolatile();
}

LampRecord::~LampRecord() {
  if (key_ != nullptr) RegCloseKey(key_);
}

std::optional<Lamps> LampRecord::leftBehind() const {
  wchar_t text[4] = {};
  DWORD size = sizeof text;
  DWORD type = 0;
  if (key_ == nullptr ||
      RegQueryValueExW(key_, kValue, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  const std::wstring wide(text, wcsnlen(text, 3));
  return parsePattern(std::string(wide.begin(), wide.end()));
}

void LampRecord::keep(const Lamps& lamps) {
  if (key_ == nullptr) return;
  const std::string text = pattern(lamps);
  const std::wstring wide(text.begin(), text.end());
  RegSetValueExW(key_, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                 static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

void LampRecord::forget() {
  if (key_ != nullptr) RegDeleteValueW(key_, kValue);
}

}  // namespace blinkolux
