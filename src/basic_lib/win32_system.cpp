#include "basic_lib/win32_system.h"

#include <windows.h>
// The shell headers need the base Windows declarations first.
#include <shellapi.h>

#include "basic_lib/path_util.h"

namespace basic_lib {

bool DeleteFolderTree(const std::wstring& folder) {
  if (IsRootOrEmptyPath(folder)) return false;
  std::wstring from = WithoutTrailingBackslash(folder);
  if (!PathExists(from)) return true;
  from.push_back(L'\0');  // the list of names ends with two zeros
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  int rc = ::SHFileOperationW(&op);
  return rc == 0 && !op.fAnyOperationsAborted && !PathExists(folder);
}

}  // namespace basic_lib
