#include "document/current_document.h"

#include <shlwapi.h>

#include "basic_lib/singleton.h"
#include "image/wic_factory.h"

namespace {
constexpr LONG kLongImageMaxWidth = 1280;
}  // namespace

CurrentDocument::CurrentDocument() = default;

CurrentDocument::~CurrentDocument() { Close(); }

CurrentDocument& CurrentDocument::Instance() {
  return basic_lib::CSingletonT<CurrentDocument>::Instance();
}

void CurrentDocument::DestroyInstance() { basic_lib::CSingletonT<CurrentDocument>::Destroy(); }

void CurrentDocument::Open(const std::wstring& path) {
  StopRendering();
  path_ = path;
  loader_.reset();
  use_preview_ = 0;
  preview_.Reset();
  if (!path_.empty() && ::PathFileExistsW(path_.c_str())) {
    // PathCanonicalizeW works in MAX_PATH characters; longer paths are kept as given.
    if (path_.size() < MAX_PATH) {
      wchar_t canonical[MAX_PATH] = {};
      if (::PathCanonicalizeW(canonical, path_.c_str())) path_ = canonical;
    }
    loader_ = CWICImageLoader::OpenImage(path_, loader_options_);
  }
  if (title_sink_) {
    SIZE size = {0, 0};
    std::wstring date;
    if (loader_) {
      size = loader_->GetSize();
      date = loader_->GetInfo().date_taken;
    }
    title_sink_(path_, date, size);
  }
}

void CurrentDocument::Close() {
  StopRendering();
  use_preview_ = 0;
  preview_.Reset();
  loader_.reset();
  // The queue lets running tasks finish before it goes.
  render_queue_.reset();
}

void CurrentDocument::StopRendering() {
  if (!render_queue_) return;
  render_queue_->DropPending();
  render_queue_->CancelAll();
}

CAsyncTaskQueue* CurrentDocument::GetRenderQueue() {
  if (!render_queue_) render_queue_ = std::make_unique<CAsyncTaskQueue>();
  return render_queue_.get();
}

void CurrentDocument::FlushQueue() { GetRenderQueue()->Flush(); }

void CurrentDocument::SetPreview(HBITMAP bitmap) {
  use_preview_ = 1;
  if (!bitmap) return;
  BITMAP info = {};
  if (::GetObjectW(bitmap, sizeof(info), &info) != sizeof(info)) return;
  UINT old_width = 0, old_height = 0;
  if (!preview_ || FAILED(preview_->GetSize(&old_width, &old_height))) old_width = 0;
  if (info.bmWidth <= 0 || static_cast<UINT>(info.bmWidth) <= old_width) return;
  basic_lib::ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  basic_lib::ComPtr<IWICBitmap> copy;
  if (factory &&
      SUCCEEDED(factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &copy))) {
    preview_ = copy;
  }
}

bool CurrentDocument::IsLongImage() const {
  if (!loader_) return false;
  const SIZE size = loader_->GetSize();
  return size.cx < kLongImageMaxWidth && 4LL * size.cx < static_cast<long long>(size.cy);
}
