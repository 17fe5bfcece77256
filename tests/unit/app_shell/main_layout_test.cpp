#include "app/main_layout.h"

#include <gtest/gtest.h>

namespace {

void ExpectRect(const RECT& r, int left, int top, int right, int bottom, const char* what) {
  EXPECT_EQ(left, r.left) << what;
  EXPECT_EQ(top, r.top) << what;
  EXPECT_EQ(right, r.right) << what;
  EXPECT_EQ(bottom, r.bottom) << what;
}

TEST(MainLayoutTest, ToolbarAtTheBottom) {
  const MainLayout l = ComputeMainLayout(1000, 700, true, false);
  ExpectRect(l.caption_strip, 0, 0, 1000, 31, "caption");
  ExpectRect(l.toolbar, 0, 638, 1000, 698, "toolbar");
  ExpectRect(l.view, 0, 31, 1000, 638, "view");
  ExpectRect(l.close_button, 970, 1, 1000, 31, "close");
  ExpectRect(l.maximize_button, 940, 1, 970, 31, "maximize");
  ExpectRect(l.minimize_button, 910, 1, 940, 31, "minimize");
  ExpectRect(l.fullscreen_button, 880, 1, 910, 31, "full screen");
  ExpectRect(l.menubar_button, 850, 1, 880, 31, "menu bar");
  ExpectRect(l.logo, 8, 3, 90, 30, "logo");
}

TEST(MainLayoutTest, ToolbarAtTheTopAndFullScreen) {
  const MainLayout top = ComputeMainLayout(800, 600, false, false);
  ExpectRect(top.toolbar, 0, 33, 800, 93, "toolbar");
  ExpectRect(top.view, 0, 93, 800, 600, "view");
  // In full screen the hidden buttons leave a gap: the full-screen button moves up to close.
  const MainLayout full = ComputeMainLayout(1280, 1024, true, true);
  ExpectRect(full.fullscreen_button, 1220, 1, 1250, 31, "full screen");
  ExpectRect(full.close_button, 1250, 1, 1280, 31, "close");
}

TEST(MainLayoutTest, CaptionDragOnlyInTheTopThirtyPixelsOutsideFullScreen) {
  struct Case {
    POINT pt;
    bool full_screen;
    bool drag;
  } cases[] = {
      {{0, 0}, false, true},      {{799, 29}, false, true}, {{400, 30}, false, false},
      {{400, 300}, false, false}, {{-1, 5}, false, false},  {{800, 5}, false, false},
      {{10, 10}, true, false},    {{10, -3}, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.drag, IsCaptionDragPoint(c.pt, 800, 600, c.full_screen))
        << c.pt.x << "," << c.pt.y << " full=" << c.full_screen;
  }
}

TEST(MainLayoutTest, MinimumSizeAndMaximisedHeight) {
  const RECT work = {0, 0, 1280, 984};
  MINMAXINFO info = {};
  info.ptMaxPosition = {-8, -8};
  info.ptMaxSize = {1296, 1000};
  ApplyMinMaxInfo(&info, work);
  EXPECT_EQ(700, info.ptMinTrackSize.x);
  EXPECT_EQ(500, info.ptMinTrackSize.y);
  EXPECT_EQ(984 + 16, info.ptMaxSize.y);
  EXPECT_EQ(1296, info.ptMaxSize.x);

  MINMAXINFO flush = {};
  flush.ptMaxPosition = {0, 0};
  ApplyMinMaxInfo(&flush, RECT{0, 40, 1920, 1080});
  EXPECT_EQ(1040, flush.ptMaxSize.y);
}

}  // namespace
