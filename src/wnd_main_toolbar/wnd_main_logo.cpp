#include "wnd_main_toolbar/wnd_main_logo.h"

#include <memory>

#include "widget_window/interface_image.h"
#include "widget_window/widget_items.h"
#include "wnd_main_toolbar/toolbar_button.h"

namespace {

void LoadPicture(CWidgetItem* item, const wchar_t* file_name) {
  auto* picture = static_cast<widget_window::CWidgetItemImage*>(item);
  if (!picture || !widget_window::LoadInterfaceImage(file_name, &picture->Image())) return;
  picture->rect = {0, 0, picture->Image().Width(), picture->Image().Height()};
}

}  // namespace

WndMainLogo::WndMainLogo() {
  AddItem(std::make_unique<widget_window::CWidgetItemImage>(kFullItem));
  AddItem(std::make_unique<widget_window::CWidgetItemImage>(kMiniItem))->SetVisible(false);
  SetLayout(std::make_unique<CSwitchLayout>());
}

bool WndMainLogo::Create(HWND parent, UINT id, const RECT& rect) {
  LoadPicture(FindItem(kFullItem), L"logo_desc.png");
  LoadPicture(FindItem(kMiniItem), L"logo-mini.png");
  return wnd_main_toolbar::CreateWidgetChild(this, parent, id, rect);
}

void WndMainLogo::SetLogoMode(bool full) {
  full_ = full;
  if (hwnd_) {
    ::SetWindowPos(hwnd_, nullptr, 8, 3, full ? 90 : 24, 30, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (CWidgetItem* item = FindItem(kFullItem)) item->SetVisible(full);
  if (CWidgetItem* item = FindItem(kMiniItem)) item->SetVisible(!full);
  // The move lays out only when the size changed; the newly shown picture needs its place now.
  RecalcLayout();
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void WndMainLogo::DrawBackground(HDC dc, const RECT& area) {
  wnd_main_toolbar::FillToolbarBackground(dc, area);
}
