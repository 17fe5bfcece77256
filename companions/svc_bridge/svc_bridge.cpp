// The service bridge companion library. It keeps everything local: usage events are appended as
// lines to "svc_bridge_events.log" in the user's data folder, the quick-index switch lives in
// "svc_bridge.ini" beside it. Nothing goes over the network.
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

#include "service_bridge/plib_wrapper.h"

namespace {

constexpr size_t kMaxField = 256;  // longest category or event text that is recorded

// The user's data folder, ending with a backslash: LUMORA_DATA_DIR when set (tests and portable
// runs), else "Lumora" in the roaming application-data folder.
std::wstring DataFolder() {
  wchar_t buf[MAX_PATH + 2] = {};
  std::wstring folder;
  DWORD n = ::GetEnvironmentVariableW(L"LUMORA_DATA_DIR", buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    folder.assign(buf, n);
  } else {
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf))) {
      return std::wstring();
    }
    folder = buf;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    folder += L"Lumora";
  }
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder;
}

std::wstring EnsureDataFolder() {
  std::wstring folder = DataFolder();
  if (!folder.empty()) ::CreateDirectoryW(folder.c_str(), nullptr);  // one level; may exist
  return folder;
}

// Keeps one line one record: control characters and the separator become '_'.
std::wstring CleanField(const wchar_t* text) {
  if (!text) return std::wstring();
  std::wstring out(text, wcsnlen(text, kMaxField));
  for (wchar_t& c : out) {
    if (c < 0x20 || c == 0x7F) c = L'_';
  }
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
  return out;
}

// One record per line: UTC time, process id, category, event, tab separated. A single append
// write per line keeps lines of concurrent viewers whole.
bool AppendEvent(const std::wstring& category, const std::wstring& event) {
  const std::wstring folder = EnsureDataFolder();
  if (folder.empty()) return false;
  const std::wstring path = folder + L"svc_bridge_events.log";
  HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  SYSTEMTIME t;
  ::GetSystemTime(&t);
  wchar_t stamp[64];
  swprintf(stamp, 64, L"%04u-%02u-%02uT%02u:%02u:%02uZ\t%lu\t", t.wYear, t.wMonth, t.wDay, t.wHour,
           t.wMinute, t.wSecond, ::GetCurrentProcessId());
  const std::string line = ToUtf8(std::wstring(stamp) + category + L"\t" + event) + "\r\n";
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == line.size();
}

// RtlGetVersion tells the truth regardless of the caller's manifest.
using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);

INIT_ONCE g_version_once = INIT_ONCE_STATIC_INIT;
wchar_t g_version_text[128] = L"";

BOOL CALLBACK InitVersionText(INIT_ONCE*, void*, void**) {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  auto fn = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
                  : nullptr;
  if (!fn || fn(&info) != 0) return TRUE;  // leaves the text empty
  SYSTEM_INFO si;
  ::GetNativeSystemInfo(&si);
  const wchar_t* arch = si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64   ? L"x64"
                        : si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ? L"arm64"
                                                                                    : L"x86";
  swprintf(g_version_text, 128, L"Windows %lu.%lu.%lu %ls", info.dwMajorVersion,
           info.dwMinorVersion, info.dwBuildNumber, arch);
  return TRUE;
}

class QuickIndex final : public IPLibWrapper {
 public:
  int WINAPI Initialize(int, const wchar_t* product, int) override {
    section_ = L"default";
    if (product && *product) {
      std::wstring name(product, wcsnlen(product, 32));
      bool plain = true;
      for (wchar_t c : name) plain = plain && (iswalnum(c) || c == L'_' || c == L'-');
      if (plain) section_ = name;
    }
    const std::wstring folder = EnsureDataFolder();
    ini_ = folder.empty() ? std::wstring() : folder + L"svc_bridge.ini";
    return ini_.empty() ? -1 : 0;
  }
  // The switch is on until someone turns it off.
  int WINAPI GetQuickIndexState() override {
    if (ini_.empty()) return 0;
    return ::GetPrivateProfileIntW(section_.c_str(), L"quick_index", 1, ini_.c_str()) != 0 ? 1 : 0;
  }
  int WINAPI SetQuickIndexState(int state) override {
    if (ini_.empty()) return 0;
    const int value = state != 0 ? 1 : 0;
    ::WritePrivateProfileStringW(section_.c_str(), L"quick_index", value ? L"1" : L"0",
                                 ini_.c_str());
    return GetQuickIndexState();
  }
  void WINAPI Release() override { delete this; }

 private:
  std::wstring section_ = L"default";
  std::wstring ini_;
};

}  // namespace

extern "C" {

BOOL WINAPI StartStat() { return AppendEvent(L"session", L"start") ? TRUE : FALSE; }

BOOL WINAPI SendStatUrl(const wchar_t* category, const wchar_t* event) {
  const std::wstring c = CleanField(category);
  const std::wstring e = CleanField(event);
  if (c.empty() || e.empty()) return FALSE;
  return AppendEvent(c, e) ? TRUE : FALSE;
}

const wchar_t* WINAPI GetOsVersion() {
  ::InitOnceExecuteOnce(&g_version_once, InitVersionText, nullptr, nullptr);
  return g_version_text;
}

IPLibWrapper* WINAPI CreatePLibWrapper() { return new (std::nothrow) QuickIndex(); }

}  // extern "C"
