#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "basic_lib/scoped_handle.h"
#include "folder/explorer_order.h"
#include "view_render/message_window.h"

// Scan thread -> the list's own message window, sent synchronously; wParam FolderScanResult*.
constexpr UINT WM_FOLDER_SCAN_DONE = 0x8032;
// List -> notify window whenever the list or the index changed; no parameters.
constexpr UINT WM_FOLDER_LIST_READY = 0x81F9;

struct FolderScanResult {
  std::deque<std::wstring> names;
  int index = -1;  // position of the scanned-for name, -1 when it is not in the folder
};

// The ordered image files of the current image's folder and the position of that image. Built on
// a worker thread: in the order of an Explorer window that shows the same folder and lists the
// image, otherwise in natural name order. Used only from the interface thread.
class CCurrentFolderImage : public FCMessageWindow {
 public:
  // Receives index and count whenever they change (the status text).
  using PositionHandler = std::function<void(int index, int count)>;
  // Receives folder, index and names whenever the list is settled (the preloader).
  using ListHandler =
      std::function<void(const std::wstring& folder, int index, const std::deque<std::wstring>&)>;

  explicit CCurrentFolderImage(
      std::shared_ptr<folder::IExplorerWindowSource> explorer = folder::CreateShellWindowSource());
  ~CCurrentFolderImage() override;

  void SetPositionHandler(PositionHandler handler) { position_handler_ = std::move(handler); }
  void SetListHandler(ListHandler handler) { list_handler_ = std::move(handler); }

  // Called each time an image has been shown. Another image of the listed folder is a lookup;
  // anything else starts a new scan (cancelling a running one) and shows position 1 of 1 meanwhile.
  void Collect(HWND notify_window, const std::wstring& path);

  // Full path of the previous (-1) or next (+1) image, or empty when the move is not possible.
  // `folder_loop` is the view_folder_loop setting: wrap around at both ends.
  std::wstring GetNeighbourPath(int delta, bool folder_loop) const;
  bool CanMove(int delta, bool folder_loop) const;

  // After the current file was deleted: the path to show next, or empty when none is left.
  std::wstring RemoveFile(const std::wstring& path);

  // Ends a running scan (waits for it) and destroys the message window.
  void Stop();
  void Reset();

  const std::wstring& GetFolder() const { return folder_; }
  const std::deque<std::wstring>& GetNames() const { return names_; }
  int GetCurrentIndex() const { return current_index_; }
  int GetCount() const { return static_cast<int>(names_.size()); }
  bool IsScanning() const { return scan_thread_.IsValid(); }
  // Folder with a name appended, one backslash between.
  std::wstring MakePath(const std::wstring& name) const;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  struct ScanRequest;
  static unsigned __stdcall ScanThreadProc(void* param);
  static void RunScan(ScanRequest* request);

  void OnScanDone(FolderScanResult* result);
  void ReportPosition();
  void ReportList();
  int TargetIndex(int delta, bool folder_loop) const;

  HWND notify_window_ = nullptr;
  std::wstring folder_;
  std::deque<std::wstring> names_;
  int current_index_ = -1;
  basic_lib::ScopedKernelHandle scan_thread_;
  // One flag per scan, shared with its thread, so a finishing old thread never sees a new one.
  std::shared_ptr<std::atomic<LONG>> cancel_;

  std::shared_ptr<folder::IExplorerWindowSource> explorer_;
  PositionHandler position_handler_;
  ListHandler list_handler_;
};
