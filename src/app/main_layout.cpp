#include "app/main_layout.h"

namespace {
RECT Rect(int left, int top, int right, int bottom) { return RECT{left, top, right, bottom}; }
}  // namespace

MainLayout ComputeMainLayout(int w, int h, bool toolbar_at_bottom, bool full_screen) {
  MainLayout l;
  const int s = kCaptionButtonSize;
  l.caption_strip = Rect(0, 0, w, kCaptionStripHeight);
  if (toolbar_at_bottom) {
    l.toolbar = Rect(0, h - 62, w, h - 2);
    l.view = Rect(0, 31, w, h - 62);
  } else {
    l.toolbar = Rect(0, 33, w, 93);
    l.view = Rect(0, 93, w, h);
  }
  l.close_button = Rect(w - s, 1, w, 1 + s);
  l.maximize_button = Rect(w - 2 * s, 1, w - s, 1 + s);
  l.minimize_button = Rect(w - 3 * s, 1, w - 2 * s, 1 + s);
  l.fullscreen_button = full_screen ? l.maximize_button : Rect(w - 4 * s, 1, w - 3 * s, 1 + s);
  l.menubar_button = Rect(w - 5 * s, 1, w - 4 * s, 1 + s);
  l.logo = Rect(8, 3, 90, 30);
  return l;
}

bool IsCaptionDragPoint(POINT pt, int w, int h, bool full_screen) {
  if (full_screen) return false;
  return pt.x >= 0 && pt.x < w && pt.y >= 0 && pt.y < h && pt.y < kCaptionDragHeight;
}

void ApplyMinMaxInfo(MINMAXINFO* info, const RECT& work_area) {
  info->ptMinTrackSize.x = kMinTrackWidth;
  info->ptMinTrackSize.y = kMinTrackHeight;
  int height = work_area.bottom - work_area.top;
  // A frame hanging above the screen edge hangs below it as well.
  if (info->ptMaxPosition.y < 0) height += -2 * info->ptMaxPosition.y;
  info->ptMaxSize.y = height;
}
