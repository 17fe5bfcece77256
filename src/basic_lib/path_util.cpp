#include "basic_lib/path_util.h"

#include <windows.h>
// The shell headers need the base Windows declarations first.
#include <shlwapi.h>

#include <vector>

namespace basic_lib {

namespace {
SRWLOCK g_exe_folder_lock = SRWLOCK_INIT;

// Function-local so that it is usable during other objects' static initialisation.
std::wstring& OverrideStorage() {
  static std::wstring storage;
  return storage;
}

std::wstring QueryModuleFolder() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::wstring();
    if (n < buf.size()) {
      std::wstring path(buf.data(), n);
      size_t slash = path.find_last_of(L"\\/");
      return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    }
    if (buf.size() >= 32768) return std::wstring();
    buf.resize(buf.size() * 2);
  }
}
}  // namespace

std::wstring GetExeFolder() {
  ::AcquireSRWLockShared(&g_exe_folder_lock);
  std::wstring overridden = OverrideStorage();
  ::ReleaseSRWLockShared(&g_exe_folder_lock);
  if (!overridden.empty()) return overridden;
  static const std::wstring real = QueryModuleFolder();
  return real;
}

void SetExeFolderOverride(const std::wstring& folder) {
  ::AcquireSRWLockExclusive(&g_exe_folder_lock);
  OverrideStorage() = folder.empty() ? std::wstring() : WithTrailingBackslash(folder);
  ::ReleaseSRWLockExclusive(&g_exe_folder_lock);
}

std::wstring WithTrailingBackslash(std::wstring path) {
  if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path += L'\\';
  return path;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

bool PathExists(const std::wstring& path) {
  return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::wstring& path) {
  if (path.empty()) return false;
  DWORD attr = ::GetFileAttributesW(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  if (path.empty()) return false;
  DWORD attr = ::GetFileAttributesW(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FindExtension(const std::wstring& path) {
  // PathFindExtensionW only reads up to the terminating zero, so any length is fine.
  return std::wstring(::PathFindExtensionW(path.c_str()));
}

std::wstring UnquotePath(const std::wstring& path) {
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
    return path.substr(1, path.size() - 2);
  }
  return path;
}

bool IsRootOrEmptyPath(const std::wstring& path) {
  std::wstring p = WithoutTrailingBackslash(path);
  if (p.empty() || p == L"\\" || p == L"/") return true;
  if (p.size() == 2 && p[1] == L':') return true;
  if (p.size() > 2 && p[0] == L'\\' && p[1] == L'\\') {
    // "\\server" or "\\server\share": a network root.
    size_t separators = 0;
    for (size_t i = 2; i < p.size(); ++i) separators += (p[i] == L'\\' || p[i] == L'/') ? 1 : 0;
    if (separators <= 1) return true;
  }
  return ::PathIsRootW(WithTrailingBackslash(p).c_str()) != FALSE;
}

}  // namespace basic_lib
