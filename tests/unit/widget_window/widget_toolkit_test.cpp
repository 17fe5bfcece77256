#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "unit/test_support/pump_until.h"
#include "widget_window/interface_image.h"
#include "widget_window/timer_notify.h"
#include "widget_window/widget_items.h"
#include "widget_window/widget_window.h"

namespace {

constexpr wchar_t kClassName[] = L"LumoraWidgetTestWindow";
constexpr wchar_t kHostClassName[] = L"LumoraWidgetTestHost";
constexpr UINT WM_TEST_DROP_CAPTURE = WM_APP + 7;

bool PumpUntil(const std::function<bool()>& cond, DWORD timeout_ms = 5000) {
  return test_support::PumpUntil(cond, timeout_ms);
}

void DrainMessages() {
  PumpUntil([] { return false; }, 50);
}

// An item that fills its own rectangle with a colour and records what it saw.
class ColourItem : public CWidgetItem {
 public:
  ColourItem(int item_id, COLORREF colour, bool* destroyed = nullptr)
      : CWidgetItem(item_id), colour_(colour), destroyed_(destroyed) {}
  ~ColourItem() override {
    if (destroyed_) *destroyed_ = true;
  }
  void Draw(HDC dc) override {
    ++draws;
    POINT origin;
    ::GetViewportOrgEx(dc, &origin);
    last_origin = origin;
    RECT area = {0, 0, Width(), Height()};
    basic_lib::ScopedBrush brush(::CreateSolidBrush(colour_));
    ::FillRect(dc, &area, brush.Get());
  }
  void OnMouseEnter() override { ++enters; }
  void OnMouseLeave() override { ++leaves; }

  int draws = 0;
  int enters = 0;
  int leaves = 0;
  POINT last_origin = {0, 0};

 private:
  COLORREF colour_;
  bool* destroyed_;
};

// Places items by a table of id -> rectangle.
class TableLayout : public CWidgetLayout {
 public:
  void Layout(HWND, CWidgetItemList& items) override {
    ++runs;
    for (auto& item : items) {
      for (const auto& entry : rects) {
        if (entry.first == item->id) item->rect = entry.second;
      }
    }
  }
  std::vector<std::pair<int, RECT>> rects;
  int runs = 0;
};

class TestWindow : public CWidgetWindow {
 public:
  void DrawBackground(HDC dc, const RECT& area) override {
    basic_lib::ScopedBrush brush(::CreateSolidBrush(RGB(255, 0, 0)));
    ::FillRect(dc, &area, brush.Get());
    background_area = area;
  }
  int OnItemPress(CWidgetItem* item) override {
    presses.push_back(item ? item->id : 0);
    return cancel_press;
  }
  void OnItemRelease(CWidgetItem* item, int x, int y, bool by_button_up) override {
    releases.push_back(item ? item->id : 0);
    release_flags.push_back(by_button_up);
    hot_during_release = item && item->HasState(CWidgetItem::kStateHot);
    CWidgetWindow::OnItemRelease(item, x, y, by_button_up);
  }
  void OnItemClick(CWidgetItem* item) override { clicks.push_back(item->id); }

  std::vector<int> presses, releases, clicks;
  std::vector<bool> release_flags;
  bool hot_during_release = false;
  int cancel_press = 0;
  RECT background_area = {0, 0, 0, 0};

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == WM_TEST_DROP_CAPTURE) {
      ::ReleaseCapture();
      return 0;
    }
    return CWidgetWindow::WindowProc(msg, wparam, lparam);
  }
};

class WidgetWindowTest : public ::testing::Test {
 protected:
  // One visible top-level host for the whole suite: without a window manager Wine takes about
  // two seconds to destroy a visible top-level window, a child goes at once.
  static HWND Host() {
    static HWND host = nullptr;
    if (!host) {
      WNDCLASSEXW wc = {};
      wc.cbSize = sizeof(wc);
      wc.lpfnWndProc = ::DefWindowProcW;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
      wc.lpszClassName = kHostClassName;
      ::RegisterClassExW(&wc);
      host = ::CreateWindowExW(0, kHostClassName, L"host", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200,
                               nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    return host;
  }
  void SetUp() override {
    ASSERT_TRUE(framework::CWnd::RegisterWindowClass(kClassName, CS_DBLCLKS));
    ASSERT_NE(nullptr, Host());
    // The pointer far away from the window, so no real mouse message interferes.
    ::SetCursorPos(1270, 1010);
    window_ = std::make_unique<TestWindow>();
    RECT rect = {0, 0, 300, 200};
    ASSERT_TRUE(
        window_->CreateEx(0, kClassName, L"widgets", WS_CHILD | WS_VISIBLE, rect, Host(), 1));
    DrainMessages();
  }
  void TearDown() override {
    window_.reset();
    DrainMessages();
  }
  HWND Wnd() const { return window_->GetSafeHwnd(); }
  ColourItem* Add(int id, COLORREF colour, RECT rect) {
    auto item = std::make_unique<ColourItem>(id, colour);
    item->rect = rect;
    return static_cast<ColourItem*>(window_->AddItem(std::move(item)));
  }
  COLORREF WindowPixel(int x, int y) {
    basic_lib::ScopedWindowDc dc(Wnd());
    return ::GetPixel(dc.Get(), x, y);
  }
  static LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

  std::unique_ptr<TestWindow> window_;
};

TEST_F(WidgetWindowTest, AddItemPositions) {
  struct Case {
    int position;
    bool kept;
    std::vector<int> order;
  };
  const Case cases[] = {
      {-1, true, {1, 2, 9}}, {0, true, {9, 1, 2}}, {2, true, {1, 2, 9}},
      {1, true, {1, 9, 2}},  {3, false, {1, 2}},   {-2, false, {1, 2}},
  };
  for (const Case& c : cases) {
    TestWindow window;
    window.AddItem(std::make_unique<ColourItem>(1, 0));
    window.AddItem(std::make_unique<ColourItem>(2, 0));
    bool destroyed = false;
    CWidgetItem* added = window.AddItem(std::make_unique<ColourItem>(9, 0, &destroyed), c.position);
    EXPECT_EQ(c.kept, added != nullptr) << c.position;
    EXPECT_EQ(!c.kept, destroyed) << c.position;
    std::vector<int> order;
    for (const auto& item : window.Items()) order.push_back(item->id);
    EXPECT_EQ(c.order, order) << c.position;
  }
  TestWindow window;
  EXPECT_EQ(nullptr, window.AddItem(nullptr));
  EXPECT_TRUE(window.Items().empty());
}

TEST_F(WidgetWindowTest, FindRemoveAndHitTestTakeTheFirstMatch) {
  ColourItem* first = Add(5, 0, {0, 0, 100, 100});
  ColourItem* second = Add(5, 0, {50, 50, 150, 150});
  ColourItem* hidden = Add(6, 0, {0, 0, 300, 200});
  hidden->SetVisible(false);
  ColourItem* disabled = Add(7, 0, {0, 0, 300, 200});
  disabled->SetEnabled(false);

  EXPECT_EQ(first, window_->FindItem(5));
  EXPECT_EQ(nullptr, window_->FindItem(42));
  // Overlap: the earlier item wins; hidden and disabled items are not reachable.
  EXPECT_EQ(first, window_->HitTest(60, 60));
  EXPECT_EQ(second, window_->HitTest(120, 120));
  EXPECT_EQ(nullptr, window_->HitTest(200, 180));
  // Right and bottom edges are outside.
  EXPECT_EQ(second, window_->HitTest(100, 60));
  EXPECT_EQ(first, window_->HitTest(99, 99));
  EXPECT_EQ(nullptr, window_->HitTest(150, 150));

  window_->RemoveItem(5);
  EXPECT_EQ(second, window_->FindItem(5));
  window_->RemoveItem(42);
  EXPECT_EQ(3u, window_->Items().size());
}

TEST_F(WidgetWindowTest, PaintsItemsInOrderThroughTheUpdateRectangle) {
  ColourItem* lower = Add(1, RGB(0, 0, 255), {10, 10, 110, 110});
  ColourItem* upper = Add(2, RGB(0, 255, 0), {60, 60, 160, 160});
  ColourItem* hidden = Add(3, RGB(255, 255, 0), {0, 0, 300, 200});
  hidden->SetVisible(false);
  ::InvalidateRect(Wnd(), nullptr, FALSE);
  ::UpdateWindow(Wnd());

  EXPECT_EQ(RGB(255, 0, 0), WindowPixel(5, 5));      // background
  EXPECT_EQ(RGB(0, 0, 255), WindowPixel(20, 20));    // lower item
  EXPECT_EQ(RGB(0, 255, 0), WindowPixel(80, 80));    // later item drawn on top
  EXPECT_EQ(RGB(255, 0, 0), WindowPixel(250, 190));  // the hidden item draws nothing
  EXPECT_EQ(0, hidden->draws);
  // Each item draws with (0, 0) at its own top-left corner in the memory context.
  EXPECT_EQ(10, lower->last_origin.x);
  EXPECT_EQ(60, upper->last_origin.y);

  // A partial invalidation repaints only the items that meet it.
  const int lower_draws = lower->draws, upper_draws = upper->draws;
  RECT corner = {200, 170, 300, 200};
  ::InvalidateRect(Wnd(), &corner, FALSE);
  ::UpdateWindow(Wnd());
  EXPECT_EQ(lower_draws, lower->draws);
  EXPECT_EQ(upper_draws, upper->draws);
  EXPECT_EQ(200, window_->background_area.left);
  EXPECT_EQ(170, window_->background_area.top);
  RECT small = {15, 15, 25, 25};
  ::InvalidateRect(Wnd(), &small, FALSE);
  ::UpdateWindow(Wnd());
  EXPECT_EQ(lower_draws + 1, lower->draws);
  EXPECT_EQ(upper_draws, upper->draws);
  // Origin of the item relative to a memory context that starts at the update rectangle.
  EXPECT_EQ(10 - 15, lower->last_origin.x);
  EXPECT_EQ(RGB(0, 0, 255), WindowPixel(20, 20));
}

TEST_F(WidgetWindowTest, HoverMovesBetweenItemsAndClearsWhenTheMouseLeaves) {
  ColourItem* a = Add(1, 0, {0, 0, 100, 100});
  ColourItem* b = Add(2, 0, {100, 0, 200, 100});
  // The real pointer enters and leaves: the leave notification clears the hot item without any
  // further mouse move reaching the window. (Real moves first: Wine starts no leave tracking for
  // a synthetic move while the pointer is elsewhere.)
  POINT over = {50, 50};
  ::ClientToScreen(Wnd(), &over);
  ::SetCursorPos(over.x, over.y);
  ASSERT_TRUE(PumpUntil([&] { return a->HasState(CWidgetItem::kStateHot); }));
  EXPECT_TRUE(window_->IsTracking());
  ::SetCursorPos(1270, 1010);
  ASSERT_TRUE(PumpUntil([&] { return !a->HasState(CWidgetItem::kStateHot); }));
  EXPECT_EQ(1, a->enters);
  EXPECT_EQ(1, a->leaves);
  EXPECT_FALSE(window_->IsTracking());

  a->enters = a->leaves = 0;
  ::SendMessageW(Wnd(), WM_MOUSEMOVE, 0, Point(10, 10));
  EXPECT_TRUE(a->HasState(CWidgetItem::kStateHot));
  EXPECT_EQ(1, a->enters);
  ::SendMessageW(Wnd(), WM_MOUSEMOVE, 0, Point(20, 10));
  EXPECT_EQ(1, a->enters);  // same item: nothing happens
  ::SendMessageW(Wnd(), WM_MOUSEMOVE, 0, Point(150, 10));
  EXPECT_FALSE(a->HasState(CWidgetItem::kStateHot));
  EXPECT_EQ(1, a->leaves);
  EXPECT_TRUE(b->HasState(CWidgetItem::kStateHot));
  ::SendMessageW(Wnd(), WM_MOUSEMOVE, 0, Point(250, 150));
  EXPECT_FALSE(b->HasState(CWidgetItem::kStateHot));
  EXPECT_EQ(1, b->leaves);
}

TEST_F(WidgetWindowTest, PressLoopReportsClicksOnlyForReleasesOverThePressedItem) {
  struct Case {
    const char* name;
    POINT down;
    std::vector<std::pair<UINT, POINT>> then;  // posted before the press
    int cancel;
    std::vector<int> presses, releases, clicks;
    std::vector<bool> flags;
  };
  const Case cases[] = {
      {"click",
       {10, 10},
       {{WM_MOUSEMOVE, {20, 20}}, {WM_LBUTTONUP, {20, 20}}},
       0,
       {1},
       {1},
       {1},
       {true}},
      {"release outside",
       {10, 10},
       {{WM_MOUSEMOVE, {250, 150}}, {WM_LBUTTONUP, {250, 150}}},
       0,
       {1},
       {1},
       {},
       {true}},
      {"empty space", {250, 150}, {{WM_LBUTTONUP, {250, 150}}}, 0, {0}, {0}, {}, {true}},
      {"capture lost",
       {10, 10},
       {{WM_TEST_DROP_CAPTURE, {0, 0}}, {WM_LBUTTONUP, {10, 10}}},
       0,
       {1},
       {1},
       {},
       {false}},
      {"cancelled", {10, 10}, {}, 1, {1}, {}, {}, {}},
  };
  ColourItem* a = Add(1, 0, {0, 0, 100, 100});
  for (const Case& c : cases) {
    window_->presses.clear();
    window_->releases.clear();
    window_->clicks.clear();
    window_->release_flags.clear();
    window_->cancel_press = c.cancel;
    for (const auto& step : c.then) {
      ::PostMessageW(Wnd(), step.first, 0, Point(step.second.x, step.second.y));
    }
    ::SendMessageW(Wnd(), WM_LBUTTONDOWN, MK_LBUTTON, Point(c.down.x, c.down.y));
    DrainMessages();
    EXPECT_EQ(c.presses, window_->presses) << c.name;
    EXPECT_EQ(c.releases, window_->releases) << c.name;
    EXPECT_EQ(c.clicks, window_->clicks) << c.name;
    EXPECT_EQ(c.flags, window_->release_flags) << c.name;
    EXPECT_FALSE(a->HasState(CWidgetItem::kStatePressed)) << c.name;
    EXPECT_EQ(nullptr, ::GetCapture()) << c.name;
  }
  // Moving off the pressed item clears its hot bit during the loop.
  ::PostMessageW(Wnd(), WM_MOUSEMOVE, 0, Point(250, 150));
  ::PostMessageW(Wnd(), WM_LBUTTONUP, 0, Point(250, 150));
  window_->cancel_press = 0;
  ::SendMessageW(Wnd(), WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 10));
  EXPECT_FALSE(window_->hot_during_release);
  // A double click is a second press.
  window_->clicks.clear();
  ::PostMessageW(Wnd(), WM_LBUTTONUP, 0, Point(10, 10));
  ::SendMessageW(Wnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, Point(10, 10));
  EXPECT_EQ(std::vector<int>{1}, window_->clicks);
}

std::vector<UINT_PTR> ToolIds(HWND tooltip) {
  std::vector<UINT_PTR> ids;
  const int count = static_cast<int>(::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    if (::SendMessageW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info))) {
      ids.push_back(info.uId);
    }
  }
  return ids;
}

TEST_F(WidgetWindowTest, LayoutRunsOnSizeAndToolIdsCountVisibleItemsFrom100) {
  // Without a layout, WM_SIZE does nothing of ours.
  Add(1, 0, {0, 0, 10, 10})->tooltip = L"one";
  ::SetWindowPos(Wnd(), nullptr, 0, 0, 310, 200, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(nullptr, window_->ToolTip().GetSafeHwnd());

  Add(2, 0, {})->tooltip = L"hidden";
  Add(3, 0, {});  // visible, no text: takes an id, registers nothing
  Add(4, 0, {})->tooltip = L"four";
  window_->FindItem(2)->SetVisible(false);
  auto layout = std::make_unique<TableLayout>();
  TableLayout* table = layout.get();
  table->rects = {{1, {0, 0, 50, 50}}, {3, {50, 0, 100, 50}}, {4, {100, 0, 150, 50}}};
  window_->SetLayout(std::move(layout));
  ::SetWindowPos(Wnd(), nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(1, table->runs);
  EXPECT_EQ(100, window_->FindItem(4)->rect.left);
  HWND tooltip = window_->ToolTip().GetSafeHwnd();
  ASSERT_NE(nullptr, tooltip);
  EXPECT_EQ((std::vector<UINT_PTR>{100, 102}), ToolIds(tooltip));

  // A new run destroys the tooltip window and builds it again.
  window_->FindItem(2)->SetVisible(true);
  window_->RecalcLayout();
  EXPECT_FALSE(::IsWindow(tooltip));
  EXPECT_EQ((std::vector<UINT_PTR>{100, 101, 103}), ToolIds(window_->ToolTip().GetSafeHwnd()));
}

TEST(WidgetWindowFont, DefaultFontIsSharedAndPointSized) {
  HFONT font = CWidgetWindow::GetDefaultFont();
  ASSERT_NE(nullptr, font);
  EXPECT_EQ(font, CWidgetWindow::GetDefaultFont());
  LOGFONTW info = {};
  ASSERT_TRUE(::GetObjectW(font, sizeof(info), &info));
  EXPECT_LT(info.lfHeight, 0);
  TestWindow window;
  EXPECT_EQ(font, window.GetFont());
}

class CountingTimer : public FCTimerNotify {
 public:
  void OnTimer() override {
    ++ticks;
    if (on_tick) on_tick(this);
  }
  int ticks = 0;
  std::function<void(CountingTimer*)> on_tick;
};

TEST(TimerNotify, FiresByIdUntilStoppedAndCleansUp) {
  const int live_before = FCTimerNotify::LiveCount();
  {
    CountingTimer a, b;
    a.StartTimer(10);
    b.StartTimer(10);
    EXPECT_NE(a.TimerId(), b.TimerId());
    EXPECT_EQ(2u, FCTimerNotify::RegisteredTimerCount());
    b.on_tick = [](CountingTimer* self) {
      if (self->ticks == 2) self->StopTimer();
    };
    ASSERT_TRUE(PumpUntil([&] { return a.ticks >= 4 && b.ticks >= 2; }));
    EXPECT_EQ(2, b.ticks);
    EXPECT_FALSE(b.IsTimerRunning());
    EXPECT_EQ(1u, FCTimerNotify::RegisteredTimerCount());
    // A restart replaces the running timer.
    a.StartTimer(10);
    EXPECT_EQ(1u, FCTimerNotify::RegisteredTimerCount());
    const int a_ticks = a.ticks;
    ASSERT_TRUE(PumpUntil([&] { return a.ticks > a_ticks; }));
  }
  EXPECT_EQ(live_before, FCTimerNotify::LiveCount());
  EXPECT_EQ(0u, FCTimerNotify::RegisteredTimerCount());
  DrainMessages();  // a tick already queued for a dead timer is ignored
}

// A 30 x 10 strip of three 10-pixel cells: red, green, blue (opaque, premultiplied).
void FillCells(FCObjImage* image) {
  ASSERT_TRUE(image->Create(30, -10, 32));
  const COLORREF cells[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 30; ++x) {
      BYTE* p = image->GetBits(x, y);
      const COLORREF c = cells[x / 10];
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
      p[3] = 255;
    }
  }
}

COLORREF DrawAndRead(CWidgetItem* item, int x, int y) {
  basic_lib::ScopedWindowDc screen(nullptr);
  basic_lib::ScopedBitmap bitmap(::CreateCompatibleBitmap(screen.Get(), 60, 20));
  basic_lib::ScopedMemoryDc dc(::CreateCompatibleDC(screen.Get()));
  basic_lib::ScopedSelectObject select(dc.Get(), bitmap.Get());
  RECT all = {0, 0, 60, 20};
  ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  item->Draw(dc.Get());
  return ::GetPixel(dc.Get(), x, y);
}

TEST(WidgetItems, BitmapButtonCellsAndStretchedImage) {
  widget_window::CWidgetItemBitmapButton button(1);
  FillCells(&button.Image());
  EXPECT_EQ(10, button.CellWidth());
  struct Case {
    int state;
    COLORREF colour;
  };
  const Case cases[] = {{0, RGB(255, 0, 0)},
                        {CWidgetItem::kStateHot, RGB(0, 255, 0)},
                        {CWidgetItem::kStatePressed, RGB(0, 0, 255)},
                        {CWidgetItem::kStateHot | CWidgetItem::kStatePressed, RGB(0, 0, 255)}};
  for (const Case& c : cases) {
    button.state = CWidgetItem::kStateVisible | CWidgetItem::kStateEnabled | c.state;
    EXPECT_EQ(c.colour, DrawAndRead(&button, 5, 5)) << c.state;
    EXPECT_EQ(RGB(255, 255, 255), DrawAndRead(&button, 15, 5)) << "natural size";
  }

  widget_window::CWidgetItemImage picture(2);
  FillCells(&picture.Image());
  picture.rect = {0, 0, 60, 20};  // twice the size
  EXPECT_EQ(RGB(255, 0, 0), DrawAndRead(&picture, 15, 15));
  EXPECT_EQ(RGB(0, 0, 255), DrawAndRead(&picture, 55, 15));
  widget_window::CWidgetItemImage empty(3);
  empty.rect = {0, 0, 60, 20};
  EXPECT_EQ(RGB(255, 255, 255), DrawAndRead(&empty, 5, 5));
}

TEST(InterfaceImage, LoadsStraightOrPremultipliedAndFailsEmpty) {
  widget_window::CGdiplusScope gdiplus;
  ASSERT_TRUE(gdiplus.IsStarted());
  const std::wstring folder = std::wstring(LUMORA_FIXTURES_DIR) + L"/widget_images/";
  FCObjImage straight, premultiplied;
  ASSERT_TRUE(widget_window::LoadImageFileWithGdiplus(folder + L"half.png", &straight, true));
  ASSERT_TRUE(widget_window::LoadImageFileWithGdiplus(folder + L"half.png", &premultiplied, false));
  EXPECT_EQ(4, straight.Width());
  EXPECT_EQ(2, straight.Height());
  EXPECT_GT(straight.SignedHeight(), 0);  // bottom-up
  // Top row is red at half alpha, bottom row opaque blue.
  const BYTE* s = straight.GetBits(0, 0);
  const BYTE* p = premultiplied.GetBits(0, 0);
  EXPECT_NEAR(128, s[3], 2);
  EXPECT_EQ(255, s[2]);
  EXPECT_NEAR(128, p[2], 2);
  EXPECT_EQ(255, premultiplied.GetBits(0, 1)[0]);
  EXPECT_EQ(255, premultiplied.GetBits(0, 1)[3]);

  FCObjImage missing;
  EXPECT_FALSE(widget_window::LoadImageFileWithGdiplus(folder + L"none.png", &missing, false));
  EXPECT_FALSE(missing.IsValid());
  FCObjImage garbage;
  EXPECT_FALSE(widget_window::LoadImageFileWithGdiplus(folder + L"garbage.png", &garbage, false));
  EXPECT_FALSE(garbage.IsValid());
}

}  // namespace
