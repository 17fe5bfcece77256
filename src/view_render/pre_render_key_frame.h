#pragma once

#include <windows.h>

// clang-format off
// GDI+ needs the COM declarations first.
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <d2d1.h>
#include <wincodec.h>

#include <memory>
#include <string>
#include <vector>

#include "basic_lib/com_ptr.h"
#include "basic_lib/scoped_handle.h"
#include "image/wic_image_loader.h"
#include "view_render/async_task_queue.h"
#include "view_render/message_window.h"
#include "view_render/pre_render.h"
#include "view_render/thumbnail_cache.h"
#include "view_render/view_settings.h"

namespace view_render {
class CViewRender;
}

// Draws a Direct2D bitmap over a rectangle; heavy downscaling uses multi-sample interpolation
// where the target offers a device context.
bool DrawKeyFrameBitmap(ID2D1RenderTarget* target, ID2D1Bitmap* bitmap, const D2D1_RECT_F& rect);

// The bitmap of the fitted size; serves every ratio up to the fit ratio.
class CFitViewFrame {
 public:
  CFitViewFrame(float ratio, int width, int height, HWND view);
  virtual ~CFitViewFrame();
  CFitViewFrame(const CFitViewFrame&) = delete;
  CFitViewFrame& operator=(const CFitViewFrame&) = delete;

  // Makes its Direct2D bitmap from the fit bitmap on first use.
  virtual bool Draw(ID2D1RenderTarget* target, float left, float top, float right, float bottom);

  // Takes ownership of a new fit bitmap (null is ignored). The first bitmap tells the view that
  // its loading item can go (WM_FIRST_FRAME_READY, posted).
  void Adopt(HBITMAP bitmap);
  // Drops the Direct2D copy (it belongs to a render target that is going away).
  void DropDirect2D() { d2d_bitmap_.Reset(); }

  float GetRatio() const { return ratio_; }
  HBITMAP GetBitmap() const { return bitmap_.Get(); }
  bool IsReady() const { return ready_; }
  void SetReady() { ready_ = true; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  float ratio_;
  basic_lib::ComPtr<ID2D1Bitmap> d2d_bitmap_;
  basic_lib::ScopedBitmap bitmap_;
  bool ready_ = false;
  int width_;
  int height_;
  HWND view_;
};

// The image scaled to one zoom ratio, as a Direct2D bitmap. The 1:1 frame falls back to a GDI+
// bitmap when the Direct2D one cannot be made.
class CZoomKeyFrame {
 public:
  explicit CZoomKeyFrame(float ratio) : ratio_(ratio) {}
  virtual ~CZoomKeyFrame();
  CZoomKeyFrame(const CZoomKeyFrame&) = delete;
  CZoomKeyFrame& operator=(const CZoomKeyFrame&) = delete;

  // False when there is no Direct2D bitmap.
  virtual bool Draw(ID2D1RenderTarget* target, float left, float top, float right, float bottom);

  float GetRatio() const { return ratio_; }
  ID2D1Bitmap* GetBitmap() const { return bitmap_.Get(); }
  Gdiplus::GpBitmap* GetGdiplusBitmap() const { return gdiplus_; }
  void SetBitmap(basic_lib::ComPtr<ID2D1Bitmap> bitmap) { bitmap_ = std::move(bitmap); }
  // Takes ownership.
  void SetGdiplusBitmap(Gdiplus::GpBitmap* bitmap);

 private:
  float ratio_;
  basic_lib::ComPtr<ID2D1Bitmap> bitmap_;
  Gdiplus::GpBitmap* gdiplus_ = nullptr;
};

// Makes the fitted bitmap on a pool thread: thumbnail cache first for system formats, decoding
// otherwise.
class CAsyncCreateFitView : public CAsyncTask {
 public:
  struct Params {
    std::shared_ptr<CWICImageLoader> loader;
    std::wstring path;
    HWND window = nullptr;
    int width = 0;
    int height = 0;
    bool second_pass = false;
    bool use_preview = false;
    std::shared_ptr<view_render::IThumbnailSource> thumbnails;
    view_render::SystemVersion version;
  };
  explicit CAsyncCreateFitView(Params params);
  void Run() override;
  void OnComplete() override;

  HBITMAP TakeResult() { return result_.Release(); }
  bool NeedsBetter() const { return needs_better_; }
  bool IsSecondPass() const { return params_.second_pass; }

 private:
  HBITMAP RenderThumbnail(const view_render::ThumbnailBitmap& thumbnail) const;

  Params params_;
  WICBitmapTransformOptions transform_;
  basic_lib::ComPtr<IWICColorContext> color_context_;  // only when the profile is ignored
  image::RenderSettings settings_;
  basic_lib::ScopedBitmap result_;
  bool needs_better_ = false;
};

// Decodes the whole image once and makes the zoom key frames (2x and 4x the fit ratio while
// below 1.0, and 1:1), reporting each as it is ready.
class CAsyncCreateZoomContext : public CAsyncTask {
 public:
  CAsyncCreateZoomContext(std::shared_ptr<CWICImageLoader> loader, HWND window, float fit_ratio,
                          int actual_width, int actual_height,
                          basic_lib::ComPtr<ID2D1RenderTarget> target);
  void Run() override;
  void OnComplete() override;

  const std::shared_ptr<CZoomKeyFrame>& Frame2x() const { return frame_2x_; }
  const std::shared_ptr<CZoomKeyFrame>& Frame4x() const { return frame_4x_; }
  const std::shared_ptr<CZoomKeyFrame>& Frame1to1() const { return frame_1to1_; }

 private:
  std::shared_ptr<CZoomKeyFrame> MakeKeyFrame(IWICBitmap* full, float ratio);
  std::shared_ptr<CZoomKeyFrame> MakeActualSizeFrame(IWICBitmap* full);
  bool WindowAlive() const { return ::IsWindow(window_) != FALSE; }
  void NotifyFramesReady();

  std::shared_ptr<CWICImageLoader> loader_;
  HWND window_;
  float fit_ratio_;
  int actual_width_;
  int actual_height_;
  float last_ratio_ = 0.0f;
  float last_x_ratio_ = 0.0f;
  float last_y_ratio_ = 0.0f;
  basic_lib::ComPtr<ID2D1RenderTarget> target_;
  image::RenderSettings settings_;
  std::shared_ptr<CZoomKeyFrame> frame_2x_;
  std::shared_ptr<CZoomKeyFrame> frame_4x_;
  std::shared_ptr<CZoomKeyFrame> frame_1to1_;
};

namespace view_render {

enum class KeyFrameSlot { kFit, k2x, k4x, k1to1 };
// The frames a draw at ratio g tries, best first (frames missing at draw time are skipped).
std::vector<KeyFrameSlot> ChooseKeyFrameCandidates(float g, const CZoomKeyFrame* frame_2x,
                                                   const CZoomKeyFrame* frame_4x);

// Which source the last Draw took its pixels from.
enum class DrawnFrame { kNone, kFitGdi, kFit, k2x, k4x, k1to1, k1to1Gdiplus };

}  // namespace view_render

// The still-image pre-renderer: the fit frame at once or from pool tasks, and zoom key frames
// from the first zoom beyond fit on.
class CPreRenderKeyFrame : public CPreRender, public FCMessageWindow {
 public:
  explicit CPreRenderKeyFrame(view_render::CViewRender* renderer);
  ~CPreRenderKeyFrame() override;

  HBITMAP GetFitBitmap(bool require_ready) override;
  void Draw(HDC dc, int left, int top, int right, int bottom) override;

  // After a device loss: new message window (undelivered results are lost), no render target,
  // no key frames; the next zoomed draw asks again.
  void ResetZoomContext();

  bool IsZoomStarted() const { return zoom_started_; }
  const CFitViewFrame& GetFitFrame() const { return fit_frame_; }
  const std::shared_ptr<CZoomKeyFrame>& Frame2x() const { return frame_2x_; }
  const std::shared_ptr<CZoomKeyFrame>& Frame4x() const { return frame_4x_; }
  const std::shared_ptr<CZoomKeyFrame>& Frame1to1() const { return frame_1to1_; }
  ID2D1DCRenderTarget* GetRenderTarget() const { return target_.Get(); }
  // D2D1_RENDER_TARGET_TYPE_DEFAULT or _SOFTWARE, as created.
  D2D1_RENDER_TARGET_TYPE GetRenderTargetType() const { return target_type_; }
  view_render::DrawnFrame LastDrawnFrame() const { return last_drawn_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void BuildFitFrame();
  void EnqueueFitTask(bool second_pass);
  void RequestZoomContext();
  void AdoptZoomFrames(const CAsyncCreateZoomContext& task);
  void OnFitViewDone(CAsyncCreateFitView* task);
  void OnPreloadDone();
  bool DrawGdiplus(HDC dc, Gdiplus::GpBitmap* bitmap, int left, int top, int right, int bottom);
  void DrawFitGdi(HDC dc, int left, int top, int right, int bottom);

  view_render::CViewRender* renderer_;
  bool zoom_started_ = false;
  CFitViewFrame fit_frame_;
  basic_lib::ComPtr<ID2D1DCRenderTarget> target_;
  D2D1_RENDER_TARGET_TYPE target_type_ = D2D1_RENDER_TARGET_TYPE_DEFAULT;
  std::shared_ptr<CZoomKeyFrame> frame_2x_;
  std::shared_ptr<CZoomKeyFrame> frame_4x_;
  std::shared_ptr<CZoomKeyFrame> frame_1to1_;
  view_render::DrawnFrame last_drawn_ = view_render::DrawnFrame::kNone;
};
