#include "app/crash_filter.h"

#include <shellapi.h>

#include <cstring>
#include <cwchar>

#include "basic_lib/scoped_handle.h"

namespace crash {
namespace {

// Filled before the filter is installed; the filter itself only reads them.
struct CrashIdentity {
  std::vector<std::wstring> candidates;
  std::wstring source;
  std::wstring version;
  int report = 0;
};
CrashIdentity* g_identity = nullptr;

std::wstring ParentFolder(const std::wstring& folder) {
  // folder ends with '\': drop it, then cut after the previous separator.
  if (folder.size() < 2) return std::wstring();
  const size_t cut = folder.find_last_of(L"\\/", folder.size() - 2);
  if (cut == std::wstring::npos) return std::wstring();
  return folder.substr(0, cut + 1);
}

bool IsReadableFile(const std::wstring& path) {
  basic_lib::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid();
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
  if (!g_identity) return EXCEPTION_EXECUTE_HANDLER;
  for (const std::wstring& candidate : g_identity->candidates) {
    if (!IsReadableFile(candidate)) continue;
    const std::wstring params = FormatFaultSenderParameters(
        static_cast<uint64_t>(reinterpret_cast<uintptr_t>(info)), ::GetCurrentProcessId(),
        ::GetCurrentThreadId(), g_identity->source, g_identity->version, g_identity->report);
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    sei.lpVerb = L"open";
    sei.lpFile = candidate.c_str();
    sei.lpParameters = params.c_str();
    sei.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&sei) && sei.hProcess) {
      ::WaitForSingleObject(sei.hProcess, INFINITE);
      ::CloseHandle(sei.hProcess);
    }
    break;
  }
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

std::vector<uint8_t> FilterPatchBytes() {
#if defined(_M_X64) || defined(__x86_64__)
  return {0x33, 0xC0, 0xC3};
#else
  return {0x33, 0xC0, 0xC2, 0x04, 0x00};
#endif
}

bool PatchCode(void* target, const std::vector<uint8_t>& bytes) {
  if (!target || bytes.empty()) return false;
  DWORD old_protect = 0;
  if (!::VirtualProtect(target, bytes.size(), PAGE_EXECUTE_READWRITE, &old_protect)) return false;
  std::memcpy(target, bytes.data(), bytes.size());
  DWORD ignored = 0;
  ::VirtualProtect(target, bytes.size(), old_protect, &ignored);
  ::FlushInstructionCache(::GetCurrentProcess(), target, bytes.size());
  return true;
}

std::vector<std::wstring> FaultSenderCandidates(const std::wstring& exe_folder) {
  const wchar_t kName[] = L"FaultSender.exe";
  std::vector<std::wstring> out;
  const std::wstring parent = ParentFolder(exe_folder);
  const std::wstring grandparent = ParentFolder(parent);
  out.push_back(exe_folder + kName);
  out.push_back(exe_folder + L"Support\\" + kName);
  if (!parent.empty()) {
    out.push_back(parent + kName);
    out.push_back(parent + L"Support\\" + kName);
  }
  if (!grandparent.empty()) out.push_back(grandparent + kName);
  return out;
}

std::wstring FormatFaultSenderParameters(uint64_t exception_address, DWORD process_id,
                                         DWORD thread_id, const std::wstring& source,
                                         const std::wstring& version, int report) {
  wchar_t numbers[96];
  std::swprintf(numbers, sizeof(numbers) / sizeof(numbers[0]), L"--pep=%llu --pid=%d --tid=%d",
                static_cast<unsigned long long>(exception_address), static_cast<int>(process_id),
                static_cast<int>(thread_id));
  std::wstring params(numbers);
  params += L" --src=" + source + L" --ver=" + version + L" --rep=" + std::to_wstring(report);
  return params;
}

std::wstring ReadFileVersionText(const std::wstring& path) {
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return std::wstring();
  std::vector<BYTE> block(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return std::wstring();
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return std::wstring();
  }
  wchar_t text[64];
  std::swprintf(text, 64, L"%d.%d.%d.%d", static_cast<int>(HIWORD(info->dwFileVersionMS)),
                static_cast<int>(LOWORD(info->dwFileVersionMS)),
                static_cast<int>(HIWORD(info->dwFileVersionLS)),
                static_cast<int>(LOWORD(info->dwFileVersionLS)));
  return text;
}

bool InstallCrashFilter(const std::wstring& exe_folder, const std::wstring& source,
                        const std::wstring& version, int report) {
  static CrashIdentity identity;
  identity.candidates = FaultSenderCandidates(exe_folder);
  identity.source = source;
  identity.version = version;
  identity.report = report;
  g_identity = &identity;

  ::SetUnhandledExceptionFilter(&CrashFilter);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  void* entry =
      kernel ? reinterpret_cast<void*>(::GetProcAddress(kernel, "SetUnhandledExceptionFilter"))
             : nullptr;
  return PatchCode(entry, FilterPatchBytes());
}

}  // namespace crash
