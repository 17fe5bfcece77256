#include "app/companion_tray.h"

#include <psapi.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <vector>

#include "app/command_ids.h"
#include "basic_lib/scoped_handle.h"

namespace tray {
namespace {

BOOL CALLBACK FindOtherMainWindow(HWND wnd, LPARAM found) {
  wchar_t name[64];
  if (::GetClassNameW(wnd, name, 64) && ::lstrcmpW(name, kMainWindowClass) == 0) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid != ::GetCurrentProcessId()) {
      *reinterpret_cast<bool*>(found) = true;
      return FALSE;
    }
  }
  return TRUE;
}

void EnableDebugPrivilege() {
  basic_lib::ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.Receive())) {
    return;
  }
  TOKEN_PRIVILEGES tp = {};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &tp.Privileges[0].Luid)) {
    ::AdjustTokenPrivileges(token.Get(), FALSE, &tp, sizeof(tp), nullptr, nullptr);
  }
}

std::wstring ProcessImagePath(HANDLE process) {
  wchar_t path[MAX_PATH * 2];
  const DWORD n = ::K32GetModuleFileNameExW(process, nullptr, path, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return std::wstring();
  std::wstring result(path, n);
  if (result.find(L'~') != std::wstring::npos) {
    wchar_t long_path[MAX_PATH * 2];
    const DWORD m = ::GetLongPathNameW(result.c_str(), long_path, MAX_PATH * 2);
    if (m > 0 && m < MAX_PATH * 2) result.assign(long_path, m);
  }
  return result;
}

}  // namespace

bool MutexExists(const wchar_t* name) {
  basic_lib::ScopedKernelHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, name));
  if (mutex) return true;
  return ::GetLastError() == ERROR_ACCESS_DENIED;
}

bool IsTrayRunning() { return MutexExists(kTrayMutex) || MutexExists(kTrayUpgradeMutex); }

bool StartTray(const std::wstring& exe_folder, const std::wstring& parameters) {
  const std::wstring path = exe_folder + kTrayFileName;
  const HINSTANCE result =
      ::ShellExecuteW(nullptr, L"open", path.c_str(), parameters.c_str(), nullptr, SW_SHOWDEFAULT);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool HasPendingUpdate(const std::wstring& exe_folder) {
  const std::wstring ini = exe_folder + L"config.ini";
  if (!::PathFileExistsW(ini.c_str())) return false;
  wchar_t value[64] = {};
  ::GetPrivateProfileStringW(L"update", L"state", L"", value, 64, ini.c_str());
  return ::lstrcmpW(value, kPendingUpdateState) == 0;
}

bool OtherMainWindowExists() {
  bool found = false;
  ::EnumWindows(&FindOtherMainWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

int TerminateProcessesAt(const std::wstring& tray_path) {
  EnableDebugPrivilege();
  std::vector<DWORD> pids(2048);
  DWORD bytes = 0;
  if (!::K32EnumProcesses(pids.data(), static_cast<DWORD>(pids.size() * sizeof(DWORD)), &bytes)) {
    return 0;
  }
  const size_t count = bytes / sizeof(DWORD);
  int ended = 0;
  for (size_t i = 0; i < count; ++i) {
    if (pids[i] == 0 || pids[i] == ::GetCurrentProcessId()) continue;
    basic_lib::ScopedKernelHandle process(::OpenProcess(
        PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE, pids[i]));
    if (!process) continue;
    const std::wstring path = ProcessImagePath(process.Get());
    if (!path.empty() && ::lstrcmpiW(path.c_str(), tray_path.c_str()) == 0) {
      if (::TerminateProcess(process.Get(), 0)) ++ended;
    }
  }
  return ended;
}

}  // namespace tray
