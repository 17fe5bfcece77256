#include "widget_window/track_mouse_hover.h"

void FCTrackMouseHover::FilterMouseMessage(HWND wnd, UINT msg) {
  if (msg == WM_MOUSEMOVE && tracking_ == 0) {
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = wnd;
    track.dwHoverTime = 0;
    tracking_ = ::TrackMouseEvent(&track);
    OnMouseHoverEnter();
    ::InvalidateRect(wnd, nullptr, TRUE);
  } else if (msg == WM_MOUSELEAVE && tracking_ != 0) {
    tracking_ = 0;
    OnMouseHoverLeave();
    ::InvalidateRect(wnd, nullptr, TRUE);
  }
}
