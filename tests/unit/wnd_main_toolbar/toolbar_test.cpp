#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app_config.h"
#include "widget_window/ui_event.h"
#include "wnd_main_toolbar/toolbar_button.h"
#include "wnd_main_toolbar/wnd_main_logo.h"
#include "wnd_main_toolbar/wnd_main_menubar.h"
#include "wnd_main_toolbar/wnd_main_toolbar.h"

namespace {

using wnd_main_toolbar::CToolbarButton;
using wnd_main_toolbar::CToolbarButton2;
using wnd_main_toolbar::ToolbarImageState;

constexpr wchar_t kHostClass[] = L"LumoraToolbarTestHost";
constexpr int kAllButtons[] = {20002, 20010, 20003, 20004, 20005, 20006, 20007,
                               20008, 20009, 20011, 20000, 20001, 20014};

std::vector<UINT> g_commands;  // WM_COMMAND ids the host received

LRESULT CALLBACK HostProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_COMMAND) {
    g_commands.push_back(LOWORD(wparam));
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wparam, lparam);
}

// One visible top-level host for the whole run (Wine without a window manager takes seconds to
// destroy a visible top-level window; children go at once).
HWND Host() {
  static HWND host = nullptr;
  if (!host) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kHostClass;
    ::RegisterClassExW(&wc);
    host = ::CreateWindowExW(0, kHostClass, L"host", WS_POPUP | WS_VISIBLE, 0, 0, 800, 100, nullptr,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
  return host;
}

std::vector<UINT> TakeCommands() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  std::vector<UINT> taken;
  taken.swap(g_commands);
  return taken;
}

std::wstring Key(const std::wstring& key) { return L"k" + key; }

class FakeImageSource : public wnd_main_toolbar::IToolbarImageSource {
 public:
  ToolbarImageState GetImageState() override { return state; }
  bool CanMove(int delta) override { return delta < 0 ? can_previous : can_next; }
  ToolbarImageState state;
  bool can_previous = false;
  bool can_next = false;
};

class FakePopup : public wnd_main_toolbar::CAnchoredPopup {
 public:
  explicit FakePopup(int* live) : live_(live) { ++*live_; }
  ~FakePopup() override { --*live_; }
  void MoveTo(const RECT& anchor) override { last_anchor = anchor; }
  RECT last_anchor = {0, 0, 0, 0};

 private:
  int* live_;
};

wnd_main_toolbar::PopupFactory FakeFactory(int* live, RECT* anchor, FakePopup** made = nullptr) {
  return [live, anchor, made](HWND,
                              const RECT& at) -> std::unique_ptr<wnd_main_toolbar::CAnchoredPopup> {
    *anchor = at;
    auto popup = std::make_unique<FakePopup>(live);
    if (made) *made = popup.get();
    return popup;
  };
}

class ToolbarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nullptr, Host());
    toolbar_ = std::make_unique<WndMainToolbar>();
    auto source = std::make_unique<FakeImageSource>();
    source_ = source.get();
    toolbar_->SetImageSource(std::move(source));
    toolbar_->SetTextLookup(Key);
    toolbar_->SetConfig(&config_);
    toolbar_->SetStatReporter([this](const std::wstring& category, const std::wstring& event) {
      stats_.push_back(category + L"/" + event);
    });
    ASSERT_TRUE(toolbar_->Create(Host(), 102, {0, 20, 800, 80}));
    TakeCommands();
  }
  void TearDown() override {
    toolbar_.reset();
    TakeCommands();
  }
  std::map<int, bool> Enabled() const {
    std::map<int, bool> enabled;
    for (int id : kAllButtons) enabled[id] = toolbar_->Button(id)->IsEnabled();
    return enabled;
  }

  CAppConfig config_{L"Z:\\nonexistent\\config.ini", L"Z:\\nonexistent"};
  std::unique_ptr<WndMainToolbar> toolbar_;
  FakeImageSource* source_ = nullptr;
  std::vector<std::wstring> stats_;
};

TEST(ToolbarLayout, GroupsCentringAndNarrowWindows) {
  struct Case {
    int width;
    std::vector<int> groups;  // per item: 1 left, 2 centre, 4 right
    std::vector<int> lefts;
  };
  const Case cases[] = {
      // Centre (400 - 3 * 52) / 2 = 122; right 400 - 52 - 10 = 338; left from 10.
      {400, {2, 4, 2, 1, 2}, {122, 338, 174, 10, 226}},
      {400, {1, 1, 4, 4}, {10, 62, 286, 338}},
      // Too narrow for eleven centre buttons: the group starts left of 0.
      {300,
       {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
       {-136, -84, -32, 20, 72, 124, 176, 228, 280, 332, 384}},
  };
  for (const Case& c : cases) {
    CWidgetItemList items;
    for (int group : c.groups) {
      items.push_back(std::make_unique<CToolbarButton>(1, 0, group, nullptr));
      items.back()->SetVisible(false);  // hidden buttons take their place all the same
    }
    wnd_main_toolbar::LayoutButtonRow(c.width, 52, 13, 47, items);
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(c.lefts[i], items[i]->rect.left) << c.width << " item " << i;
      EXPECT_EQ(52, items[i]->Width());
      EXPECT_EQ(13, items[i]->rect.top);
      EXPECT_EQ(47, items[i]->rect.bottom);
    }
  }
}

TEST(ToolbarButtons, DrawRowAndCellFollowTheState) {
  constexpr int kHot = CWidgetItem::kStateHot, kPressed = CWidgetItem::kStatePressed,
                kLatched = CWidgetItem::kStateLatched,
                kOn = CWidgetItem::kStateVisible | CWidgetItem::kStateEnabled;
  struct Case {
    int state;
    int row;   // toolbar: 0 normal, 1 hot/pressed/latched, 2 disabled
    int cell;  // menu bar: 0 normal, 1 hot, 2 pressed/latched, 3 disabled
  };
  const Case cases[] = {
      {kOn, 0, 0},
      {kOn | kHot, 1, 1},
      {kOn | kPressed, 1, 2},
      {kOn | kHot | kPressed, 1, 2},
      {kOn | kLatched, 1, 2},
      {CWidgetItem::kStateVisible, 2, 3},
      {CWidgetItem::kStateVisible | kHot | kLatched, 2, 3},
  };
  for (const Case& c : cases) {
    CToolbarButton button(20002, 12, wnd_main_toolbar::kGroupCentre, nullptr);
    CToolbarButton2 menu(20012, 0, wnd_main_toolbar::kGroupCentre, nullptr);
    button.state = menu.state = c.state;
    EXPECT_EQ(c.row * 34, button.SourceTop()) << c.state;
    EXPECT_EQ(c.cell, menu.Cell()) << c.state;
  }

  // The chosen cell is what reaches the screen: a sheet of 14 x 3 cells, each its own colour.
  auto sheet = std::make_shared<FCObjImage>();
  ASSERT_TRUE(sheet->Create(14 * 52, -3 * 34, 32));
  for (int y = 0; y < 3 * 34; ++y) {
    for (int x = 0; x < 14 * 52; ++x) {
      BYTE* p = sheet->GetBits(x, y);
      p[0] = static_cast<BYTE>(x / 52 * 10);
      p[1] = static_cast<BYTE>(y / 34 * 100);
      p[2] = 0;
      p[3] = 255;
    }
  }
  CToolbarButton button(20002, 12, wnd_main_toolbar::kGroupCentre, sheet);
  button.state |= CWidgetItem::kStateHot;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 60, 40);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  button.Draw(dc);
  EXPECT_EQ(RGB(0, 100, 120), ::GetPixel(dc, 30, 20));
  EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(dc, 55, 20));  // drawn at 52 x 34 only
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
}

TEST_F(ToolbarTest, ButtonsInOrderWithColumnsTipsAndPlaces) {
  struct Expected {
    int id, column;
    const wchar_t* tip;
    int left;
  };
  // Width 800: centre group of 11 from (800 - 572) / 2 = 114, right 738, left 10.
  const Expected expected[] = {
      {20002, 0, L"k3", 114},   {20010, 8, L"k12", 166}, {20003, 1, L"k5", 218},
      {20004, 2, L"k6", 270},   {20005, 3, L"k7", 322},  {20006, 4, L"k8", 374},
      {20007, 5, L"k9", 426},   {20008, 6, L"k10", 478}, {20009, 7, L"k11", 530},
      {20011, 9, L"k13", 582},  {20000, 10, L"k1", 738}, {20001, 11, L"k2", 10},
      {20014, 13, L"k18", 634},
  };
  ASSERT_EQ(13u, toolbar_->Items().size());
  for (size_t i = 0; i < 13; ++i) {
    const auto* button = static_cast<const CToolbarButton*>(toolbar_->Items()[i].get());
    EXPECT_EQ(expected[i].id, button->id);
    EXPECT_EQ(expected[i].column, button->column) << button->id;
    EXPECT_EQ(expected[i].tip, button->tooltip) << button->id;
    EXPECT_EQ(expected[i].left, button->rect.left) << button->id;
    EXPECT_EQ(13, button->rect.top);
    // Before the first image event everything but the effect button is enabled.
    EXPECT_EQ(button->id != 20011, button->IsEnabled()) << button->id;
  }
  EXPECT_EQ(13, toolbar_->ToolTip().GetToolCount());
}

TEST_F(ToolbarTest, UpdateButtonsEnableTable) {
  struct Case {
    const char* name;
    ToolbarImageState state;
    bool previous, next;
    std::vector<int> enabled;
  };
  const std::vector<int> decoded_set = {20002, 20010, 20003, 20004, 20007,
                                        20008, 20009, 20011, 20000, 20014};
  std::vector<int> gif_set = {20002, 20010, 20003, 20004, 20009, 20011, 20000, 20014};
  std::vector<int> located = decoded_set;
  located.push_back(20001);
  located.push_back(20006);
  const Case cases[] = {
      {"welcome", {}, false, false, {}},
      {"undecodable", {false, false, false, true}, true, true, {20009, 20005, 20006}},
      {"decoded", {true, false, false, true}, false, false, decoded_set},
      {"animated gif", {true, false, true, true}, false, false, gif_set},
      {"with location", {true, true, false, true}, false, true, located},
  };
  for (const Case& c : cases) {
    source_->state = c.state;
    source_->can_previous = c.previous;
    source_->can_next = c.next;
    CUIEventViewImageChanged event;
    toolbar_->OnUIEvent(&event);
    for (const auto& entry : Enabled()) {
      const bool wanted =
          std::find(c.enabled.begin(), c.enabled.end(), entry.first) != c.enabled.end();
      EXPECT_EQ(wanted, entry.second) << c.name << " " << entry.first;
    }
  }
  // The folder list arriving later changes only the navigation buttons.
  source_->can_previous = true;
  CUIEventFolderImageCollected collected;
  toolbar_->OnUIEvent(&collected);
  EXPECT_TRUE(toolbar_->Button(20005)->IsEnabled());
  EXPECT_TRUE(toolbar_->Button(20001)->IsEnabled());
}

TEST_F(ToolbarTest, FitButtonFollowsClicksAndZoom) {
  source_->state = {true, false, false, true};
  CUIEventViewImageChanged changed;
  toolbar_->OnUIEvent(&changed);
  CToolbarButton* fit = toolbar_->Button(20002);
  EXPECT_EQ(0, fit->column);
  EXPECT_EQ(1, config_.zoomIsFit);

  // A click toggles before the command goes out.
  toolbar_->OnItemClick(fit);
  EXPECT_EQ(12, fit->column);
  EXPECT_EQ(L"k4", fit->tooltip);
  EXPECT_EQ(0, config_.zoomIsFit);
  EXPECT_EQ(std::vector<UINT>{20002}, TakeCommands());

  // The zoom returning exactly to the fit zoom shows column 0 again; a different zoom column 12.
  CUIEventViewZoomChanged at_fit(0.25f, 0.25f);
  toolbar_->OnUIEvent(&at_fit);
  EXPECT_EQ(0, fit->column);
  EXPECT_EQ(L"k3", fit->tooltip);
  EXPECT_EQ(1, config_.zoomIsFit);
  CUIEventViewZoomChanged zoomed(0.5f, 0.25f);
  toolbar_->OnUIEvent(&zoomed);
  toolbar_->OnUIEvent(&zoomed);  // no change, no toggle
  EXPECT_EQ(12, fit->column);
  EXPECT_EQ(0, config_.zoomIsFit);
  // A new image starts at fit.
  toolbar_->OnUIEvent(&changed);
  EXPECT_EQ(0, fit->column);
  EXPECT_EQ(L"k3", fit->tooltip);
  EXPECT_TRUE(TakeCommands().empty());
}

TEST_F(ToolbarTest, EffectWindowLatchAndEnhancement) {
  // No effect window yet: nothing opens, nothing latches, the use is still counted.
  toolbar_->ToggleEffectWindow();
  EXPECT_FALSE(toolbar_->Button(20011)->HasState(CWidgetItem::kStateLatched));
  EXPECT_EQ(std::vector<std::wstring>{L"feature/enhance"}, stats_);

  int live = 0;
  RECT anchor = {};
  toolbar_->SetEffectWindowFactory(FakeFactory(&live, &anchor));
  toolbar_->ToggleEffectWindow();
  EXPECT_EQ(1, live);
  EXPECT_TRUE(toolbar_->Button(20011)->HasState(CWidgetItem::kStateLatched));
  RECT screen = toolbar_->Button(20011)->rect;
  ::MapWindowPoints(toolbar_->GetSafeHwnd(), nullptr, reinterpret_cast<POINT*>(&screen), 2);
  EXPECT_TRUE(::EqualRect(&screen, &anchor));

  // Closed with no enhancement: unlatched, nothing posted.
  ::SendMessageW(toolbar_->GetSafeHwnd(), WM_EFFECT_WND_CLOSED, 0, 0);
  EXPECT_EQ(0, live);
  EXPECT_FALSE(toolbar_->Button(20011)->HasState(CWidgetItem::kStateLatched));
  EXPECT_EQ(0, config_.viewEnhancement);
  EXPECT_TRUE(TakeCommands().empty());
  // A late second notice is ignored.
  ::SendMessageW(toolbar_->GetSafeHwnd(), WM_EFFECT_WND_CLOSED, 2, 0);
  EXPECT_EQ(0, config_.viewEnhancement);

  // Closed with an enhancement: stays latched and the view re-renders; an unknown code is none.
  toolbar_->ToggleEffectWindow();
  ::SendMessageW(toolbar_->GetSafeHwnd(), WM_EFFECT_WND_CLOSED, 2, 0);
  EXPECT_EQ(2, config_.viewEnhancement);
  EXPECT_TRUE(toolbar_->Button(20011)->HasState(CWidgetItem::kStateLatched));
  EXPECT_EQ(std::vector<UINT>{21802}, TakeCommands());
  // Clicking the latched button ends the enhancement.
  toolbar_->ToggleEffectWindow();
  EXPECT_EQ(0, config_.viewEnhancement);
  EXPECT_FALSE(toolbar_->Button(20011)->HasState(CWidgetItem::kStateLatched));
  EXPECT_EQ(std::vector<UINT>{21802}, TakeCommands());
  toolbar_->ToggleEffectWindow();
  ::SendMessageW(toolbar_->GetSafeHwnd(), WM_EFFECT_WND_CLOSED, 77, 0);
  EXPECT_EQ(0, config_.viewEnhancement);
  EXPECT_FALSE(toolbar_->Button(20011)->HasState(CWidgetItem::kStateLatched));
  EXPECT_EQ(5u, stats_.size());
}

TEST_F(ToolbarTest, InfoPanelLatchesWhileOpenAndFollowsTheButton) {
  toolbar_->ToggleInfoPanel();
  EXPECT_FALSE(toolbar_->Button(20000)->HasState(CWidgetItem::kStateLatched));
  int live = 0;
  RECT anchor = {};
  FakePopup* panel = nullptr;
  toolbar_->SetInfoPanelFactory(FakeFactory(&live, &anchor, &panel));
  toolbar_->ToggleInfoPanel();
  EXPECT_EQ(1, live);
  EXPECT_TRUE(toolbar_->Button(20000)->HasState(CWidgetItem::kStateLatched));
  ::SetWindowPos(toolbar_->GetSafeHwnd(), nullptr, 0, 20, 600, 60, SWP_NOZORDER);
  toolbar_->MoveInfoPanel();
  RECT screen = toolbar_->Button(20000)->rect;
  ::MapWindowPoints(toolbar_->GetSafeHwnd(), nullptr, reinterpret_cast<POINT*>(&screen), 2);
  EXPECT_EQ(600 - 62, toolbar_->Button(20000)->rect.left);
  EXPECT_TRUE(::EqualRect(&screen, &panel->last_anchor));
  toolbar_->ToggleInfoPanel();
  EXPECT_EQ(0, live);
  EXPECT_FALSE(toolbar_->Button(20000)->HasState(CWidgetItem::kStateLatched));
}

TEST(Menubar, LatchedWhileTheMenuIsOpen) {
  ASSERT_NE(nullptr, Host());
  WndMainMenubar menubar;
  menubar.SetTextLookup(Key);
  ASSERT_TRUE(menubar.Create(Host(), 103, {600, 1, 630, 31}));
  CToolbarButton2* button = menubar.Button();
  EXPECT_EQ(L"k17", button->tooltip);
  EXPECT_EQ(0, button->rect.left);  // (30 - 30) / 2
  // No menu yet: the button does not stay pressed.
  menubar.OpenMainMenu();
  EXPECT_EQ(0, button->Cell());

  int live = 0;
  RECT anchor = {};
  menubar.SetMenuFactory(FakeFactory(&live, &anchor));
  menubar.OpenMainMenu();
  EXPECT_EQ(2, button->Cell());
  EXPECT_EQ(600, anchor.left);
  ::SendMessageW(menubar.GetSafeHwnd(), WM_CONTEXT_MENU_RESULT, 21000, 0);
  EXPECT_EQ(0, live);
  EXPECT_EQ(0, button->Cell());
  EXPECT_EQ(std::vector<UINT>{21000}, TakeCommands());
  // Dismissed (-1): nothing posted; a result with no menu open is ignored.
  menubar.OpenMainMenu();
  ::SendMessageW(menubar.GetSafeHwnd(), WM_CONTEXT_MENU_RESULT, static_cast<WPARAM>(-1), 0);
  ::SendMessageW(menubar.GetSafeHwnd(), WM_CONTEXT_MENU_RESULT, 21001, 0);
  EXPECT_TRUE(TakeCommands().empty());
  EXPECT_EQ(0, button->Cell());
}

TEST(Logo, ModeMovesTheWindowAndSwitchesThePicture) {
  ASSERT_NE(nullptr, Host());
  WndMainLogo logo;
  ASSERT_TRUE(logo.Create(Host(), 103, {8, 3, 98, 33}));
  logo.SetLogoMode(false);
  RECT rect;
  ::GetWindowRect(logo.GetSafeHwnd(), &rect);
  EXPECT_EQ(24, rect.right - rect.left);
  EXPECT_EQ(30, rect.bottom - rect.top);
  EXPECT_FALSE(logo.FindItem(WndMainLogo::kFullItem)->IsVisible());
  EXPECT_EQ(24, logo.FindItem(WndMainLogo::kMiniItem)->rect.right);
  logo.SetLogoMode(true);
  ::GetWindowRect(logo.GetSafeHwnd(), &rect);
  EXPECT_EQ(90, rect.right - rect.left);
  EXPECT_TRUE(logo.FindItem(WndMainLogo::kFullItem)->IsVisible());
  EXPECT_FALSE(logo.FindItem(WndMainLogo::kMiniItem)->IsVisible());
  EXPECT_EQ(90, logo.FindItem(WndMainLogo::kFullItem)->rect.right);
}

}  // namespace
