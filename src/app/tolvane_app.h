#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <objbase.h>

#include <memory>
#include <string>

#include "app/ipc_receiver.h"
#include "framework/win_app.h"

// GdiplusStartup for the lifetime of the object.
class FCAutoInitGDIPlus {
 public:
  FCAutoInitGDIPlus();
  ~FCAutoInitGDIPlus();
  FCAutoInitGDIPlus(const FCAutoInitGDIPlus&) = delete;
  FCAutoInitGDIPlus& operator=(const FCAutoInitGDIPlus&) = delete;

 private:
  ULONG_PTR token_ = 0;
};

// CoInitialize for the lifetime of the object; uninitialises only after a success.
class FCAutoInitializeCOM {
 public:
  FCAutoInitializeCOM() : hr_(::CoInitialize(nullptr)) {}
  ~FCAutoInitializeCOM() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  FCAutoInitializeCOM(const FCAutoInitializeCOM&) = delete;
  FCAutoInitializeCOM& operator=(const FCAutoInitializeCOM&) = delete;
  HRESULT Result() const { return hr_; }

 private:
  HRESULT hr_;
};

// The application object: start-up, the instance policy, the modal main window and the
// teardown. Constructing it is the program's static initialisation (log, settings, name,
// folders).
class CTolvaneApp : public framework::CWinApp {
 public:
  CTolvaneApp();
  ~CTolvaneApp() override;

  static CTolvaneApp* Instance();

  BOOL InitInstance() override;
  int ExitInstance() override;

  // Creates or removes the receivers for the current only_one_instance value.
  void UpdateReceivers();
  bool HasSingleInstanceReceiver() const { return receiver_ != nullptr; }
  bool HasAlwaysReceiver() const { return always_receiver_ != nullptr; }

  // What start-up handed to the UI toolkit: "resources\" and its "res.zip".
  const std::wstring& ResourceFolder() const { return resource_folder_; }
  const std::wstring& SkinArchive() const { return skin_archive_; }

  // The message shown when the skin archive is missing.
  static const wchar_t kMissingSkinText[];

 private:
  bool CheckPendingUpdate();
  void CheckResources();

  std::unique_ptr<FCAutoInitGDIPlus> gdiplus_;
  std::unique_ptr<FCAutoInitializeCOM> com_;
  std::unique_ptr<CIPCReceiver> receiver_;
  std::unique_ptr<CIPCAlwaysReceiver> always_receiver_;
  std::wstring exe_folder_;
  std::wstring resource_folder_;
  std::wstring skin_archive_;
};

// Environment variable that points the per-user data folder elsewhere (test runs).
constexpr wchar_t kDataFolderEnvironment[] = L"LUMORA_DATA_DIR";
// Applies LUMORA_DATA_DIR when it is set and not empty; true when it was applied.
bool ApplyDataFolderFromEnvironment();
