#include <gtest/gtest.h>

#include <vector>

#include "main_view/main_image_view.h"
#include "main_view/main_view_items.h"
#include "widget_window/interface_image.h"

using namespace main_view;

namespace {

class CPlainItem : public CWidgetItem {
 public:
  CPlainItem(int id, int w, int h) : CWidgetItem(id) { rect = {0, 0, w, h}; }
  void Draw(HDC) override {}
};

const RECT& RectOf(const CWidgetItemList& items, int id) {
  for (const auto& item : items) {
    if (item->id == id) return item->rect;
  }
  static const RECT none = {-1, -1, -1, -1};
  return none;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST(MainViewLayout, PlacesEveryItemById) {
  CWidgetItemList items;
  items.push_back(std::make_unique<CPlainItem>(kTurnPrevItem, 0, 0));
  items.push_back(std::make_unique<CPlainItem>(kTurnNextItem, 0, 0));
  items.push_back(std::make_unique<CPlainItem>(kLoadingItem, 0, 0));
  items.push_back(std::make_unique<CPlainItem>(kWelcomeSlogonItem, 341, 95));
  items.push_back(std::make_unique<CPlainItem>(kWelcomeOpenItem, 150, 40));
  items.push_back(std::make_unique<CPlainItem>(kMissingTipItem, 10, 10));
  items.push_back(std::make_unique<CPlainItem>(kSavingTipItem, 10, 10));
  items.push_back(std::make_unique<CPlainItem>(104, 3, 4));
  CMainViewLayout layout(44);
  const RECT client = {0, 0, 801, 601};
  layout.LayoutIn(client, items);

  // Slogan centred with 52 pixels reserved below it; button 87 below it, 7 to the right.
  const int x = (801 - 341) / 2, y = (601 - 95 - 52) / 2;
  const struct {
    int id;
    RECT want;
  } cases[] = {
      {kTurnPrevItem, {0, 0, 44, 601}},
      {kTurnNextItem, {757, 0, 801, 601}},
      {kLoadingItem, client},
      {kWelcomeSlogonItem, {x, y, x + 341, y + 95}},
      {kWelcomeOpenItem, {x + 7, y + 95 + 87, x + 7 + 150, y + 95 + 87 + 40}},
      {kMissingTipItem, {310, 275, 490, 325}},
      {kSavingTipItem, {310, 275, 490, 325}},
      {104, {0, 0, 3, 4}},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(SameRect(RectOf(items, c.id), c.want)) << "item " << c.id;
  }
}

TEST(MainViewWheel, DecisionTable) {
  const struct {
    int setting;
    bool ctrl, alt;
    int delta;
    WheelDecision::Kind kind;
    int steps;
  } cases[] = {
      {1, false, false, 120, WheelDecision::kZoom, 1},
      {1, false, false, -240, WheelDecision::kZoom, -2},
      {1, false, false, 60, WheelDecision::kZoom, 0},
      {1, false, false, -119, WheelDecision::kZoom, 0},
      {1, true, false, 120, WheelDecision::kPrevious, 0},
      {1, true, false, -120, WheelDecision::kNext, 0},
      {0, false, false, 120, WheelDecision::kPrevious, 0},
      {0, false, false, -120, WheelDecision::kNext, 0},
      {0, true, false, 360, WheelDecision::kZoom, 3},
      {99, true, false, 120, WheelDecision::kZoom, 1},
      {0, false, true, 120, WheelDecision::kScrollUp, 0},
      {1, true, true, -120, WheelDecision::kScrollDown, 0},
  };
  for (const auto& c : cases) {
    const WheelDecision d = DecideWheel(c.setting, c.ctrl, c.alt, c.delta);
    EXPECT_EQ(d.kind, c.kind) << c.setting << c.ctrl << c.alt << " " << c.delta;
    if (c.kind == WheelDecision::kZoom) {
      EXPECT_EQ(d.steps, c.steps) << c.delta;
    }
  }
}

TEST(TurnPageFade, TenTicksEachWayAndBandsKeepTheArrowUnscaled) {
  int alpha = 0;
  int ticks = 0;
  for (bool stop = false; !stop; ++ticks) {
    const FadeStep s = NextFadeStep(alpha, 10);
    alpha = s.alpha;
    stop = s.stop;
  }
  EXPECT_EQ(ticks, 10);
  EXPECT_EQ(alpha, 100);
  // Leaving halfway back down from 40 takes four ticks; overshoot is clamped.
  EXPECT_EQ(NextFadeStep(95, 10).alpha, 100);
  EXPECT_EQ(NextFadeStep(5, -10).alpha, 0);
  EXPECT_TRUE(NextFadeStep(10, -10).stop);
  EXPECT_FALSE(NextFadeStep(40, -10).stop);

  const IndicatorBands b = ComputeIndicatorBands(96, 601);
  EXPECT_EQ(b.middle, 86);
  EXPECT_EQ(b.top, (601 - 86) / 2);
  EXPECT_EQ(b.top + b.middle + b.bottom, 601);
}

TEST(TurnPageFade, AlphaScalesStraightPixelsIntoPremultipliedAndMirrors) {
  FCObjImage image;
  ASSERT_TRUE(image.Create(2, 1, 32));
  BYTE* p = image.GetBits(0);
  const BYTE px[8] = {200, 100, 50, 255, 255, 255, 255, 128};
  std::copy(px, px + 8, p);
  FCObjImage mirrored;
  ASSERT_TRUE(MirrorImage(image, &mirrored));
  EXPECT_EQ(mirrored.GetBits(0)[0], 255);
  EXPECT_EQ(mirrored.GetBits(0)[4], 200);

  FillCurrentAlpha(&image, 50);
  // alpha 255 * 50 / 100 = 127; channels * 127 / 255, truncated.
  EXPECT_EQ(p[3], 127);
  EXPECT_EQ(p[0], 200 * 127 / 255);
  EXPECT_EQ(p[1], 100 * 127 / 255);
  EXPECT_EQ(p[7], 64);
  EXPECT_EQ(p[4], 255 * 64 / 255);
  FillCurrentAlpha(&image, 0);
  EXPECT_EQ(p[3], 0);
  EXPECT_EQ(p[0], 0);
}

// A real view window without a document: posted messages land in the test thread's queue.
class MainViewWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MainViewTestParent";
    ::RegisterClassW(&wc);
    parent_ = ::CreateWindowExW(0, L"MainViewTestParent", L"", WS_POPUP, 0, 0, 800, 600, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    MainViewContext context;
    context.main_window = parent_;
    context.wheel_action = [this](bool reread) {
      if (reread) ++rereads_;
      return wheel_setting_;
    };
    context.alt_down = [this] { return alt_; };
    context.can_move = [this](int delta) { return delta > 0 ? can_next_ : can_previous_; };
    view_ = std::make_unique<WndMainImageView>(context);
    ASSERT_TRUE(view_->Create(parent_, 101, RECT{0, 0, 800, 600}));
    Drain();
  }
  void TearDown() override {
    if (view_) view_->DestroyWindow();
    view_.reset();
    if (parent_) ::DestroyWindow(parent_);
  }

  struct Posted {
    UINT message;
    WPARAM wparam;
  };
  std::vector<Posted> Drain() {
    std::vector<Posted> got;
    MSG msg;
    while (::PeekMessageW(&msg, parent_, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_COMMAND || msg.message == WM_KEYDOWN) {
        got.push_back({msg.message, msg.wParam});
      }
    }
    return got;
  }
  void Wheel(int delta, bool ctrl) {
    const WPARAM w =
        MAKEWPARAM(ctrl ? MK_CONTROL : 0, static_cast<WORD>(static_cast<short>(delta)));
    ::SendMessageW(view_->GetSafeHwnd(), WM_MOUSEWHEEL, w, MAKELPARAM(400, 300));
  }
  void Press(int x, int y) {
    ::SendMessageW(view_->GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  }

  widget_window::CGdiplusScope gdiplus_;
  HWND parent_ = nullptr;
  std::unique_ptr<WndMainImageView> view_;
  int wheel_setting_ = 1;
  int rereads_ = 0;
  bool alt_ = false;
  bool can_next_ = true;
  bool can_previous_ = false;
};

TEST_F(MainViewWindowTest, WelcomeScreenIgnoresTheWheelAndItsButtonOpens) {
  view_->ShowCurrentImage();
  CWidgetItem* open = view_->FindItem(kWelcomeOpenItem);
  ASSERT_NE(open, nullptr);
  ASSERT_NE(view_->FindItem(kWelcomeSlogonItem), nullptr);
  wheel_setting_ = 0;
  Wheel(-120, false);
  Wheel(120, true);
  EXPECT_TRUE(Drain().empty());

  open->rect = {100, 100, 250, 140};
  Press(120, 120);
  const auto posted = Drain();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(posted[0].wparam, 21000u);
}

TEST_F(MainViewWindowTest, WheelPostsPageTurnsAndScrolls) {
  view_->RemoveOverlays();
  const struct {
    int setting;
    bool ctrl, alt;
    int delta;
    UINT want;  // 0: nothing posted (zoom without a picture)
  } cases[] = {
      {0, false, false, -120, 20006}, {0, false, false, 120, 20005}, {1, true, false, 120, 20005},
      {1, false, true, 120, 26000},   {0, false, true, -120, 26001}, {1, false, false, 120, 0},
      {0, true, false, 60, 0},
  };
  for (const auto& c : cases) {
    wheel_setting_ = c.setting;
    alt_ = c.alt;
    Wheel(c.delta, c.ctrl);
    const auto posted = Drain();
    if (c.want == 0) {
      EXPECT_TRUE(posted.empty());
    } else {
      ASSERT_EQ(posted.size(), 1u) << c.want;
      EXPECT_EQ(posted[0].wparam, c.want);
    }
  }
  // Undecided: read the settings again, then turn the page without storing anything.
  alt_ = false;
  wheel_setting_ = 99;
  Wheel(-120, false);
  EXPECT_EQ(rereads_, 1);
  const auto posted = Drain();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].wparam, 20006u);
}

TEST_F(MainViewWindowTest, ArrowsFollowTheFolderListAndPostKeys) {
  view_->RemoveOverlays();
  view_->FindItem(kTurnPrevItem)->rect = {0, 0, 44, 600};
  view_->FindItem(kTurnNextItem)->rect = {756, 0, 800, 600};
  Press(10, 300);
  Press(790, 300);
  EXPECT_TRUE(Drain().empty()) << "hidden until the folder list is ready";

  ::SendMessageW(view_->GetSafeHwnd(), 0x81F9, 0, 0);
  EXPECT_FALSE(view_->FindItem(kTurnPrevItem)->IsVisible());
  EXPECT_TRUE(view_->FindItem(kTurnNextItem)->IsVisible());
  Press(10, 300);
  Press(790, 300);
  ::SendMessageW(view_->GetSafeHwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(790, 300));
  auto posted = Drain();
  ASSERT_EQ(posted.size(), 2u);
  for (const auto& p : posted) {
    EXPECT_EQ(p.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(p.wparam, static_cast<WPARAM>(VK_RIGHT));
  }

  // The saving tip hides both; its end shows what the folder allows.
  can_previous_ = true;
  view_->ShowSavingTip();
  EXPECT_NE(view_->FindItem(kSavingTipItem), nullptr);
  EXPECT_FALSE(view_->FindItem(kTurnNextItem)->IsVisible());
  view_->EndSavingTip();
  EXPECT_EQ(view_->FindItem(kSavingTipItem), nullptr);
  EXPECT_TRUE(view_->FindItem(kTurnPrevItem)->IsVisible());
  EXPECT_TRUE(view_->FindItem(kTurnNextItem)->IsVisible());
}

TEST_F(MainViewWindowTest, FadeTimerRunsOnEnterAndStopsAtFull) {
  auto* arrow = static_cast<CTurnPageItem*>(view_->FindItem(kTurnNextItem));
  arrow->OnMouseEnter();
  EXPECT_TRUE(arrow->IsTimerRunning());
  EXPECT_EQ(arrow->AlphaStep(), 10);
  for (int i = 0; i < 10; ++i) arrow->OnTimer();
  EXPECT_EQ(arrow->Alpha(), 100);
  EXPECT_FALSE(arrow->IsTimerRunning());
  arrow->OnMouseLeave();
  EXPECT_EQ(arrow->AlphaStep(), -10);
  for (int i = 0; i < 3; ++i) arrow->OnTimer();
  EXPECT_EQ(arrow->Alpha(), 70);
  EXPECT_TRUE(arrow->IsTimerRunning());
}
