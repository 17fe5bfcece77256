#pragma once

#include <windows.h>

// Mouse-leave tracking for a whole window: fed with every message of the window, it tells when
// the mouse enters the window and when it leaves it (even though no WM_MOUSEMOVE follows).
class FCTrackMouseHover {
 public:
  FCTrackMouseHover() = default;
  virtual ~FCTrackMouseHover() = default;

  bool IsTracking() const { return tracking_ != 0; }

 protected:
  virtual void OnMouseHoverEnter() {}
  virtual void OnMouseHoverLeave() {}
  void FilterMouseMessage(HWND wnd, UINT msg);

 private:
  int tracking_ = 0;
};
