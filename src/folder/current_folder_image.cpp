#include "folder/current_folder_image.h"

#include <process.h>
#include <shlwapi.h>

#include <algorithm>
#include <set>
#include <vector>

#include "basic_lib/string_util.h"
#include "image/image_format.h"
#include "view_render/auto_initialize_com.h"

namespace {

struct LessNoCase {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
  }
};

int FindNoCase(const std::deque<std::wstring>& names, const std::wstring& name) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (basic_lib::EqualsNoCase(names[i], name)) return static_cast<int>(i);
  }
  return -1;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  const wchar_t last = folder.back();
  if (last == L'\\' || last == L'/') return folder + name;
  return folder + L"\\" + name;
}

// Splits a full path into its folder (no trailing backslash) and its last component.
void SplitPath(const std::wstring& path, std::wstring* folder, std::wstring* name) {
  const wchar_t* start = path.c_str();
  const wchar_t* file = ::PathFindFileNameW(start);
  const size_t offset = static_cast<size_t>(file - start);
  *name = path.substr(offset);
  std::wstring dir = path.substr(0, offset);
  while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
  *folder = dir;
}

}  // namespace

struct CCurrentFolderImage::ScanRequest {
  HWND reply_window;
  std::wstring folder;
  std::wstring target;
  std::shared_ptr<std::atomic<LONG>> cancel;
  std::shared_ptr<folder::IExplorerWindowSource> explorer;
};

CCurrentFolderImage::CCurrentFolderImage(std::shared_ptr<folder::IExplorerWindowSource> explorer)
    : explorer_(std::move(explorer)) {}

CCurrentFolderImage::~CCurrentFolderImage() { Stop(); }

std::wstring CCurrentFolderImage::MakePath(const std::wstring& name) const {
  return JoinPath(folder_, name);
}

void CCurrentFolderImage::Collect(HWND notify_window, const std::wstring& path) {
  notify_window_ = notify_window;
  std::wstring folder, name;
  SplitPath(path, &folder, &name);

  if (IsScanning()) {
    Stop();
  } else if (!folder_.empty() && basic_lib::EqualsNoCase(folder, folder_)) {
    const int found = FindNoCase(names_, name);
    if (found >= 0) {
      current_index_ = found;
      ReportPosition();
      ReportList();
      if (notify_window_ && ::IsWindow(notify_window_)) {
        ::SendMessageW(notify_window_, WM_FOLDER_LIST_READY, 0, 0);
      }
      return;
    }
  }

  folder_ = folder;
  names_.clear();
  names_.push_back(name);
  current_index_ = 0;
  ReportPosition();

  if (!Create()) return;  // no window, no scan: the one-name list stays
  auto request = std::make_unique<ScanRequest>();
  request->reply_window = GetSafeHwnd();
  request->folder = folder_;
  request->target = name;
  cancel_ = std::make_shared<std::atomic<LONG>>(0);
  request->cancel = cancel_;
  request->explorer = explorer_;
  const uintptr_t thread =
      ::_beginthreadex(nullptr, 0, &CCurrentFolderImage::ScanThreadProc, request.get(), 0, nullptr);
  if (thread == 0) {
    Destroy();
    return;
  }
  request.release();  // the thread owns it now
  scan_thread_.Reset(reinterpret_cast<HANDLE>(thread));
}

unsigned __stdcall CCurrentFolderImage::ScanThreadProc(void* param) {
  std::unique_ptr<ScanRequest> request(static_cast<ScanRequest*>(param));
  FCAutoInitializeCOM com;
  RunScan(request.get());
  return 0;
}

void CCurrentFolderImage::RunScan(ScanRequest* request) {
  const std::atomic<LONG>& cancel = *request->cancel;
  std::set<std::wstring, LessNoCase> directories;
  std::vector<std::wstring> sorted;

  WIN32_FIND_DATAW data;
  const std::wstring pattern = JoinPath(request->folder, L"*");
  basic_lib::ScopedFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
  if (find.IsValid()) {
    do {
      if (cancel.load() != 0) return;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        directories.insert(data.cFileName);
      } else if (GetImageFormat(data.cFileName) != ImageFormat::None) {
        sorted.emplace_back(data.cFileName);
      }
    } while (::FindNextFileW(find.Get(), &data));
  }
  find.Reset();
  std::sort(sorted.begin(), sorted.end(), [](const std::wstring& a, const std::wstring& b) {
    return ::StrCmpLogicalW(a.c_str(), b.c_str()) < 0;
  });

  std::vector<std::wstring> explorer_order =
      folder::QueryExplorerOrder(request->explorer.get(), request->folder, cancel);
  if (cancel.load() != 0) return;

  FolderScanResult result;
  for (std::wstring& name : explorer_order) {
    if (directories.count(name) != 0) continue;
    if (GetImageFormat(name) == ImageFormat::None) continue;
    result.names.push_back(std::move(name));
  }
  result.index = FindNoCase(result.names, request->target);
  if (result.index < 0) {
    result.names.assign(sorted.begin(), sorted.end());
    result.index = FindNoCase(result.names, request->target);
  }
  // Fails at once when Stop() destroyed the window meanwhile.
  ::SendMessageW(request->reply_window, WM_FOLDER_SCAN_DONE, reinterpret_cast<WPARAM>(&result), 0);
}

LRESULT CCurrentFolderImage::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_FOLDER_SCAN_DONE) {
    OnScanDone(reinterpret_cast<FolderScanResult*>(wparam));
    return 0;
  }
  return FCMessageWindow::WindowProc(message, wparam, lparam);
}

void CCurrentFolderImage::OnScanDone(FolderScanResult* result) {
  if (result && result->index != -1) {
    current_index_ = result->index;
    names_.swap(result->names);
  }
  // The result belongs to the scan thread; it is not touched after this.
  ::ReplyMessage(0);
  scan_thread_.Reset();
  Destroy();
  ReportPosition();
  if (notify_window_ && ::IsWindow(notify_window_)) {
    ::PostMessageW(notify_window_, WM_FOLDER_LIST_READY, 0, 0);
  }
  ReportList();
}

void CCurrentFolderImage::Stop() {
  // The window goes first, so the scan's final send fails instead of waiting for this thread.
  Destroy();
  if (!scan_thread_.IsValid()) return;
  if (cancel_) cancel_->store(1);
  // A send queued just before the window went must never leave the scan thread blocked on us:
  // take sent messages while waiting. (Wine already releases such a sender in DestroyWindow.)
  HANDLE thread = scan_thread_.Get();
  for (;;) {
    const DWORD wait = ::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (wait != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  scan_thread_.Reset();
}

void CCurrentFolderImage::Reset() {
  folder_.clear();
  names_.clear();
  current_index_ = -1;
}

int CCurrentFolderImage::TargetIndex(int delta, bool folder_loop) const {
  const int count = GetCount();
  if (count < 2 || IsScanning()) return -1;
  int target = current_index_ + delta;
  if (target < 0 || target >= count) {
    if (!folder_loop) return -1;
    target = target < 0 ? count - 1 : 0;
  }
  return target;
}

std::wstring CCurrentFolderImage::GetNeighbourPath(int delta, bool folder_loop) const {
  const int target = TargetIndex(delta, folder_loop);
  if (target < 0) return std::wstring();
  return MakePath(names_[static_cast<size_t>(target)]);
}

bool CCurrentFolderImage::CanMove(int delta, bool folder_loop) const {
  return TargetIndex(delta, folder_loop) >= 0;
}

std::wstring CCurrentFolderImage::RemoveFile(const std::wstring& path) {
  if (IsScanning()) {
    Stop();
    Reset();
  }
  std::wstring folder, name;
  SplitPath(path, &folder, &name);
  const int found = FindNoCase(names_, name);
  if (found >= 0) names_.erase(names_.begin() + found);
  if (names_.empty()) {
    Reset();
    return std::wstring();
  }
  current_index_ = std::max(0, std::min(current_index_, GetCount() - 1));
  return MakePath(names_[static_cast<size_t>(current_index_)]);
}

void CCurrentFolderImage::ReportPosition() {
  if (position_handler_) position_handler_(current_index_, GetCount());
}

void CCurrentFolderImage::ReportList() {
  if (list_handler_) list_handler_(folder_, current_index_, names_);
}
