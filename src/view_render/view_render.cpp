#include "view_render/view_render.h"

#include <algorithm>
#include <cmath>

#include "image/wic_image_loader.h"
#include "log/my_log.h"
#include "view_render/pre_render_key_frame.h"
#include "view_render/system_cache.h"
#include "view_render/view_settings.h"
#include "widget_window/ui_event.h"

namespace view_render {
namespace {

constexpr int kLongImageMaxWidth = 1280;
constexpr float kMinZoomRatio = 0.05f;

long long NearestInteger(double value) { return static_cast<long long>(std::llround(value)); }

RECT IntersectWithView(RECT rect, int view_width, int view_height) {
  const RECT view = {0, 0, view_width, view_height};
  RECT out = {0, 0, 0, 0};
  if (!::IntersectRect(&out, &rect, &view)) out = RECT{0, 0, 0, 0};
  return out;
}

void FillCanvas(HDC dc, const RECT& rect) {
  basic_lib::ScopedBrush brush(::CreateSolidBrush(image::GetRenderSettings().canvas_color));
  if (brush) ::FillRect(dc, &rect, brush.Get());
}

}  // namespace

int ZoomedSide(int actual, float ratio) {
  const double side = static_cast<double>(actual) * static_cast<double>(ratio);
  if (!(side >= 1.0)) return 1;
  if (side >= 2147483647.0) return 2147483647;
  return static_cast<int>(side);
}

float ComputeFitRatio(int view_width, int view_height, int actual_width, int actual_height) {
  if (actual_width <= 0 || actual_height <= 0) return 1.0f;
  const float x = static_cast<float>(view_width) / static_cast<float>(actual_width);
  const float y = static_cast<float>(view_height) / static_cast<float>(actual_height);
  return std::min(std::min(x, y), 1.0f);
}

// ---------------------------------------------------------------------------------------------

CViewport::CViewport(int view_width, int view_height, int zoomed_width, int zoomed_height)
    : view_width_(view_width), view_height_(view_height) {
  SetZoomedSize(zoomed_width, zoomed_height);
}

void CViewport::SetZoomedSize(int zoomed_width, int zoomed_height) {
  zoomed_width_ = zoomed_width;
  zoomed_height_ = zoomed_height;
  const int left = (view_width_ - zoomed_width) / 2;
  const int top = (view_height_ - zoomed_height) / 2;
  const RECT centred = {left, top, left + zoomed_width, top + zoomed_height};
  placement_ = IntersectWithView(centred, view_width_, view_height_);
  overflow_x_ = std::max(zoomed_width - view_width_, 0);
  overflow_y_ = std::max(zoomed_height - view_height_, 0);
  ScrollTo(0, 0, 0, 0);
}

void CViewport::ScrollTo(double px, double py, int ax, int ay) {
  visible_ = RECT{0, 0, zoomed_width_, zoomed_height_};
  if (overflow_x_ > 0) {
    const long long offset =
        std::min<long long>(std::max<long long>(NearestInteger(px) - ax, 0), overflow_x_);
    visible_.left = static_cast<LONG>(offset);
    visible_.right = static_cast<LONG>(offset + view_width_);
  }
  if (overflow_y_ > 0) {
    const long long offset =
        std::min<long long>(std::max<long long>(NearestInteger(py) - ay, 0), overflow_y_);
    visible_.top = static_cast<LONG>(offset);
    visible_.bottom = static_cast<LONG>(offset + view_height_);
  }
}

bool CViewport::MoveBy(int dx, int dy, int* shift_x, int* shift_y) {
  const RECT before = visible_;
  RECT moved = visible_;
  ::OffsetRect(&moved, -dx, -dy);
  if (moved.left < 0) {
    ::OffsetRect(&moved, -moved.left, 0);
  } else if (moved.right > zoomed_width_) {
    ::OffsetRect(&moved, zoomed_width_ - moved.right, 0);
  }
  if (moved.top < 0) {
    ::OffsetRect(&moved, 0, -moved.top);
  } else if (moved.bottom > zoomed_height_) {
    ::OffsetRect(&moved, 0, zoomed_height_ - moved.bottom);
  }
  visible_ = moved;
  *shift_x = before.left - moved.left;
  *shift_y = before.top - moved.top;
  return *shift_x != 0 || *shift_y != 0;
}

POINT CViewport::ImageOrigin() const {
  POINT origin;
  origin.x = overflow_x_ > 0 ? -visible_.left : placement_.left;
  origin.y = overflow_y_ > 0 ? -visible_.top : placement_.top;
  return origin;
}

RECT CViewport::ImageRect() const {
  const POINT origin = ImageOrigin();
  return RECT{origin.x, origin.y, origin.x + zoomed_width_, origin.y + zoomed_height_};
}

// ---------------------------------------------------------------------------------------------

CBufferedView::CBufferedView(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)) {
  basic_lib::ScopedWindowDc screen(nullptr);
  dc_.Reset(::CreateCompatibleDC(screen.Get()));
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  bitmap_.Reset(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
  if (dc_ && bitmap_) old_bitmap_ = ::SelectObject(dc_.Get(), bitmap_.Get());
}

CBufferedView::~CBufferedView() {
  if (dc_ && old_bitmap_) ::SelectObject(dc_.Get(), old_bitmap_);
  scratch_.Reset();
  bitmap_.Reset();
  dc_.Reset();
}

COLORREF CBufferedView::PixelAt(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  ::GdiFlush();
  const auto* row = static_cast<const BYTE*>(bits_) + static_cast<size_t>(y) * width_ * 4;
  const BYTE* p = row + static_cast<size_t>(x) * 4;
  return RGB(p[2], p[1], p[0]);
}

HBITMAP CBufferedView::EnsureScratch() {
  if (!scratch_) {
    basic_lib::ScopedWindowDc screen(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    scratch_.Reset(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  }
  return scratch_.Get();
}

// ---------------------------------------------------------------------------------------------

CViewRender::CViewRender(const RenderEnvironment& environment, int view_width, int view_height,
                         HWND notify_window, bool* has_frame)
    : environment_(environment), notify_window_(notify_window) {
  std::shared_ptr<CWICImageLoader> loader =
      environment_.document ? environment_.document->GetLoader() : nullptr;
  if (loader) {
    const SIZE size = loader->GetSize();
    actual_width_ = size.cx;
    actual_height_ = size.cy;
  }
  SetViewSize(view_width, view_height);
  if (has_frame) *has_frame = pre_render_ && pre_render_->GetFitBitmap(false) != nullptr;
  if (GetViewSettings().long_image_mode && actual_width_ > 0 &&
      actual_width_<kLongImageMaxWidth&& static_cast<long long>(actual_height_)> 4LL *
          actual_width_) {
    ZoomTo(1.0f, 0, 0);
  }
}

CViewRender::~CViewRender() {
  pre_render_.reset();
  zoom_levels_.reset();
  viewport_.reset();
  back_buffer_.reset();
}

SIZE CViewRender::FitSize() const {
  const float fit = GetFitRatio();
  SIZE size = {ZoomedSide(actual_width_, fit), ZoomedSide(actual_height_, fit)};
  return size;
}

void CViewRender::SetViewSize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (back_buffer_ && back_buffer_->Width() == width && back_buffer_->Height() == height) {
    UpdateZoomText(zoom_ratio_);
    return;
  }
  if (environment_.document) environment_.document->StopRendering();
  back_buffer_ = std::make_unique<CBufferedView>(width, height);

  LUMORA_LOG_I("actualsize.cx:" << actual_width_ << " actualsize.cy" << actual_height_);
  const float fit = ComputeFitRatio(width, height, actual_width_, actual_height_);
  zoom_ratio_ = fit;
  const int zoomed_width = ZoomedSide(actual_width_, fit);
  const int zoomed_height = ZoomedSide(actual_height_, fit);
  effective_x_ratio_ = actual_width_ > 0 ? static_cast<float>(zoomed_width) / actual_width_ : 1.0f;
  effective_y_ratio_ =
      actual_height_ > 0 ? static_cast<float>(zoomed_height) / actual_height_ : 1.0f;
  const float alternate = GetViewSettings().double_click_action != 0 ? 1.0f : fit * 2.0f;
  LUMORA_LOG_I("init_ratio:" << fit);
  LUMORA_LOG_I("view_size.cx:" << width << " view_size.cy:" << height);
  LUMORA_LOG_I("zoomed_size.cx:" << zoomed_width << " zoomed_size.cy:" << zoomed_height);

  // The old pre-renderer goes first: its window and frames belong to the old size.
  pre_render_.reset();
  viewport_ = std::make_unique<CViewport>(width, height, zoomed_width, zoomed_height);
  auto levels = std::make_unique<ZoomLevels>();
  levels->fit_ratio = fit;
  levels->alternate_ratio = alternate;
  zoom_levels_ = std::move(levels);
  pre_render_ = CreatePreRender();
  RebuildBackBuffer();
  UpdateZoomText(zoom_ratio_);
}

std::unique_ptr<CPreRender> CViewRender::CreatePreRender() {
  // Animated GIFs get their own pre-renderer once it exists; every image is still for now.
  if (!environment_.document || !environment_.document->GetLoader() || actual_width_ <= 0 ||
      actual_height_ <= 0) {
    return nullptr;
  }
  return std::make_unique<CPreRenderKeyFrame>(this);
}

void CViewRender::ZoomTo(float ratio, int anchor_x, int anchor_y) {
  if (!viewport_ || !(ratio > 0.0f)) return;
  const POINT origin = viewport_->ImageOrigin();
  const double image_x = (anchor_x - origin.x) / static_cast<double>(effective_x_ratio_);
  const double image_y = (anchor_y - origin.y) / static_cast<double>(effective_y_ratio_);
  zoom_ratio_ = ratio;
  const int zoomed_width = ZoomedSide(actual_width_, ratio);
  const int zoomed_height = ZoomedSide(actual_height_, ratio);
  if (actual_width_ > 0) effective_x_ratio_ = static_cast<float>(zoomed_width) / actual_width_;
  if (actual_height_ > 0) effective_y_ratio_ = static_cast<float>(zoomed_height) / actual_height_;
  if (zoomed_width == viewport_->ZoomedWidth() && zoomed_height == viewport_->ZoomedHeight()) {
    return;
  }
  viewport_->SetZoomedSize(zoomed_width, zoomed_height);
  viewport_->ScrollTo(effective_x_ratio_ * image_x, effective_y_ratio_ * image_y, anchor_x,
                      anchor_y);
  RebuildBackBuffer();
  UpdateZoomText(zoom_ratio_);
  CUIEventViewZoomChanged event(zoom_ratio_, GetFitRatio());
  DispatchUIEvent(&event);
}

void CViewRender::ZoomStep(int steps, int anchor_x, int anchor_y) {
  const float wanted = zoom_ratio_ * (1.0f + 0.1f * static_cast<float>(steps));
  const float lower = std::min(kMinZoomRatio, GetFitRatio());
  const float upper = static_cast<float>(GetViewSettings().max_zoom_ratio);
  const float result = wanted < upper ? std::max(wanted, lower) : upper;
  ZoomTo(result, anchor_x, anchor_y);
}

void CViewRender::ToggleFit(int x, int y) {
  if (zoom_ratio_ == GetFitRatio()) {
    ZoomTo(GetAlternateRatio(), x, y);
  } else {
    ZoomTo(GetFitRatio(), x, y);
  }
}

void CViewRender::ToggleActualSize() {
  const int x = back_buffer_ ? back_buffer_->Width() / 2 : 0;
  const int y = back_buffer_ ? back_buffer_->Height() / 2 : 0;
  ZoomTo(zoom_ratio_ == GetFitRatio() ? 1.0f : GetFitRatio(), x, y);
}

void CViewRender::Pan(int dx, int dy) {
  if (!viewport_ || !back_buffer_ || !back_buffer_->IsValid()) return;
  int shift_x = 0, shift_y = 0;
  if (!viewport_->MoveBy(dx, dy, &shift_x, &shift_y)) return;
  const int w = back_buffer_->Width();
  const int h = back_buffer_->Height();
  HDC back = back_buffer_->GetDC();
  HBITMAP scratch = back_buffer_->EnsureScratch();
  basic_lib::ScopedWindowDc screen(nullptr);
  basic_lib::ScopedMemoryDc scratch_dc(::CreateCompatibleDC(screen.Get()));
  if (!scratch || !scratch_dc) {
    RebuildBackBuffer();
    return;
  }
  {
    basic_lib::ScopedSelectObject select(scratch_dc.Get(), scratch);
    ::BitBlt(scratch_dc.Get(), 0, 0, w, h, back, 0, 0, SRCCOPY);
    ::BitBlt(back, shift_x, shift_y, w, h, scratch_dc.Get(), 0, 0, SRCCOPY);
  }
  // Only the strips the move exposed are drawn again.
  basic_lib::ScopedRegion saved(::CreateRectRgn(0, 0, 0, 0));
  const bool had_clip = saved && ::GetClipRgn(back, saved.Get()) == 1;
  RECT valid = {shift_x, shift_y, shift_x + w, shift_y + h};
  valid = IntersectWithView(valid, w, h);
  ::ExcludeClipRect(back, valid.left, valid.top, valid.right, valid.bottom);
  RebuildBackBuffer();
  ::SelectClipRgn(back, had_clip ? saved.Get() : nullptr);
}

void CViewRender::RebuildBackBuffer() {
  if (!back_buffer_ || !back_buffer_->IsValid() || !viewport_) return;
  ++rebuild_count_;
  HDC dc = back_buffer_->GetDC();
  const RECT all = {0, 0, back_buffer_->Width(), back_buffer_->Height()};
  FillCanvas(dc, all);
  if (!pre_render_) return;
  const RECT image = viewport_->ImageRect();
  pre_render_->Draw(dc, image.left, image.top, image.right, image.bottom);
}

void CViewRender::Redraw() {
  RebuildBackBuffer();
  if (notify_window_ && ::IsWindow(notify_window_)) {
    ::InvalidateRect(notify_window_, nullptr, FALSE);
    ::UpdateWindow(notify_window_);
  }
}

void CViewRender::Paint(HDC dc, int width, int height, bool sizing) {
  if (!dc || !back_buffer_) return;
  if (!sizing) {
    ::BitBlt(dc, 0, 0, back_buffer_->Width(), back_buffer_->Height(), back_buffer_->GetDC(), 0, 0,
             SRCCOPY);
    return;
  }
  // Live resize: stretch what the pre-renderer has over a fitted layout of the new size; the
  // real rebuild follows when the resize ends.
  const RECT all = {0, 0, width, height};
  FillCanvas(dc, all);
  const float fit = ComputeFitRatio(width, height, actual_width_, actual_height_);
  CViewport preview(width, height, ZoomedSide(actual_width_, fit), ZoomedSide(actual_height_, fit));
  HBITMAP bitmap = pre_render_ ? pre_render_->GetFitBitmap(false) : nullptr;
  BITMAP info = {};
  if (bitmap && ::GetObjectW(bitmap, sizeof(info), &info) == sizeof(info)) {
    basic_lib::ScopedMemoryDc source(::CreateCompatibleDC(dc));
    if (source) {
      basic_lib::ScopedSelectObject select(source.Get(), bitmap);
      const RECT r = preview.ImageRect();
      const int old_mode = ::SetStretchBltMode(dc, COLORONCOLOR);
      ::StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, source.Get(), 0, 0,
                   info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight, SRCCOPY);
      ::SetStretchBltMode(dc, old_mode);
    }
  }
  UpdateZoomText(fit);
  // The stored ratios are untouched: the preview used its own viewport.
}

void CViewRender::UpdateZoomText(float ratio) {
  if (environment_.set_zoom_text) {
    environment_.set_zoom_text(static_cast<int>(ratio * 100.0f));
  }
}

}  // namespace view_render
