#include "view_render/pre_render_key_frame.h"

#include <d2d1_1.h>

#include <algorithm>
#include <climits>

#include "image/image_format.h"
#include "image/obj_image.h"
#include "image/orientation.h"
#include "image/wic_factory.h"
#include "view_render/render_messages.h"
#include "view_render/system_cache.h"
#include "view_render/view_render.h"

using basic_lib::ComPtr;
using view_render::DrawnFrame;
using view_render::KeyFrameSlot;

namespace {

D2D1_RENDER_TARGET_PROPERTIES DcTargetProperties(D2D1_RENDER_TARGET_TYPE type) {
  D2D1_RENDER_TARGET_PROPERTIES props = {};
  props.type = type;
  props.pixelFormat.format = DXGI_FORMAT_B8G8R8A8_UNORM;
  props.pixelFormat.alphaMode = D2D1_ALPHA_MODE_PREMULTIPLIED;
  props.dpiX = 0.0f;
  props.dpiY = 0.0f;
  props.usage = D2D1_RENDER_TARGET_USAGE_NONE;
  props.minLevel = D2D1_FEATURE_LEVEL_DEFAULT;
  return props;
}

ComPtr<ID2D1Bitmap> BitmapFromWic(ID2D1RenderTarget* target, IWICBitmapSource* source) {
  ComPtr<ID2D1Bitmap> bitmap;
  if (!target || !source) return bitmap;
  ComPtr<IWICBitmapSource> converted;
  if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, source, &converted)) ||
      FAILED(target->CreateBitmapFromWicBitmap(converted.Get(), nullptr, &bitmap))) {
    bitmap.Reset();
  }
  return bitmap;
}

// The size of the bitmap selected into a DC (0 x 0 when none).
SIZE SelectedBitmapSize(HDC dc) {
  SIZE size = {0, 0};
  HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
  BITMAP info = {};
  if (bitmap && ::GetObjectW(bitmap, sizeof(info), &info) == sizeof(info)) {
    size.cx = info.bmWidth;
    size.cy = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  }
  return size;
}

}  // namespace

bool DrawKeyFrameBitmap(ID2D1RenderTarget* target, ID2D1Bitmap* bitmap, const D2D1_RECT_F& rect) {
  if (!target || !bitmap) return false;
  const D2D1_SIZE_F size = bitmap->GetSize();
  if (rect.right - rect.left < size.width / 2.0f) {
    ComPtr<ID2D1DeviceContext> context;
    if (SUCCEEDED(target->QueryInterface(__uuidof(ID2D1DeviceContext),
                                         reinterpret_cast<void**>(context.GetAddressOf()))) &&
        context) {
      context->DrawBitmap(bitmap, &rect, 1.0f, D2D1_INTERPOLATION_MODE_MULTI_SAMPLE_LINEAR, nullptr,
                          nullptr);
      return true;
    }
  }
  target->DrawBitmap(bitmap, &rect, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
  return true;
}

// ---------------------------------------------------------------------------------------------

CFitViewFrame::CFitViewFrame(float ratio, int width, int height, HWND view)
    : ratio_(ratio), width_(width), height_(height), view_(view) {}

CFitViewFrame::~CFitViewFrame() = default;

void CFitViewFrame::Adopt(HBITMAP bitmap) {
  if (!bitmap) return;
  const bool first = !bitmap_;
  d2d_bitmap_.Reset();
  bitmap_.Reset(bitmap);
  if (first && view_ && ::IsWindow(view_)) ::PostMessageW(view_, WM_FIRST_FRAME_READY, 0, 0);
}

bool CFitViewFrame::Draw(ID2D1RenderTarget* target, float left, float top, float right,
                         float bottom) {
  if (!target || !bitmap_) return false;
  if (!d2d_bitmap_) {
    ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
    ComPtr<IWICBitmap> wrapped;
    if (!factory || FAILED(factory->CreateBitmapFromHBITMAP(bitmap_.Get(), nullptr,
                                                            WICBitmapIgnoreAlpha, &wrapped))) {
      return false;
    }
    d2d_bitmap_ = BitmapFromWic(target, wrapped.Get());
    if (!d2d_bitmap_) return false;
  }
  return DrawKeyFrameBitmap(target, d2d_bitmap_.Get(), D2D1::RectF(left, top, right, bottom));
}

// ---------------------------------------------------------------------------------------------

CZoomKeyFrame::~CZoomKeyFrame() { SetGdiplusBitmap(nullptr); }

void CZoomKeyFrame::SetGdiplusBitmap(Gdiplus::GpBitmap* bitmap) {
  if (gdiplus_) Gdiplus::DllExports::GdipDisposeImage(gdiplus_);
  gdiplus_ = bitmap;
}

bool CZoomKeyFrame::Draw(ID2D1RenderTarget* target, float left, float top, float right,
                         float bottom) {
  if (!bitmap_) return false;
  return DrawKeyFrameBitmap(target, bitmap_.Get(), D2D1::RectF(left, top, right, bottom));
}

// ---------------------------------------------------------------------------------------------

CAsyncCreateFitView::CAsyncCreateFitView(Params params)
    : params_(std::move(params)),
      transform_(params_.loader ? params_.loader->GetTransform() : WICBitmapTransformRotate0),
      settings_(image::GetRenderSettings()) {
  if (params_.loader && settings_.ignore_embedded_icc) {
    color_context_ = params_.loader->GetColorContext();
  }
}

HBITMAP CAsyncCreateFitView::RenderThumbnail(const view_render::ThumbnailBitmap& thumbnail) const {
  return view_render::RenderThumbnail(thumbnail, params_.width, params_.height, transform_,
                                      color_context_.Get(), settings_, params_.version);
}

void CAsyncCreateFitView::Run() {
  needs_better_ = false;
  const int larger = std::max(params_.width, params_.height);
  if (!params_.use_preview && IsSystemFormat(GetImageFormat(params_.path)) && params_.thumbnails) {
    if (!params_.second_pass) {
      view_render::ThumbnailBitmap large = view_render::RequestThumbnail(
          params_.thumbnails.get(), params_.path, view_render::ThumbnailKind::kLarge, larger,
          params_.version);
      if (!large.IsEmpty()) {
        result_.Reset(RenderThumbnail(large));
        if (result_) {
          const int limit = params_.version.windows10_or_later ? 1280 : 1080;
          needs_better_ = larger > limit;
          return;
        }
      }
    }
    view_render::ThumbnailBitmap exact =
        view_render::RequestThumbnail(params_.thumbnails.get(), params_.path,
                                      view_render::ThumbnailKind::kExact, larger, params_.version);
    if (!exact.IsEmpty() && !exact.IsLowQuality()) {
      result_.Reset(RenderThumbnail(exact));
      if (result_) return;
    }
  }
  if (!IsActive() || !params_.loader) return;
  result_.Reset(params_.loader->RenderFitted(params_.width, params_.height, settings_));
  needs_better_ = false;
}

void CAsyncCreateFitView::OnComplete() {
  if (params_.window && ::IsWindow(params_.window)) {
    ::SendMessageW(params_.window, WM_FIT_VIEW_DONE, reinterpret_cast<WPARAM>(this), 0);
  }
}

// ---------------------------------------------------------------------------------------------

CAsyncCreateZoomContext::CAsyncCreateZoomContext(std::shared_ptr<CWICImageLoader> loader,
                                                 HWND window, float fit_ratio, int actual_width,
                                                 int actual_height,
                                                 ComPtr<ID2D1RenderTarget> target)
    : loader_(std::move(loader)),
      window_(window),
      fit_ratio_(fit_ratio),
      actual_width_(actual_width),
      actual_height_(actual_height),
      target_(std::move(target)),
      settings_(image::GetRenderSettings()) {}

void CAsyncCreateZoomContext::NotifyFramesReady() {
  // Run at once on the interface thread there is no queue window; the caller adopts afterwards.
  if (GetQueueWindow())
    SendToWindow(window_, WM_ZOOM_FRAMES_READY, reinterpret_cast<WPARAM>(this), 0);
}

std::shared_ptr<CZoomKeyFrame> CAsyncCreateZoomContext::MakeKeyFrame(IWICBitmap* full,
                                                                     float ratio) {
  const int w = view_render::ZoomedSide(actual_width_, ratio);
  const int h = view_render::ZoomedSide(actual_height_, ratio);
  last_ratio_ = ratio;
  last_x_ratio_ = actual_width_ > 0 ? static_cast<float>(w) / actual_width_ : 1.0f;
  last_y_ratio_ = actual_height_ > 0 ? static_cast<float>(h) / actual_height_ : 1.0f;
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  ComPtr<IWICBitmapScaler> scaler;
  if (!factory || FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(full, static_cast<UINT>(w), static_cast<UINT>(h),
                                WICBitmapInterpolationModeFant))) {
    return nullptr;
  }
  ComPtr<ID2D1Bitmap> bitmap = BitmapFromWic(target_.Get(), scaler.Get());
  if (!bitmap) return nullptr;
  auto frame = std::make_shared<CZoomKeyFrame>(ratio);
  frame->SetBitmap(bitmap);
  return frame;
}

std::shared_ptr<CZoomKeyFrame> CAsyncCreateZoomContext::MakeActualSizeFrame(IWICBitmap* full) {
  auto frame = std::make_shared<CZoomKeyFrame>(1.0f);
  last_ratio_ = 1.0f;
  last_x_ratio_ = 1.0f;
  last_y_ratio_ = 1.0f;
  ComPtr<ID2D1Bitmap> bitmap = BitmapFromWic(target_.Get(), full);
  if (bitmap) {
    frame->SetBitmap(bitmap);
    return frame;
  }
  // Direct2D refused it (too large for the target, say): GDI+ draws this one.
  UINT w = 0, h = 0;
  ComPtr<IWICBitmapSource> straight;
  if (FAILED(full->GetSize(&w, &h)) || w == 0 || h == 0 || w > INT_MAX || h > INT_MAX ||
      !image::FitsPixelBuffer(w, h, 4) ||
      FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, full, &straight))) {
    return nullptr;
  }
  using namespace Gdiplus::DllExports;
  Gdiplus::GpBitmap* gp = nullptr;
  if (GdipCreateBitmapFromScan0(static_cast<INT>(w), static_cast<INT>(h), 0, PixelFormat32bppARGB,
                                nullptr, &gp) != Gdiplus::Ok ||
      !gp) {
    return nullptr;
  }
  frame->SetGdiplusBitmap(gp);
  Gdiplus::GpRect rect(0, 0, static_cast<INT>(w), static_cast<INT>(h));
  Gdiplus::BitmapData data = {};
  if (GdipBitmapLockBits(gp, &rect, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) !=
      Gdiplus::Ok) {
    return nullptr;
  }
  bool copied = false;
  if (data.Stride > 0 && data.Scan0) {
    const UINT stride = static_cast<UINT>(data.Stride);
    copied = image::FitsPixelBuffer(stride, h, 1) &&
             SUCCEEDED(
                 straight->CopyPixels(nullptr, stride, stride * h, static_cast<BYTE*>(data.Scan0)));
  }
  GdipBitmapUnlockBits(gp, &data);
  return copied ? frame : nullptr;
}

void CAsyncCreateZoomContext::Run() {
  if (!loader_) return;
  ComPtr<IWICBitmap> full = loader_->CreateFullBitmap(!settings_.ignore_embedded_icc);
  if (full && settings_.view_enhancer && IsActive()) {
    // The enhancement works in place on the decoded pixels.
    UINT w = 0, h = 0;
    ComPtr<IWICBitmapLock> lock;
    WICRect rect = {0, 0, 0, 0};
    if (SUCCEEDED(full->GetSize(&w, &h)) && w <= INT_MAX && h <= INT_MAX) {
      rect.Width = static_cast<INT>(w);
      rect.Height = static_cast<INT>(h);
      UINT size = 0, stride = 0;
      BYTE* pixels = nullptr;
      if (SUCCEEDED(full->Lock(&rect, WICBitmapLockWrite, &lock)) &&
          SUCCEEDED(lock->GetStride(&stride)) && SUCCEEDED(lock->GetDataPointer(&size, &pixels)) &&
          pixels && stride == w * 4) {
        FCObjImage view;
        view.Attach(static_cast<int>(w), static_cast<int>(h), pixels);
        settings_.view_enhancer(&view);
        view.Destroy();
      }
    }
  }
  if (!target_ || !full || !WindowAlive() || !IsActive()) return;
  if (fit_ratio_ * 2.0f < 1.0f) {
    frame_2x_ = MakeKeyFrame(full.Get(), fit_ratio_ * 2.0f);
    NotifyFramesReady();
    if (!WindowAlive() || !IsActive()) return;
  }
  if (frame_2x_ && fit_ratio_ * 4.0f < 1.0f) {
    frame_4x_ = MakeKeyFrame(full.Get(), fit_ratio_ * 4.0f);
    NotifyFramesReady();
    if (!WindowAlive() || !IsActive()) return;
  }
  frame_1to1_ = MakeActualSizeFrame(full.Get());
}

void CAsyncCreateZoomContext::OnComplete() {
  if (WindowAlive()) {
    ::SendMessageW(window_, WM_ZOOM_FRAMES_READY, reinterpret_cast<WPARAM>(this), 0);
  }
}

// ---------------------------------------------------------------------------------------------

namespace view_render {

std::vector<KeyFrameSlot> ChooseKeyFrameCandidates(float g, const CZoomKeyFrame* frame_2x,
                                                   const CZoomKeyFrame* frame_4x) {
  std::vector<KeyFrameSlot> list;
  if (frame_4x) {
    if (g > frame_4x->GetRatio()) {
      list = {KeyFrameSlot::k1to1, KeyFrameSlot::k4x};
    } else if (frame_2x && g <= frame_2x->GetRatio()) {
      list = {KeyFrameSlot::k2x};
    } else {
      list = {KeyFrameSlot::k4x};
    }
  } else if (frame_2x) {
    if (g > frame_2x->GetRatio()) {
      list = {KeyFrameSlot::k1to1, KeyFrameSlot::k2x};
    } else {
      list = {KeyFrameSlot::k2x};
    }
  } else {
    list = {KeyFrameSlot::k1to1};
  }
  list.push_back(KeyFrameSlot::kFit);
  return list;
}

}  // namespace view_render

// ---------------------------------------------------------------------------------------------

CPreRenderKeyFrame::CPreRenderKeyFrame(view_render::CViewRender* renderer)
    : renderer_(renderer),
      fit_frame_(renderer->GetFitRatio(), renderer->FitSize().cx, renderer->FitSize().cy,
                 renderer->GetNotifyWindow()) {
  Create();
  BuildFitFrame();
}

CPreRenderKeyFrame::~CPreRenderKeyFrame() {
  // The window goes first so no task can reach this object any more.
  Destroy();
}

HBITMAP CPreRenderKeyFrame::GetFitBitmap(bool require_ready) {
  if (require_ready && !fit_frame_.IsReady()) return nullptr;
  return fit_frame_.GetBitmap();
}

void CPreRenderKeyFrame::BuildFitFrame() {
  view_render::IRenderDocument* document = renderer_->GetDocument();
  std::shared_ptr<CWICImageLoader> loader = document ? document->GetLoader() : nullptr;
  if (!loader) return;
  CSystemCache* cache = renderer_->GetCache();
  const int width = fit_frame_.Width();
  const int height = fit_frame_.Height();
  if (!view_render::NeedsBackgroundRender(renderer_->ActualWidth(), renderer_->ActualHeight())) {
    fit_frame_.Adopt(loader->RenderFitted(width, height));
    fit_frame_.SetReady();
    if (cache) cache->Start();
    return;
  }
  if (cache) {
    bool good = false;
    HBITMAP preview = cache->GetCachedPreview(document, width, height, &good);
    if (preview) {
      fit_frame_.Adopt(preview);
      if (good) {
        fit_frame_.SetReady();
        cache->Start();
        return;
      }
    }
    if (cache->IsPreloading(document->GetPath(), GetSafeHwnd())) return;
  }
  EnqueueFitTask(false);
}

void CPreRenderKeyFrame::EnqueueFitTask(bool second_pass) {
  view_render::IRenderDocument* document = renderer_->GetDocument();
  if (!document) return;
  CAsyncTaskQueue* queue = document->GetRenderQueue();
  if (!queue) return;
  CSystemCache* cache = renderer_->GetCache();
  CAsyncCreateFitView::Params params;
  params.loader = document->GetLoader();
  params.path = document->GetPath();
  params.window = GetSafeHwnd();
  params.width = fit_frame_.Width();
  params.height = fit_frame_.Height();
  params.second_pass = second_pass;
  params.use_preview = document->UsePreview();
  if (cache) {
    params.thumbnails = cache->GetSource();
    params.version = cache->GetSystemVersion();
  }
  queue->Enqueue(std::make_shared<CAsyncCreateFitView>(std::move(params)));
}

void CPreRenderKeyFrame::OnFitViewDone(CAsyncCreateFitView* task) {
  if (!task) return;
  fit_frame_.Adopt(task->TakeResult());
  if (task->NeedsBetter()) {
    EnqueueFitTask(true);
  } else {
    fit_frame_.SetReady();
  }
  if (CSystemCache* cache = renderer_->GetCache()) cache->Start();
  renderer_->Redraw();
}

void CPreRenderKeyFrame::OnPreloadDone() {
  CSystemCache* cache = renderer_->GetCache();
  bool good = false;
  HBITMAP preview = cache ? cache->GetCachedPreview(renderer_->GetDocument(), fit_frame_.Width(),
                                                    fit_frame_.Height(), &good)
                          : nullptr;
  fit_frame_.Adopt(preview);
  if (preview && good) {
    fit_frame_.SetReady();
  } else {
    EnqueueFitTask(true);
  }
  if (cache) cache->Start();
  renderer_->Redraw();
}

void CPreRenderKeyFrame::RequestZoomContext() {
  zoom_started_ = true;
  ComPtr<ID2D1Factory> factory = view_render::GetD2DFactory();
  view_render::IRenderDocument* document = renderer_->GetDocument();
  std::shared_ptr<CWICImageLoader> loader = document ? document->GetLoader() : nullptr;
  if (!factory || !loader) return;
  target_.Reset();
  if (view_render::GetViewSettings().hardware_zoom) {
    const auto props = DcTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT);
    if (SUCCEEDED(factory->CreateDCRenderTarget(&props, &target_))) {
      target_type_ = D2D1_RENDER_TARGET_TYPE_DEFAULT;
    } else {
      target_.Reset();
    }
  }
  if (!target_) {
    const auto props = DcTargetProperties(D2D1_RENDER_TARGET_TYPE_SOFTWARE);
    if (FAILED(factory->CreateDCRenderTarget(&props, &target_))) {
      target_.Reset();
      return;
    }
    target_type_ = D2D1_RENDER_TARGET_TYPE_SOFTWARE;
  }
  auto task = std::make_shared<CAsyncCreateZoomContext>(
      loader, GetSafeHwnd(), fit_frame_.GetRatio(), renderer_->ActualWidth(),
      renderer_->ActualHeight(), ComPtr<ID2D1RenderTarget>(target_.Get()));
  if (view_render::NeedsBackgroundRender(renderer_->ActualWidth(), renderer_->ActualHeight())) {
    if (CAsyncTaskQueue* queue = document->GetRenderQueue()) queue->Enqueue(task);
  } else {
    task->Run();
    // We are inside a draw: it goes on with these frames, no second rebuild.
    frame_2x_ = task->Frame2x();
    frame_4x_ = task->Frame4x();
    frame_1to1_ = task->Frame1to1();
  }
}

void CPreRenderKeyFrame::AdoptZoomFrames(const CAsyncCreateZoomContext& task) {
  frame_2x_ = task.Frame2x();
  frame_4x_ = task.Frame4x();
  frame_1to1_ = task.Frame1to1();
  renderer_->Redraw();
}

void CPreRenderKeyFrame::ResetZoomContext() {
  Create();
  target_.Reset();
  frame_2x_.reset();
  frame_4x_.reset();
  frame_1to1_.reset();
  fit_frame_.DropDirect2D();
  zoom_started_ = false;
}

void CPreRenderKeyFrame::DrawFitGdi(HDC dc, int left, int top, int right, int bottom) {
  HBITMAP bitmap = fit_frame_.GetBitmap();
  BITMAP info = {};
  if (!bitmap || ::GetObjectW(bitmap, sizeof(info), &info) != sizeof(info)) return;
  basic_lib::ScopedMemoryDc source(::CreateCompatibleDC(dc));
  if (!source) return;
  basic_lib::ScopedSelectObject select(source.Get(), bitmap);
  const int old_mode = ::SetStretchBltMode(dc, COLORONCOLOR);
  ::StretchBlt(dc, left, top, right - left, bottom - top, source.Get(), 0, 0, info.bmWidth,
               info.bmHeight < 0 ? -info.bmHeight : info.bmHeight, SRCCOPY);
  ::SetStretchBltMode(dc, old_mode);
  last_drawn_ = DrawnFrame::kFitGdi;
}

bool CPreRenderKeyFrame::DrawGdiplus(HDC dc, Gdiplus::GpBitmap* bitmap, int left, int top,
                                     int right, int bottom) {
  using namespace Gdiplus::DllExports;
  Gdiplus::GpGraphics* graphics = nullptr;
  if (GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok || !graphics) return false;
  const bool drawn =
      GdipDrawImageRectI(graphics, bitmap, left, top, right - left, bottom - top) == Gdiplus::Ok;
  GdipDeleteGraphics(graphics);
  return drawn;
}

void CPreRenderKeyFrame::Draw(HDC dc, int left, int top, int right, int bottom) {
  last_drawn_ = DrawnFrame::kNone;
  if (!dc) return;
  const float g = renderer_->GetZoomRatio();
  if (g <= fit_frame_.GetRatio()) {
    DrawFitGdi(dc, left, top, right, bottom);
    return;
  }
  if (!zoom_started_) RequestZoomContext();
  if (!target_) return;
  const std::vector<KeyFrameSlot> candidates =
      view_render::ChooseKeyFrameCandidates(g, frame_2x_.get(), frame_4x_.get());
  if (candidates.front() == KeyFrameSlot::k1to1 && frame_1to1_ && !frame_1to1_->GetBitmap() &&
      frame_1to1_->GetGdiplusBitmap()) {
    if (DrawGdiplus(dc, frame_1to1_->GetGdiplusBitmap(), left, top, right, bottom)) {
      last_drawn_ = DrawnFrame::k1to1Gdiplus;
    }
    return;
  }
  // Only the part of the image that lies in the bitmap and the clip area is bound: Wine's DC
  // target writes back its whole bound rectangle, and what it did not draw comes out black.
  const SIZE size = SelectedBitmapSize(dc);
  RECT bound = {0, 0, size.cx, size.cy};
  const RECT image_rect = {left, top, right, bottom};
  RECT clip = {};
  if (!::IntersectRect(&bound, &bound, &image_rect)) return;
  if (::GetClipBox(dc, &clip) != ERROR && !::IntersectRect(&bound, &bound, &clip)) return;
  if (FAILED(target_->BindDC(dc, &bound))) return;
  target_->BeginDraw();
  target_->SetTransform(D2D1::Matrix3x2F::Translation(static_cast<float>(-bound.left),
                                                      static_cast<float>(-bound.top)));
  // Transparent pixels show the canvas, as they do in the composited fit frame.
  const COLORREF canvas = image::GetRenderSettings().canvas_color;
  target_->Clear(D2D1::ColorF(GetRValue(canvas) / 255.0f, GetGValue(canvas) / 255.0f,
                              GetBValue(canvas) / 255.0f, 1.0f));
  const float l = static_cast<float>(left), t = static_cast<float>(top);
  const float r = static_cast<float>(right), b = static_cast<float>(bottom);
  for (KeyFrameSlot slot : candidates) {
    bool drawn = false;
    DrawnFrame which = DrawnFrame::kNone;
    switch (slot) {
      case KeyFrameSlot::k1to1:
        drawn = frame_1to1_ && frame_1to1_->Draw(target_.Get(), l, t, r, b);
        which = DrawnFrame::k1to1;
        break;
      case KeyFrameSlot::k4x:
        drawn = frame_4x_ && frame_4x_->Draw(target_.Get(), l, t, r, b);
        which = DrawnFrame::k4x;
        break;
      case KeyFrameSlot::k2x:
        drawn = frame_2x_ && frame_2x_->Draw(target_.Get(), l, t, r, b);
        which = DrawnFrame::k2x;
        break;
      case KeyFrameSlot::kFit:
        drawn = fit_frame_.Draw(target_.Get(), l, t, r, b);
        which = DrawnFrame::kFit;
        break;
    }
    if (drawn) {
      last_drawn_ = which;
      break;
    }
  }
  const HRESULT ended = target_->EndDraw();
  if (ended == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
    last_drawn_ = DrawnFrame::kNone;
    ResetZoomContext();
  }
}

LRESULT CPreRenderKeyFrame::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_FIT_VIEW_DONE:
      OnFitViewDone(reinterpret_cast<CAsyncCreateFitView*>(wparam));
      return 0;
    case WM_PRELOAD_DONE:
      OnPreloadDone();
      return 0;
    case WM_ZOOM_FRAMES_READY:
      if (wparam) AdoptZoomFrames(*reinterpret_cast<CAsyncCreateZoomContext*>(wparam));
      return 0;
    default:
      return FCMessageWindow::WindowProc(message, wparam, lparam);
  }
}
