#pragma once

#include <windows.h>

// The quick-index object "SvcBridge.dll" hands out through its export "CreatePLibWrapper".
// Both sides are built by the same compiler, so a plain abstract class is a stable layout.
// Every method uses the stdcall convention so the 32-bit layout matches on both sides.
class IPLibWrapper {
 public:
  // Called once right after creation with (0, L"lumora", 0); returns 0 on success.
  virtual int WINAPI Initialize(int flags, const wchar_t* product, int reserved) = 0;
  virtual int WINAPI GetQuickIndexState() = 0;
  // Returns the state now in force.
  virtual int WINAPI SetQuickIndexState(int state) = 0;
  // Deletes the object; the pointer is invalid afterwards.
  virtual void WINAPI Release() = 0;

 protected:
  ~IPLibWrapper() = default;
};

// Export signatures of "SvcBridge.dll" (undecorated names on both architectures).
using StartStatFn = BOOL(WINAPI*)();
using SendStatUrlFn = BOOL(WINAPI*)(const wchar_t* category, const wchar_t* event);
// Returns a zero-terminated text owned by the library, valid while it stays loaded.
using GetOsVersionFn = const wchar_t*(WINAPI*)();
using CreatePLibWrapperFn = IPLibWrapper*(WINAPI*)();
