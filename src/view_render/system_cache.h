#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "view_render/async_task_queue.h"
#include "view_render/render_document.h"
#include "view_render/thumbnail_cache.h"
#include "view_render/view_settings.h"

// Preloads large thumbnails of a file into the system cache; notifies a pre-renderer that waits
// for this very file.
class CAsyncCreateSystemCache : public CAsyncTask {
 public:
  CAsyncCreateSystemCache(std::shared_ptr<view_render::IThumbnailSource> source,
                          view_render::SystemVersion version, std::wstring path, std::wstring name);
  void Run() override;
  void OnComplete() override;

  const std::wstring& GetPath() const { return path_; }
  const std::wstring& GetName() const { return name_; }
  void SetNotifyWindow(HWND window) { notify_window_ = window; }

 private:
  std::shared_ptr<view_render::IThumbnailSource> source_;
  view_render::SystemVersion version_;
  std::wstring path_;
  std::wstring name_;
  HWND notify_window_ = nullptr;  // interface thread only
};

// The thumbnail-cache side of the pipeline: the quick preview of the current image and the
// preloading of its neighbours, one task at a time, only after the first image has a frame.
class CSystemCache : public CAsyncTaskQueue {
 public:
  enum Direction { kNone = 0, kForward = 1, kBackward = 2 };

  explicit CSystemCache(std::shared_ptr<view_render::IThumbnailSource> source = nullptr);
  ~CSystemCache() override;

  // The process-wide instance (interface thread), created on first use, ended at exit.
  static CSystemCache& Instance();
  static void DestroyInstance();

  // From the folder list whenever it or its current index changed.
  void Preload(const std::wstring& folder, int index, const std::vector<std::wstring>& names);
  void Preload(const std::wstring& folder, int index, const std::deque<std::wstring>& names);
  // Set by the next and previous commands before they open the neighbour.
  void SetDirection(int direction) { direction_ = direction; }
  int GetDirection() const { return direction_; }
  // The first call since program start lets preloading run; later calls do nothing.
  void Start();
  bool IsStarted() const { return started_ != 0; }

  // Quick preview at the fitted size: the document's own preview after a rotation, else the
  // cache's bitmap for system formats. Null when there is none; *good tells whether it is final.
  HBITMAP GetCachedPreview(view_render::IRenderDocument* document, int width, int height,
                           bool* good);
  // Whether a running preload task works on `path`; if so it will notify `window` when done.
  bool IsPreloading(const std::wstring& path, HWND window);

  const std::shared_ptr<view_render::IThumbnailSource>& GetSource() const { return source_; }
  void SetSystemVersion(const view_render::SystemVersion& version) { version_ = version; }
  const view_render::SystemVersion& GetSystemVersion() const { return version_; }
  const std::set<std::wstring>& QueuedNames() const { return queued_names_; }
  // Paths of the pending preload tasks, oldest first (diagnostics and tests).
  std::vector<std::wstring> PendingPaths() const;

 protected:
  int MaxRunning() override;
  void OnStart(const std::shared_ptr<CAsyncTask>& task) override;

 private:
  template <typename Names>
  void PreloadNames(const std::wstring& folder, int index, const Names& names);

  int direction_ = kNone;
  std::set<std::wstring> queued_names_;
  std::wstring folder_;
  int started_ = 0;
  std::shared_ptr<view_render::IThumbnailSource> source_;
  view_render::SystemVersion version_;
  // Mirrors the queue's pending tasks so their paths can be reported.
  std::vector<std::weak_ptr<CAsyncCreateSystemCache>> pending_preloads_;
  std::vector<std::weak_ptr<CAsyncCreateSystemCache>> running_preloads_;
};
