#include "basic_lib/ext_bind.h"

#include "basic_lib/path_util.h"
#include "basic_lib/scoped_handle.h"

namespace basic_lib {

namespace {
// Loads the library from its full path only (never the search path), finds the export and
// runs `call` with it; the library is unloaded when this returns.
template <typename Fn, typename Call>
bool WithExport(const std::wstring& path, const char* name, Call call) {
  if (!FileExists(path)) return false;
  ScopedModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module) return false;
  FARPROC proc = ::GetProcAddress(module.Get(), name);
  if (!proc) return false;
  call(reinterpret_cast<Fn>(reinterpret_cast<void*>(proc)));
  return true;
}
}  // namespace

CExtBindLibrary::CExtBindLibrary(std::wstring folder) : folder_(std::move(folder)) {}

std::wstring CExtBindLibrary::LibraryPath() const {
  std::wstring folder = folder_.empty() ? GetExeFolder() : WithTrailingBackslash(folder_);
  std::wstring path = folder + kFileName;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';  // LoadLibraryExW wants backslashes with an altered search path
  }
  return path;
}

bool CExtBindLibrary::CallSetDefaultImageViewer(int value) const {
  return WithExport<SetDefaultImageViewerFn>(LibraryPath(), "SetDefaultImageViewer",
                                             [value](SetDefaultImageViewerFn fn) { fn(value); });
}

bool CExtBindLibrary::CallUnInstall(HKEY root) const {
  return WithExport<UnInstallFn>(LibraryPath(), "UnInstall", [root](UnInstallFn fn) { fn(root); });
}

bool CExtBindLibrary::CallIsAssociationOK(int* result) const {
  return WithExport<IsAssociationOKFn>(LibraryPath(), "IsAssociationOK",
                                       [result](IsAssociationOKFn fn) { *result = fn(); });
}

bool CExtBindLibrary::CallSetAssociation(const std::wstring& text) const {
  return WithExport<SetAssociationFn>(LibraryPath(), "SetAssociation",
                                      [&text](SetAssociationFn fn) { fn(text.c_str()); });
}

}  // namespace basic_lib
