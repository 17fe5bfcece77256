#include "app/tolvane_app.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include "app/app_config.h"
#include "app/app_folders.h"
#include "app/bridge_calls.h"
#include "app/command_line.h"
#include "app/companion_tray.h"
#include "app/crash_filter.h"
#include "app/ipc_message_mgr.h"
#include "app/tolvane_dlg.h"
#include "basic_lib/path_util.h"
#include "basic_lib/scoped_handle.h"
#include "document/current_document.h"
#include "image/wic_factory.h"
#include "lang/language.h"
#include "log/my_log.h"
#include "view_render/system_cache.h"

const wchar_t CTolvaneApp::kMissingSkinText[] =
    L"\u56fe\u7247\u67e5\u770b\u5931\u8d25\uff0c\u8bf7\u91cd\u65b0\u4e0b\u8f7d\u770b\u56fe"
    L"\u8f6f\u4ef6";

namespace {

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool ApplyDataFolderFromEnvironment() {
  wchar_t value[MAX_PATH * 2];
  const DWORD n = ::GetEnvironmentVariableW(kDataFolderEnvironment, value, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return false;
  app::SetDataFolderOverride(std::wstring(value, n));
  return true;
}

FCAutoInitGDIPlus::FCAutoInitGDIPlus() {
  Gdiplus::GdiplusStartupInput input;  // version 1
  Gdiplus::GdiplusStartup(&token_, &input, nullptr);
}

FCAutoInitGDIPlus::~FCAutoInitGDIPlus() {
  if (token_) Gdiplus::GdiplusShutdown(token_);
}

CTolvaneApp::CTolvaneApp() : exe_folder_(basic_lib::GetExeFolder()) {
  ApplyDataFolderFromEnvironment();
  // On a first start the folders do not exist yet: that run has no log and default settings.
  CMyLog::Instance().Open(app::GetDataFolder());
  CAppConfig::Instance();
  const std::wstring name = lang::GetText(L"app", L"NAME");
  SetAppName(name.empty() ? std::wstring(L"Lumora Viewer") : name);
  app::EnsureFolders();
}

CTolvaneApp::~CTolvaneApp() = default;

CTolvaneApp* CTolvaneApp::Instance() { return static_cast<CTolvaneApp*>(Current()); }

BOOL CTolvaneApp::InitInstance() {
  com_ = std::make_unique<FCAutoInitializeCOM>();
  gdiplus_ = std::make_unique<FCAutoInitGDIPlus>();

  // A null factory is allowed: every imaging path then fails cleanly.
  image::CreateSharedWicFactory();

  CCommandLine& command_line = CCommandLine::Instance();
  command_line.Parse(GetCommandTail());
  if (!command_line.RunStartupModes()) return FALSE;

  if (!CheckPendingUpdate()) return FALSE;

  crash::InstallCrashFilter(exe_folder_, L"lumoramain",
                            crash::ReadFileVersionText(exe_folder_ + L"LumoraViewer.exe"), 0);

  INITCOMMONCONTROLSEX icc = {sizeof(icc), 0xFF};
  ::InitCommonControlsEx(&icc);

  CheckResources();

  UpdateReceivers();

  {
    CTolvaneDlg dlg;
    SetMainWnd(&dlg);
    dlg.DoModal();
    SetMainWnd(nullptr);
  }
  return FALSE;
}

bool CTolvaneApp::CheckPendingUpdate() {
  if (!tray::HasPendingUpdate(exe_folder_) || tray::MutexExists(tray::kUpdaterMutex)) return true;
  {
    // Another start is handing the update over right now.
    basic_lib::ScopedKernelHandle mutex(
        ::CreateMutexExW(nullptr, tray::kUpdateCheckMutex, 0, MUTEX_MODIFY_STATE));
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) return false;
  }
  if (!tray::IsTrayRunning()) {
    const std::wstring params = CCommandLine::Instance().GetRawText() +
                                L" --need-upgrade-privilege-now --entry=main" + L" --from=main";
    if (tray::StartTray(exe_folder_, params)) return false;
  }
  return true;
}

void CTolvaneApp::CheckResources() {
  resource_folder_ = exe_folder_ + L"resources\\";
  skin_archive_ = resource_folder_ + L"res.zip";
  if (FolderExists(resource_folder_) && FileExists(skin_archive_)) return;
  // The program's own message box needs the skin; the system's (left-aligned) shows the text.
  ::MessageBoxW(nullptr, kMissingSkinText, GetAppName().c_str(), MB_OK | MB_ICONERROR);
  ::ExitProcess(static_cast<UINT>(-1));
}

void CTolvaneApp::UpdateReceivers() {
  if (CAppConfig::Instance().onlyOneInstance == 0) {
    receiver_.reset();
  } else if (!receiver_) {
    auto receiver = std::make_unique<CIPCReceiver>();
    if (receiver->Create()) receiver_ = std::move(receiver);
  }
  if (!always_receiver_) {
    auto receiver = std::make_unique<CIPCAlwaysReceiver>();
    if (receiver->Create()) always_receiver_ = std::move(receiver);
  }
}

int CTolvaneApp::ExitInstance() {
  // The document's render queue and the preloader's tasks end before COM and GDI+ go.
  CurrentDocument::DestroyInstance();
  CSystemCache::DestroyInstance();
  app::CleanUpAtExit();
  image::SetSharedWicFactory(nullptr);
  gdiplus_.reset();
  receiver_.reset();
  always_receiver_.reset();
  com_.reset();
  bridge::Destroy();
  CIPCMessageMgr::Destroy();
  CMyLog::DestroyInstance();
  CCommandLine::DestroyInstance();
  return CWinApp::ExitInstance();
}
