#include "app/ipc_receiver.h"

#include "app/command_ids.h"
#include "framework/win_app.h"

namespace {
const wchar_t kReceiverClass[] = L"LumoraIPCReceiver";
}  // namespace

void AllowMessageThroughFilter(HWND wnd, UINT msg) {
  using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  static const FilterFn filter = reinterpret_cast<FilterFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx")));
  if (filter && wnd) filter(wnd, msg, 1 /* MSGFLT_ALLOW */, nullptr);
}

bool CIPCReceiverBase::Create(const wchar_t* name) {
  if (GetSafeHwnd()) return true;
  if (!RegisterWindowClass(kReceiverClass)) return false;
  if (!CreateEx(0, kReceiverClass, name, 0, RECT{0, 0, 0, 0}, HWND_MESSAGE, 0)) return false;
  AllowMessageThroughFilter(GetSafeHwnd(), WM_COPYDATA);
  return true;
}

LRESULT CIPCReceiverBase::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_COPYDATA) {
    framework::CWinApp* app = framework::CWinApp::Current();
    HWND main = app ? app->GetMainHwnd() : nullptr;
    if (!main || !::IsWindow(main)) return 0;
    return ::SendMessageW(main, WM_COPYDATA, ForwardedWParam(wparam), lparam);
  }
  return CWnd::WindowProc(msg, wparam, lparam);
}

bool CIPCReceiver::Create() { return CIPCReceiverBase::Create(kSingleInstanceReceiverName); }

bool CIPCAlwaysReceiver::Create() { return CIPCReceiverBase::Create(kAlwaysReceiverName); }
