#pragma once

namespace basic_lib {

// VerifyVersionInfoW tests (major, minor and service-pack major each compared greater or equal).
// They report the real version only when the executable's manifest lists that system.
bool IsWindowsVersionOrGreater(unsigned major, unsigned minor, unsigned service_pack);
bool IsWindows7OrGreater();
bool IsWindows8OrGreater();
bool IsWindows10OrGreater();

}  // namespace basic_lib
