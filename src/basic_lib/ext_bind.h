#pragma once

#include <windows.h>

#include <string>

namespace basic_lib {

// Exports of the association library "ExtBind.dll" beside the executable (stdcall on i686).
using SetDefaultImageViewerFn = int(WINAPI*)(int);
using UnInstallFn = int(WINAPI*)(HKEY);
using IsAssociationOKFn = int(WINAPI*)();
using SetAssociationFn = int(WINAPI*)(const wchar_t*);

// Loads the association library for one call and unloads it again. A missing library or export
// makes the call a no-op; the Call* functions then return false.
class CExtBindLibrary {
 public:
  static constexpr const wchar_t* kFileName = L"ExtBind.dll";

  // The library is looked up in `folder` (the executable's folder when empty).
  explicit CExtBindLibrary(std::wstring folder = std::wstring());

  std::wstring LibraryPath() const;

  bool CallSetDefaultImageViewer(int value) const;
  bool CallUnInstall(HKEY root) const;
  // Writes the export's answer to *result; false (and *result untouched) when it is missing.
  bool CallIsAssociationOK(int* result) const;
  bool CallSetAssociation(const std::wstring& text) const;

 private:
  std::wstring folder_;
};

}  // namespace basic_lib
