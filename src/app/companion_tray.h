#pragma once

#include <windows.h>

#include <string>

// What the viewer does with the companion tray program "LumoraTray.exe" and the installer's
// pending-update marker.
namespace tray {

constexpr wchar_t kTrayFileName[] = L"LumoraTray.exe";
constexpr wchar_t kTrayMutex[] = L"Global\\LmTray-95745a12eeaa410d";
constexpr wchar_t kTrayUpgradeMutex[] = L"LmTrayUpgradePrivilegeName-d7a77ee6517af62d";
constexpr wchar_t kUpdaterMutex[] = L"LUMORA_570E6FBC-027B-461C-9218-8447018C832F";
constexpr wchar_t kUpdateCheckMutex[] = L"2D098700-B9D3-4C9A-BEE1-991CD8189F15";
constexpr wchar_t kPendingUpdateState[] = L"ucndmMdjfmw";
constexpr wchar_t kMainExitMutex[] = L"LmMainExitMutex-ad756f18033b6ea0";

// A named mutex exists (also when it exists but we may not open it).
bool MutexExists(const wchar_t* name);
// Either of the tray program's mutexes exists.
bool IsTrayRunning();
// ShellExecuteW "open" of the tray program beside the executable; true for a result above 32.
bool StartTray(const std::wstring& exe_folder, const std::wstring& parameters);

// The installer's "config.ini" in the executable's folder has [update] state = the pending value.
bool HasPendingUpdate(const std::wstring& exe_folder);

// A top-level main window of another process exists.
bool OtherMainWindowExists();
// Ends every process whose executable path equals `tray_path` (case-insensitive). Returns how
// many were ended.
int TerminateProcessesAt(const std::wstring& tray_path);

}  // namespace tray
