#pragma once

#include <windows.h>

// The pixel source of the view renderer: key frames for still images, frame playback for
// animations.
class CPreRender {
 public:
  CPreRender() = default;
  virtual ~CPreRender() = default;
  CPreRender(const CPreRender&) = delete;
  CPreRender& operator=(const CPreRender&) = delete;

  // The fitted bitmap; with require_ready only once it is final. Null when there is none yet.
  virtual HBITMAP GetFitBitmap(bool require_ready) = 0;
  // Draws the image into the rectangle (view coordinates, may exceed the DC's bitmap).
  virtual void Draw(HDC dc, int left, int top, int right, int bottom) = 0;
};
