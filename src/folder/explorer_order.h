#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace folder {

// One file view of an open Explorer window, as the folder list needs it.
class IExplorerFolderView {
 public:
  virtual ~IExplorerFolderView() = default;
  // Canonical folder path without trailing backslash; false when the view shows no file folder.
  virtual bool GetFolderPath(std::wstring* path) = 0;
  // Items in the view's current order (sort, grouping and filter applied); -1 on failure.
  virtual int ItemCount() = 0;
  // In-folder parsing name of the item at a view position; false on failure.
  virtual bool ItemName(int position, std::wstring* name) = 0;
};

// The shell's list of open windows. Created and used on the scan thread only.
class IExplorerWindowList {
 public:
  virtual ~IExplorerWindowList() = default;
  // Number of windows; a failure counts as none.
  virtual int WindowCount() = 0;
  // The file view of one window, or null when that window has none (a browser window, say).
  virtual std::unique_ptr<IExplorerFolderView> GetView(int index) = 0;
};

// Makes a window list for one scan, on the scan thread with COM initialised there; null when the
// shell's collection cannot be created. Shared between scans, so it must be thread-safe.
class IExplorerWindowSource {
 public:
  virtual ~IExplorerWindowSource() = default;
  virtual std::unique_ptr<IExplorerWindowList> Open() = 0;
};

// The real source: CLSID_ShellWindows, IShellBrowser, IFolderView. Under Wine 8 the collection
// is created but its count and items are E_NOTIMPL, so no window is ever found there.
std::shared_ptr<IExplorerWindowSource> CreateShellWindowSource();

// Names in the view order of the first window that shows `folder` (compared ignoring case);
// empty when none does. Stops early, with what it has, when `cancel` becomes non-zero.
std::vector<std::wstring> QueryExplorerOrder(IExplorerWindowSource* source,
                                             const std::wstring& folder,
                                             const std::atomic<LONG>& cancel);

}  // namespace folder
