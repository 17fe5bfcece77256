#pragma once

#include <windows.h>

#include "basic_lib/scoped_handle.h"
#include "framework/wnd.h"

namespace framework {

// A premultiplied 32-bit top-down DIB section decoded from a PNG resource (type "PNG").
class CPngImage {
 public:
  bool LoadFromResource(HINSTANCE module, UINT id);
  bool LoadFromMemory(const void* data, size_t size);
  HBITMAP Bitmap() const { return bitmap_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Draws the source rectangle at (x, y) with per-pixel alpha.
  void Draw(HDC dc, int x, int y, int src_x, int src_y, int width, int height) const;

 private:
  basic_lib::ScopedBitmap bitmap_;
  int width_ = 0;
  int height_ = 0;
};

// An owner-drawn push button painted from a horizontal strip of 1, 3 or 4 equal frames.
class CPngButton : public CWnd {
 public:
  enum State { kNormal = 1, kHover = 2, kPressed = 3, kDisabled = 4 };

  // A BS_OWNERDRAW child button at (x, y); the strip decides its size.
  bool Create(HWND parent, UINT id, UINT png_id, int x, int y);
  // Changes the strip (maximise/restore) and resizes to its frame.
  bool LoadStrip(UINT png_id);
  int State() const { return state_; }
  int FrameCount() const { return frames_; }
  int FrameWidth() const { return frames_ ? image_.Width() / frames_ : 0; }
  int FrameHeight() const { return image_.Height(); }
  UINT StripId() const { return png_id_; }
  // A flag for the owner (the full-screen button shows whether full screen is on).
  void SetMarked(bool marked) { marked_ = marked; }
  bool IsMarked() const { return marked_; }

  // 0-based frame painted for a state, or -1 for nothing, for a strip of `frames` frames.
  static int FrameForState(int frames, int state);

  bool DrawItem(const DRAWITEMSTRUCT* dis) override;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void SetState(int state);

  CPngImage image_;
  UINT png_id_ = 0;
  int frames_ = 0;
  int state_ = kNormal;
  bool tracking_ = false;
  bool marked_ = false;
};

}  // namespace framework
