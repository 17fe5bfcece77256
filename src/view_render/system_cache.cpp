#include "view_render/system_cache.h"

#include <algorithm>

#include "basic_lib/singleton.h"
#include "image/image_format.h"
#include "image/wic_image_loader.h"
#include "view_render/render_messages.h"

using view_render::RequestThumbnail;
using view_render::ThumbnailBitmap;
using view_render::ThumbnailKind;

namespace {

std::wstring AppendPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  const wchar_t last = folder.back();
  if (last == L'\\' || last == L'/') return folder + name;
  return folder + L"\\" + name;
}

template <typename T>
void PruneExpired(std::vector<std::weak_ptr<T>>* list) {
  list->erase(std::remove_if(list->begin(), list->end(),
                             [](const std::weak_ptr<T>& p) { return p.expired(); }),
              list->end());
}

}  // namespace

CAsyncCreateSystemCache::CAsyncCreateSystemCache(
    std::shared_ptr<view_render::IThumbnailSource> source, view_render::SystemVersion version,
    std::wstring path, std::wstring name)
    : source_(std::move(source)),
      version_(version),
      path_(std::move(path)),
      name_(std::move(name)) {}

void CAsyncCreateSystemCache::Run() {
  if (!IsActive()) return;
  // Only the system cache's copy matters; ours goes at once.
  ThumbnailBitmap bitmap =
      RequestThumbnail(source_.get(), path_, ThumbnailKind::kLarge, 0, version_);
  bitmap.Reset();
}

void CAsyncCreateSystemCache::OnComplete() {
  if (notify_window_ && ::IsWindow(notify_window_)) {
    ::SendMessageW(notify_window_, WM_PRELOAD_DONE, 0, 0);
  }
}

CSystemCache::CSystemCache(std::shared_ptr<view_render::IThumbnailSource> source)
    : source_(source ? std::move(source) : std::make_shared<view_render::CShellThumbnailSource>()),
      version_(view_render::SystemVersion::Current()) {}

CSystemCache::~CSystemCache() = default;

CSystemCache& CSystemCache::Instance() { return basic_lib::CSingletonT<CSystemCache>::Instance(); }

void CSystemCache::DestroyInstance() { basic_lib::CSingletonT<CSystemCache>::Destroy(); }

int CSystemCache::MaxRunning() {
  return view_render::GetViewSettings().preload_enable && started_ ? 1 : 0;
}

void CSystemCache::OnStart(const std::shared_ptr<CAsyncTask>& task) {
  auto preload = std::dynamic_pointer_cast<CAsyncCreateSystemCache>(task);
  if (!preload) return;
  queued_names_.insert(preload->GetName());
  PruneExpired(&running_preloads_);
  running_preloads_.push_back(preload);
}

void CSystemCache::Start() {
  if (started_) return;
  started_ = 1;
  StartPending();
}

void CSystemCache::Preload(const std::wstring& folder, int index,
                           const std::vector<std::wstring>& names) {
  PreloadNames(folder, index, names);
}

void CSystemCache::Preload(const std::wstring& folder, int index,
                           const std::deque<std::wstring>& names) {
  PreloadNames(folder, index, names);
}

template <typename Names>
void CSystemCache::PreloadNames(const std::wstring& folder, int index, const Names& names) {
  DropPending();
  if (folder != folder_) {
    direction_ = kNone;
    queued_names_.clear();
    folder_ = folder;
  }
  static const int kAround[] = {1, -1, 2, 3};
  static const int kAhead[] = {1, 2, 3};
  static const int kBehind[] = {-1, -2, -3};
  const int* offsets = kAround;
  size_t count = 4;
  if (direction_ == kForward) {
    offsets = kAhead;
    count = 3;
  } else if (direction_ == kBackward) {
    offsets = kBehind;
    count = 3;
  }
  const long long size = static_cast<long long>(names.size());
  for (size_t k = 0; k < count; ++k) {
    const long long i = static_cast<long long>(index) + offsets[k];
    if (i < 0 || i >= size) continue;
    const std::wstring& name = names[static_cast<size_t>(i)];
    if (!IsSystemFormat(GetImageFormat(name)) || queued_names_.count(name) != 0) continue;
    auto task = std::make_shared<CAsyncCreateSystemCache>(source_, version_,
                                                          AppendPath(folder, name), name);
    PruneExpired(&pending_preloads_);
    pending_preloads_.push_back(task);
    Enqueue(task);
  }
}

std::vector<std::wstring> CSystemCache::PendingPaths() const {
  std::vector<std::wstring> paths;
  for (const auto& weak : pending_preloads_) {
    auto task = weak.lock();
    // Still owned by the queue and not yet started.
    if (task && !task->GetQueueWindow()) paths.push_back(task->GetPath());
  }
  return paths;
}

bool CSystemCache::IsPreloading(const std::wstring& path, HWND window) {
  PruneExpired(&running_preloads_);
  for (const auto& weak : running_preloads_) {
    auto task = weak.lock();
    if (task && task->GetPath() == path) {
      task->SetNotifyWindow(window);
      return true;
    }
  }
  return false;
}

HBITMAP CSystemCache::GetCachedPreview(view_render::IRenderDocument* document, int width,
                                       int height, bool* good) {
  *good = false;
  if (!document || width <= 0 || height <= 0) return nullptr;
  const image::RenderSettings settings = image::GetRenderSettings();
  if (document->UsePreview()) {
    IWICBitmap* preview = document->GetPreview();
    if (!preview) return nullptr;
    auto loader = CWICImageLoader::FromBitmap(preview);
    if (!loader) return nullptr;
    HBITMAP bitmap = loader->RenderFitted(width, height, settings);
    UINT w = 0, h = 0;
    if (bitmap && SUCCEEDED(preview->GetSize(&w, &h))) {
      *good = static_cast<long long>(w) >= width;
    }
    return bitmap;
  }
  const std::wstring& path = document->GetPath();
  if (!IsSystemFormat(GetImageFormat(path))) return nullptr;
  auto loader = document->GetLoader();
  ThumbnailBitmap thumbnail = RequestThumbnail(source_.get(), path, ThumbnailKind::kQuick,
                                               std::max(width, height), version_);
  if (thumbnail.IsEmpty()) return nullptr;
  const WICBitmapTransformOptions transform =
      loader ? loader->GetTransform() : WICBitmapTransformRotate0;
  IWICColorContext* context =
      loader && settings.ignore_embedded_icc ? loader->GetColorContext() : nullptr;
  HBITMAP bitmap = view_render::RenderThumbnail(thumbnail, width, height, transform, context,
                                                settings, version_);
  *good = bitmap && !thumbnail.IsLowQuality();
  return bitmap;
}
