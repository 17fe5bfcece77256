#include "wnd_main_toolbar/toolbar_button.h"

#include <utility>

#include "basic_lib/scoped_handle.h"
#include "lang/language.h"

namespace wnd_main_toolbar {
namespace {

int ClientWidth(HWND wnd) {
  RECT client = {0, 0, 0, 0};
  if (wnd) ::GetClientRect(wnd, &client);
  return client.right - client.left;
}

void DrawCell(const SpriteImage& sprite, HDC dc, const RECT& source) {
  if (!sprite || !sprite->IsValid()) return;
  // A sheet smaller than the grid it should hold draws nothing rather than reading outside it.
  if (source.right > sprite->Width() || source.bottom > sprite->Height()) return;
  sprite->Draw(dc, 0, 0, source.right - source.left, source.bottom - source.top, &source);
}

}  // namespace

CToolbarButton::CToolbarButton(int item_id, int sprite_column, int group, SpriteImage sheet)
    : CWidgetItem(item_id), sprite(std::move(sheet)), column(sprite_column) {
  tag = group;
}

int CToolbarButton::SourceTop() const {
  if (!IsEnabled()) return 2 * kHeight;
  if (state & (kStateHot | kStatePressed | kStateLatched)) return kHeight;
  return 0;
}

void CToolbarButton::Draw(HDC dc) {
  const int top = SourceTop();
  const RECT source = {column * kWidth, top, column * kWidth + kWidth, top + kHeight};
  DrawCell(sprite, dc, source);
}

CToolbarButton2::CToolbarButton2(int item_id, int normal_cell, int group, SpriteImage sheet)
    : CWidgetItem(item_id), sprite(std::move(sheet)), column(normal_cell) {
  tag = group;
}

int CToolbarButton2::Cell() const {
  if (!IsEnabled()) return 3;
  if (state & (kStatePressed | kStateLatched)) return 2;
  if (state & kStateHot) return 1;
  return column;
}

void CToolbarButton2::Draw(HDC dc) {
  const int cell = Cell();
  const RECT source = {cell * kWidth, 0, cell * kWidth + kWidth, kHeight};
  DrawCell(sprite, dc, source);
}

void LayoutButtonRow(int client_width, int button_width, int top, int bottom,
                     CWidgetItemList& items) {
  int centre = 0, right = 0;
  for (const auto& item : items) {
    if (item->tag & kGroupLeft) continue;
    if (item->tag & kGroupRight) {
      ++right;
    } else {
      ++centre;
    }
  }
  int left_x = 10;
  int centre_x = (client_width - button_width * centre) / 2;
  int right_x = client_width - button_width * right - 10;
  for (auto& item : items) {
    int* cursor = (item->tag & kGroupLeft)    ? &left_x
                  : (item->tag & kGroupRight) ? &right_x
                                              : &centre_x;
    item->rect = {*cursor, top, *cursor + button_width, bottom};
    *cursor += button_width;
  }
}

void CToolbarButtonLayout::Layout(HWND wnd, CWidgetItemList& items) {
  LayoutButtonRow(ClientWidth(wnd), CToolbarButton::kWidth, 13, 13 + CToolbarButton::kHeight,
                  items);
}

void CToolbarButtonLayout2::Layout(HWND wnd, CWidgetItemList& items) {
  LayoutButtonRow(ClientWidth(wnd), CToolbarButton2::kWidth, 0, CToolbarButton2::kHeight, items);
}

}  // namespace wnd_main_toolbar

void CSwitchLayout::Layout(HWND wnd, CWidgetItemList& items) {
  RECT client = {0, 0, 0, 0};
  if (wnd) ::GetClientRect(wnd, &client);
  for (auto& item : items) {
    if (item->IsVisible()) item->rect = client;
  }
}

namespace wnd_main_toolbar {

bool CreateWidgetChild(CWidgetWindow* window, HWND parent, UINT id, const RECT& rect) {
  static constexpr wchar_t kClass[] = L"LumoraWidgetWindow";
  if (!window || !framework::CWnd::RegisterWindowClass(kClass, CS_DBLCLKS)) return false;
  return window->CreateEx(0, kClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect, parent,
                          id);
}

void FillToolbarBackground(HDC dc, const RECT& area) {
  basic_lib::ScopedBrush brush(::CreateSolidBrush(RGB(248, 248, 248)));
  ::FillRect(dc, &area, brush.Get());
}

TextLookup DefaultToolbarText() {
  return [](const std::wstring& key) { return lang::GetText(L"TOOLBAR", key); };
}

}  // namespace wnd_main_toolbar
