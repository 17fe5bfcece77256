#include "folder/explorer_order.h"

#include <exdisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include "basic_lib/com_ptr.h"
#include "basic_lib/path_util.h"
#include "basic_lib/string_util.h"

namespace folder {

namespace {

using basic_lib::ComPtr;

struct PidlDeleter {
  void operator()(ITEMIDLIST* p) const { ::CoTaskMemFree(p); }
};
using ScopedPidl = std::unique_ptr<ITEMIDLIST, PidlDeleter>;

class ShellFolderView : public IExplorerFolderView {
 public:
  explicit ShellFolderView(ComPtr<IFolderView> view) : view_(std::move(view)) {}

  bool GetFolderPath(std::wstring* path) override {
    ComPtr<IPersistFolder2> persist;
    if (FAILED(view_->GetFolder(IID_PPV_ARGS(&persist))) || !persist) return false;
    ITEMIDLIST* raw = nullptr;
    if (FAILED(persist->GetCurFolder(&raw)) || !raw) return false;
    ScopedPidl pidl(raw);
    wchar_t buffer[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(pidl.get(), buffer)) return false;
    wchar_t canonical[MAX_PATH] = {};
    if (!::PathCanonicalizeW(canonical, buffer)) return false;
    *path = basic_lib::WithoutTrailingBackslash(canonical);
    return true;
  }

  int ItemCount() override {
    int count = 0;
    if (FAILED(view_->ItemCount(SVGIO_ALLVIEW, &count)) || count < 0) return -1;
    if (!folder_) {
      if (FAILED(view_->GetFolder(IID_PPV_ARGS(&folder_))) || !folder_) return -1;
    }
    return count;
  }

  bool ItemName(int position, std::wstring* name) override {
    if (!folder_) return false;
    ITEMIDLIST* raw = nullptr;
    if (FAILED(view_->Item(position, &raw)) || !raw) return false;
    ScopedPidl child(raw);
    STRRET ret = {};
    if (FAILED(folder_->GetDisplayNameOf(child.get(), SHGDN_INFOLDER | SHGDN_FORPARSING, &ret))) {
      return false;
    }
    wchar_t* text = nullptr;
    if (FAILED(::StrRetToStrW(&ret, child.get(), &text)) || !text) return false;
    name->assign(text);
    ::CoTaskMemFree(text);
    return true;
  }

 private:
  ComPtr<IFolderView> view_;
  ComPtr<IShellFolder> folder_;
};

class ShellWindowList : public IExplorerWindowList {
 public:
  explicit ShellWindowList(ComPtr<IShellWindows> windows) : windows_(std::move(windows)) {}

  int WindowCount() override {
    long count = 0;
    if (FAILED(windows_->get_Count(&count)) || count < 0) return 0;
    return static_cast<int>(count);
  }

  std::unique_ptr<IExplorerFolderView> GetView(int index) override {
    VARIANT item;
    ::VariantInit(&item);
    item.vt = VT_I4;
    item.lVal = index;
    ComPtr<IDispatch> dispatch;
    if (FAILED(windows_->Item(item, &dispatch)) || !dispatch) return nullptr;
    ComPtr<IShellBrowser> browser;
    if (FAILED(::IUnknown_QueryService(dispatch.Get(), SID_STopLevelBrowser,
                                       IID_PPV_ARGS(&browser))) ||
        !browser) {
      return nullptr;
    }
    ComPtr<IShellView> shell_view;
    if (FAILED(browser->QueryActiveShellView(&shell_view)) || !shell_view) return nullptr;
    ComPtr<IFolderView> folder_view;
    if (FAILED(shell_view.As(&folder_view)) || !folder_view) return nullptr;
    return std::make_unique<ShellFolderView>(std::move(folder_view));
  }

 private:
  ComPtr<IShellWindows> windows_;
};

class ShellWindowSource : public IExplorerWindowSource {
 public:
  std::unique_ptr<IExplorerWindowList> Open() override {
    ComPtr<IUnknown> unknown;
    if (FAILED(
            ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&unknown))) ||
        !unknown) {
      return nullptr;
    }
    if (FAILED(::OleRun(unknown.Get()))) return nullptr;
    ComPtr<IShellWindows> windows;
    if (FAILED(unknown.As(&windows)) || !windows) return nullptr;
    return std::make_unique<ShellWindowList>(std::move(windows));
  }
};

}  // namespace

std::shared_ptr<IExplorerWindowSource> CreateShellWindowSource() {
  return std::make_shared<ShellWindowSource>();
}

std::vector<std::wstring> QueryExplorerOrder(IExplorerWindowSource* source,
                                             const std::wstring& folder,
                                             const std::atomic<LONG>& cancel) {
  std::vector<std::wstring> names;
  if (!source) return names;
  std::unique_ptr<IExplorerWindowList> windows = source->Open();
  if (!windows) return names;
  const int window_count = windows->WindowCount();
  for (int i = 0; i < window_count; ++i) {
    if (cancel.load() != 0) return names;
    std::unique_ptr<IExplorerFolderView> view = windows->GetView(i);
    if (!view) continue;
    std::wstring path;
    if (!view->GetFolderPath(&path) || !basic_lib::EqualsNoCase(path, folder)) continue;
    const int count = view->ItemCount();
    for (int position = 0; position < count; ++position) {
      if (cancel.load() != 0) break;
      std::wstring name;
      if (view->ItemName(position, &name)) names.push_back(std::move(name));
    }
    break;
  }
  return names;
}

}  // namespace folder
