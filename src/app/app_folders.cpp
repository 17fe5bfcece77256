#include "app/app_folders.h"

#include <windows.h>
// The shell headers need the base Windows declarations first.
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <vector>

#include "basic_lib/path_util.h"
#include "basic_lib/scoped_handle.h"
#include "basic_lib/string_util.h"
#include "basic_lib/win32_system.h"

namespace app {

namespace {
constexpr size_t kDumpsToKeep = 10;

SRWLOCK g_folder_lock = SRWLOCK_INIT;

std::wstring& OverrideStorage() {
  static std::wstring storage;
  return storage;
}

std::wstring QueryRealDataFolder() {
  wchar_t app_data[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, app_data))) {
    return std::wstring();
  }
  wchar_t canonical[MAX_PATH] = {};
  if (!::PathCanonicalizeW(canonical, app_data)) return std::wstring();
  std::wstring folder(canonical);
  if (folder.empty()) return folder;
  return basic_lib::WithTrailingBackslash(folder) + L"Lumora\\";
}

void CreateIfMissing(const std::wstring& folder) {
  if (!basic_lib::FolderExists(folder)) ::CreateDirectoryW(folder.c_str(), nullptr);
}
}  // namespace

std::wstring GetDataFolder() {
  ::AcquireSRWLockShared(&g_folder_lock);
  std::wstring overridden = OverrideStorage();
  ::ReleaseSRWLockShared(&g_folder_lock);
  if (!overridden.empty()) return overridden;
  static const std::wstring real = QueryRealDataFolder();
  return real;
}

void SetDataFolderOverride(const std::wstring& folder) {
  ::AcquireSRWLockExclusive(&g_folder_lock);
  OverrideStorage() = folder.empty() ? std::wstring() : basic_lib::WithTrailingBackslash(folder);
  ::ReleaseSRWLockExclusive(&g_folder_lock);
}

std::wstring GetTempFolder(const std::wstring& name) {
  std::wstring data = GetDataFolder();
  if (data.empty()) return data;
  std::wstring temp = data + L"temp\\";
  return name.empty() ? temp : temp + name + L"\\";
}

std::wstring GetCrashFolder() { return GetTempFolder(L"crash"); }

std::wstring GetConfigPath() {
  std::wstring data = GetDataFolder();
  return data.empty() ? data : data + L"config.ini";
}

void EnsureFolders() {
  std::wstring data = GetDataFolder();
  if (data.empty() || basic_lib::FolderExists(GetCrashFolder())) return;
  CreateIfMissing(data);
  CreateIfMissing(GetTempFolder());
  CreateIfMissing(GetCrashFolder());
}

void CleanUpAtExit() {
  std::wstring temp = GetTempFolder();
  if (temp.empty()) return;
  std::wstring print_file = temp + L"tempprint.jpg";
  if (basic_lib::FileExists(print_file)) ::DeleteFileW(print_file.c_str());

  std::wstring crash = GetCrashFolder();
  std::vector<std::wstring> dumps;
  WIN32_FIND_DATAW found = {};
  basic_lib::ScopedFindHandle find(::FindFirstFileW((crash + L"*.dmp").c_str(), &found));
  if (!find) return;
  do {
    std::wstring name = found.cFileName;
    // The pattern also matches longer extensions through short names; keep only real ".dmp".
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (name.size() < 4 || !basic_lib::EqualsNoCase(name.substr(name.size() - 4), L".dmp")) {
      continue;
    }
    dumps.push_back(crash + name);
  } while (::FindNextFileW(find.Get(), &found));
  if (dumps.size() <= kDumpsToKeep) return;
  std::sort(dumps.begin(), dumps.end());
  for (size_t i = 0; i + kDumpsToKeep < dumps.size(); ++i) ::DeleteFileW(dumps[i].c_str());
}

bool DeleteDataFolder() {
  std::wstring data = GetDataFolder();
  if (data.empty()) return false;
  return basic_lib::DeleteFolderTree(data);
}

}  // namespace app
