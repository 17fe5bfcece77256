#include <windows.h>

#include <string>

#include "basic_lib/scoped_handle.h"
#include "companions/tray/tray_core.h"
#include "ipc-message/message/channel.h"
#include "ipc-message/message/channelimpl.h"

namespace {

// Records every message as it arrives, before the sender's call returns: a viewer that ends
// the tray right after its exit message must still find that message in the record.
std::wstring g_record_path;
WNDPROC g_channel_proc = nullptr;

LRESULT CALLBACK RecordingProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_COPYDATA && !g_record_path.empty()) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    if (cds && cds->lpData &&
        (cds->dwData == CChannelImpl::kDispatchLater ||
         cds->dwData == CChannelImpl::kDispatchNow)) {
      IPC::Message message(static_cast<const char*>(cds->lpData), cds->cbData);
      if (message.IsValid()) {
        lumora_tray::AppendRecord(g_record_path, lumora_tray::FormatRecord(message));
      }
    }
  }
  return ::CallWindowProcW(g_channel_proc, wnd, msg, wparam, lparam);
}

// The exit message (routed to the tray or to everyone) ends the program.
class TrayListener : public IChannelListener2 {
 public:
  void OnMessageReceived(const IPC::Message& message) override {
    if (message.type() == lumora_tray::kTypeExit) ::PostQuitMessage(0);
  }
  int GetRoutingId() override { return lumora_tray::kTrayRoutingId; }
  void OnPeerLost(bool) override {}
};

// Creates a named mutex and keeps it; false (and no handle) when it existed already.
bool HoldMutex(const std::wstring& name, basic_lib::ScopedKernelHandle* out) {
  out->Reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!*out) return false;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    out->Reset();
    return false;
  }
  return true;
}

std::wstring ExeFolder() {
  wchar_t buf[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  std::wstring path(buf, n);
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  lumora_tray::Options options = lumora_tray::ParseCommandLine(::GetCommandLineW());
  std::wstring channel_name = std::wstring(lumora_tray::kChannelName) + options.instance;
  if (options.quit_viewers) return lumora_tray::SendQuitToViewers(channel_name) > 0 ? 0 : 1;

  // Do not keep the starter's folder busy.
  std::wstring exe_folder = ExeFolder();
  if (!exe_folder.empty()) ::SetCurrentDirectoryW(exe_folder.c_str());

  basic_lib::ScopedKernelHandle tray_mutex, upgrade_mutex;
  // One tray per session: a second start leaves the running one alone.
  if (!HoldMutex(std::wstring(lumora_tray::kTrayMutex) + options.instance, &tray_mutex)) return 0;
  HoldMutex(std::wstring(lumora_tray::kUpgradeMutex) + options.instance, &upgrade_mutex);

  std::wstring folder = lumora_tray::ResolveDataFolder(options);
  if (!folder.empty()) g_record_path = folder + lumora_tray::kRecordFileName;
  TrayListener listener;
  CChannel channel;
  if (!channel.Connect(channel_name, false)) return 2;
  g_channel_proc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      channel.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
  channel.AddListener(&listener);

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  channel.RemoveListener(&listener);
  channel.Close();
  return 0;
}
