#include "wnd_main_toolbar/wnd_main_menubar.h"

#include <utility>

#include "widget_window/interface_image.h"

namespace {
constexpr int kMainMenu = 20012;
}  // namespace

WndMainMenubar::WndMainMenubar() : sprite_(std::make_shared<FCObjImage>()) {
  auto button = std::make_unique<wnd_main_toolbar::CToolbarButton2>(
      kMainMenu, 0, wnd_main_toolbar::kGroupCentre, sprite_);
  button->tooltip = wnd_main_toolbar::DefaultToolbarText()(L"17");
  AddItem(std::move(button));
  SetLayout(std::make_unique<wnd_main_toolbar::CToolbarButtonLayout2>());
}

WndMainMenubar::~WndMainMenubar() { menu_.reset(); }

bool WndMainMenubar::Create(HWND parent, UINT id, const RECT& rect) {
  if (!sprite_->IsValid()) widget_window::LoadInterfaceImage(L"wnd_menu.png", sprite_.get());
  return wnd_main_toolbar::CreateWidgetChild(this, parent, id, rect);
}

void WndMainMenubar::SetTextLookup(wnd_main_toolbar::TextLookup lookup) {
  if (!lookup) return;
  if (CWidgetItem* button = Button()) button->tooltip = lookup(L"17");
  RebuildToolTips();
}

wnd_main_toolbar::CToolbarButton2* WndMainMenubar::Button() const {
  return static_cast<wnd_main_toolbar::CToolbarButton2*>(FindItem(kMainMenu));
}

void WndMainMenubar::DrawBackground(HDC dc, const RECT& area) {
  wnd_main_toolbar::FillToolbarBackground(dc, area);
}

void WndMainMenubar::OnItemClick(CWidgetItem* item) {
  if (!item || !hwnd_) return;
  if (HWND parent = ::GetParent(hwnd_)) ::PostMessageW(parent, WM_COMMAND, item->id, 0);
}

void WndMainMenubar::OpenMainMenu() {
  CWidgetItem* button = Button();
  if (button) button->SetState(CWidgetItem::kStateLatched, true);
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
  menu_.reset();
  RECT anchor = {0, 0, 0, 0};
  if (hwnd_) {
    ::GetWindowRect(hwnd_, &anchor);
    if (menu_factory_) menu_ = menu_factory_(hwnd_, anchor);
  }
  // Nothing opened: no result will ever come to release the button.
  if (!menu_ && button) button->SetState(CWidgetItem::kStateLatched, false);
}

void WndMainMenubar::OnMenuResult(WPARAM result) {
  if (!menu_) return;
  if (static_cast<int>(result) != -1 && hwnd_) {
    if (HWND parent = ::GetParent(hwnd_)) ::PostMessageW(parent, WM_COMMAND, LOWORD(result), 0);
  }
  if (CWidgetItem* button = Button()) button->SetState(CWidgetItem::kStateLatched, false);
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
  menu_.reset();
}

LRESULT WndMainMenubar::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_CONTEXT_MENU_RESULT) {
    OnMenuResult(wparam);
    return 0;
  }
  return CWidgetWindow::WindowProc(msg, wparam, lparam);
}
