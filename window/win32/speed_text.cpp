// SPDX-License-Identifier: MIT
#include "window/win32/speed_text.h"

#include <commctrl.h>
#include <oleacc.h>

#include <string>

#include "window/win32/placement.h"
#include "window/window_table.h"

namespace blinkolux {

namespace {

// As oleacc.h has them; its initguid.h way would define every GUID of every header after it.
constexpr GUID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kIAccPropServices = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kValueProperty = {
    0x123fe443, 0x211a, 0x4615, {0x95, 0x27, 0xc4, 0x5a, 0x7e, 0x93, 0x71, 0x7a}};

TTTOOLINFOW sliderTool(HWND slider, wchar_t* text) {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(slider);
  tool.uId = reinterpret_cast<UINT_PTR>(slider);
  tool.lpszText = text;
  return tool;
}

}  // namespace

SpeedText::SpeedText(HWND slider, HWND tips) : slider_(slider), tips_(tips) {
  wchar_t none[] = L"";
  TTTOOLINFOW tool = sliderTool(slider_, none);
  SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  if (com_)
    CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices,
                     reinterpret_cast<void**>(&annotations_));
}

SpeedText::~SpeedText() {
  if (annotations_ != nullptr) {
    MSAAPROPID value = kValueProperty;
    annotations_->ClearHwndProps(slider_, OBJID_CLIENT, CHILDID_SELF, &value, 1);
    annotations_->Release();
  }
  if (com_) CoUninitialize();
}

void SpeedText::show(int ms) {
  std::wstring text = wide(speedText(ms));
  const TTTOOLINFOW tool = sliderTool(slider_, text.data());
  SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  if (annotations_ != nullptr)
    annotations_->SetHwndPropStr(slider_, OBJID_CLIENT, CHILDID_SELF, kValueProperty, text.c_str());
}

}  // namespace blinkolux
