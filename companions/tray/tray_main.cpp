#include <windows.h>

#include <string>

#include "basic_lib/scoped_handle.h"
#include "companions/tray/tray_core.h"
#include "ipc-message/message/channel.h"

namespace {

// Records every message the viewers send; the exit message ends the program.
class TrayListener : public IChannelListener2 {
 public:
  explicit TrayListener(std::wstring record_path) : record_path_(std::move(record_path)) {}

  void OnMessageReceived(const IPC::Message& message) override {
    if (!record_path_.empty())
      lumora_tray::AppendRecord(record_path_, lumora_tray::FormatRecord(message));
    if (message.type() == lumora_tray::kTypeExit) ::PostQuitMessage(0);
  }
  int GetRoutingId() override { return lumora_tray::kTrayRoutingId; }
  void OnPeerLost(bool) override {}

 private:
  std::wstring record_path_;
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
  TrayListener listener(folder.empty() ? std::wstring() : folder + lumora_tray::kRecordFileName);
  CChannel channel;
  if (!channel.Connect(channel_name, false)) return 2;
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
