#include "basic_lib/win_version.h"

#include <windows.h>

namespace basic_lib {

bool IsWindowsVersionOrGreater(unsigned major, unsigned minor, unsigned service_pack) {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.wServicePackMajor = static_cast<WORD>(service_pack);
  DWORDLONG mask = 0;
  mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return ::VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                              mask) != FALSE;
}

bool IsWindows7OrGreater() { return IsWindowsVersionOrGreater(6, 1, 0); }
bool IsWindows8OrGreater() { return IsWindowsVersionOrGreater(6, 2, 0); }
bool IsWindows10OrGreater() { return IsWindowsVersionOrGreater(10, 0, 0); }

}  // namespace basic_lib
