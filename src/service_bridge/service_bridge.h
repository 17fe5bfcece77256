#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "service_bridge/plib_wrapper.h"

namespace service_bridge {

constexpr wchar_t kLibraryName[] = L"SvcBridge.dll";

// Usage-event categories and events.
constexpr wchar_t kCategoryMain[] = L"main";
constexpr wchar_t kCategoryFeature[] = L"feature";
constexpr wchar_t kEventOpen[] = L"open";          // main window initialisation
constexpr wchar_t kEventLocation[] = L"location";  // command 20001, web map
constexpr wchar_t kEventClip[] = L"clip";          // command 20010, resize
constexpr wchar_t kEventEnhance[] = L"enhance";    // command 20011, effect button

// What the bridge needs from the system; tests hand in a fake module through it.
class IBridgeSystem {
 public:
  virtual ~IBridgeSystem() = default;
  // A module of that name already in the process (GetModuleHandleW), or null.
  virtual HMODULE FindLoadedModule(const wchar_t* name) = 0;
  // LoadLibraryW of a full path, or null.
  virtual HMODULE LoadModule(const std::wstring& path) = 0;
  virtual void UnloadModule(HMODULE module) = 0;
  virtual FARPROC FindExport(HMODULE module, const char* name) = 0;
  // Folder of the running executable, ending with a backslash.
  virtual std::wstring ExecutableFolder() = 0;
  // ExitProcess; a fake returns, so callers must cope with that.
  virtual void EndProcess(UINT exit_code) = 0;
};

std::unique_ptr<IBridgeSystem> CreateRealBridgeSystem();

// Start source for the "open_" usage event from the value of the command-line switch "from"
// ("task" -> "auto", ..., anything else or empty -> "unknown").
std::wstring StartSourceFromSwitch(const std::wstring& from_value);

// The viewer's calls into the companion library "SvcBridge.dll". Interface thread only
// (the singleton itself, a CSingletonT, may be created from any thread).
class CServiceBridge {
 public:
  static CServiceBridge& Instance();
  // Application exit: releases the quick-index object and unloads the library.
  static void DestroyInstance();

  CServiceBridge();  // the real system; what Instance() makes
  explicit CServiceBridge(std::unique_ptr<IBridgeSystem> system);
  ~CServiceBridge();
  CServiceBridge(const CServiceBridge&) = delete;
  CServiceBridge& operator=(const CServiceBridge&) = delete;

  // Finds the library (already loaded, beside the executable, then the parent folder) and keeps
  // it for the rest of the run. False: it cannot be loaded; the caller must end the process with
  // exit code 0. Repeated calls after success return true at once.
  bool Load();
  bool IsLoaded() const { return module_ != nullptr; }

  // The calls below load the library on first use; when it cannot be loaded they end the
  // process with exit code 0 (through the system seam). A missing export is a silent no-op.

  // "StartStat", at most once per run (the first creation of the usage statistics).
  void StartStat();
  // "SendStatUrl" with the category that belongs to the event: "main" for "open" and
  // "open_<source>", "feature" for every other event. Empty events are not sent.
  void SendStatUrl(const std::wstring& event);
  void SendStatUrl(const std::wstring& category, const std::wstring& event);
  // "main" / "open_" + StartSourceFromSwitch(from_value): timer 4098.
  void SendStartSource(const std::wstring& from_value);
  // "GetOsVersion"; empty when the export is missing or returns null. Bounded to 1024 units.
  std::wstring GetOsVersion();

  // Quick-index object: only the library beside the executable; without it (or without the
  // export, or when it returns null) every operation is a no-op returning 0. Created on first
  // use and initialised with (0, "lumora", 0).
  int GetQuickIndexState();
  int SetQuickIndexState(int state);
  void ReleaseQuickIndex();

 private:
  FARPROC Export(const char* name);
  bool LoadOrEnd();
  IPLibWrapper* QuickIndex();

  std::unique_ptr<IBridgeSystem> system_;
  HMODULE module_ = nullptr;
  bool module_owned_ = false;  // false for a module that was already loaded
  bool stat_started_ = false;
  HMODULE quick_module_ = nullptr;
  bool quick_tried_ = false;
  IPLibWrapper* quick_ = nullptr;
};

}  // namespace service_bridge
