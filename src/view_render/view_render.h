#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "basic_lib/scoped_handle.h"
#include "view_render/pre_render.h"
#include "view_render/render_document.h"

class CSystemCache;

namespace view_render {

// Geometry of the zoomed image in the view: where it lies when smaller than the view, and which
// part of it is visible when larger.
class CViewport {
 public:
  CViewport(int view_width, int view_height, int zoomed_width, int zoomed_height);

  // New zoomed size: placement, overflow, and scroll back to the top-left corner.
  void SetZoomedSize(int zoomed_width, int zoomed_height);
  // Puts image point (px, py) (zoomed pixels) under view point (ax, ay) as far as the overflow
  // allows.
  void ScrollTo(double px, double py, int ax, int ay);
  // Moves the visible rectangle by (-dx, -dy), kept inside the image. Returns whether it moved;
  // *shift_x, *shift_y get how far the picture moved on screen.
  bool MoveBy(int dx, int dy, int* shift_x, int* shift_y);

  // Top-left corner of the image in view coordinates.
  POINT ImageOrigin() const;
  // The whole zoomed image in view coordinates (may extend beyond the view).
  RECT ImageRect() const;

  int ViewWidth() const { return view_width_; }
  int ViewHeight() const { return view_height_; }
  int ZoomedWidth() const { return zoomed_width_; }
  int ZoomedHeight() const { return zoomed_height_; }
  const RECT& Placement() const { return placement_; }
  int OverflowX() const { return overflow_x_; }
  int OverflowY() const { return overflow_y_; }
  const RECT& Visible() const { return visible_; }

 private:
  int view_width_;
  int view_height_;
  int zoomed_width_ = 0;
  int zoomed_height_ = 0;
  RECT placement_ = {0, 0, 0, 0};
  int overflow_x_ = 0;
  int overflow_y_ = 0;
  RECT visible_ = {0, 0, 0, 0};
};

// View-sized off-screen surface: a memory DC holding a 32 bpp top-down DIB section (Direct2D's
// DC target binds to it, and its pixels are addressable), plus a scratch bitmap for panning.
class CBufferedView {
 public:
  CBufferedView(int width, int height);
  ~CBufferedView();
  CBufferedView(const CBufferedView&) = delete;
  CBufferedView& operator=(const CBufferedView&) = delete;

  bool IsValid() const { return bitmap_.IsValid() && dc_.IsValid(); }
  HDC GetDC() const { return dc_.Get(); }
  HBITMAP GetBitmap() const { return bitmap_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Pixel (x, y) as a COLORREF; 0 outside.
  COLORREF PixelAt(int x, int y) const;
  // Created on first use, same size and format.
  HBITMAP EnsureScratch();

 private:
  int width_;
  int height_;
  basic_lib::ScopedMemoryDc dc_;
  basic_lib::ScopedBitmap bitmap_;
  basic_lib::ScopedBitmap scratch_;
  void* bits_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
};

struct ZoomLevels {
  float fit_ratio = 1.0f;
  float alternate_ratio = 2.0f;  // the double-click target
};

// What a view renderer works with besides its view.
struct RenderEnvironment {
  IRenderDocument* document = nullptr;             // required
  CSystemCache* cache = nullptr;                   // required for still images
  std::function<void(int percent)> set_zoom_text;  // the zoom percentage of the status text
};

// Zoom model, viewport, back buffer and pixel source of the image on screen. Interface thread.
class CViewRender {
 public:
  // *has_frame tells whether a picture was ready at once (else the view shows its loading item).
  CViewRender(const RenderEnvironment& environment, int view_width, int view_height,
              HWND notify_window, bool* has_frame = nullptr);
  ~CViewRender();
  CViewRender(const CViewRender&) = delete;
  CViewRender& operator=(const CViewRender&) = delete;

  void SetViewSize(int width, int height);
  void ZoomTo(float ratio, int anchor_x, int anchor_y);
  void ZoomStep(int steps, int anchor_x, int anchor_y);
  void ToggleFit(int x, int y);
  void ToggleActualSize();
  void Pan(int dx, int dy);
  void Paint(HDC dc, int width, int height, bool sizing);
  // Rebuilds the back buffer and repaints the view at once.
  void Redraw();

  float GetZoomRatio() const { return zoom_ratio_; }
  float GetFitRatio() const { return zoom_levels_ ? zoom_levels_->fit_ratio : 1.0f; }
  float GetAlternateRatio() const { return zoom_levels_ ? zoom_levels_->alternate_ratio : 1.0f; }
  int ActualWidth() const { return actual_width_; }
  int ActualHeight() const { return actual_height_; }
  // The zoomed size at the fit ratio.
  SIZE FitSize() const;
  HWND GetNotifyWindow() const { return notify_window_; }
  IRenderDocument* GetDocument() const { return environment_.document; }
  CSystemCache* GetCache() const { return environment_.cache; }
  const CViewport* GetViewport() const { return viewport_.get(); }
  const CBufferedView* GetBackBuffer() const { return back_buffer_.get(); }
  CPreRender* GetPreRender() const { return pre_render_.get(); }
  // Counts back-buffer rebuilds (tests use it to see that nothing was redrawn).
  int RebuildCount() const { return rebuild_count_; }

 private:
  void RebuildBackBuffer();
  void UpdateZoomText(float ratio);
  std::unique_ptr<CPreRender> CreatePreRender();

  RenderEnvironment environment_;
  HWND notify_window_;
  int actual_width_ = 0;
  int actual_height_ = 0;
  float zoom_ratio_ = 1.0f;
  float effective_x_ratio_ = 1.0f;
  float effective_y_ratio_ = 1.0f;
  // Destroyed in reverse: pre-renderer, zoom levels, viewport, back buffer.
  std::unique_ptr<CBufferedView> back_buffer_;
  std::unique_ptr<CViewport> viewport_;
  std::unique_ptr<ZoomLevels> zoom_levels_;
  std::unique_ptr<CPreRender> pre_render_;
  int rebuild_count_ = 0;
};

// Zoomed side for a ratio: truncated, at least 1.
int ZoomedSide(int actual, float ratio);
// min(view / actual per axis, 1.0).
float ComputeFitRatio(int view_width, int view_height, int actual_width, int actual_height);

}  // namespace view_render
