#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "image/obj_image.h"
#include "widget_window/widget_window.h"

namespace wnd_main_toolbar {

// Button groups, kept in CWidgetItem::tag.
enum ButtonGroup {
  kGroupLeft = 0x01,
  kGroupCentre = 0x02,
  kGroupRight = 0x04,
};

// One sprite sheet shared by every button of a window.
using SpriteImage = std::shared_ptr<FCObjImage>;

// A toolbar button: one column of the 52 x 34 cell grid; row 0 normal, row 1 hot, pressed or
// latched, row 2 disabled.
class CToolbarButton : public CWidgetItem {
 public:
  static constexpr int kWidth = 52;
  static constexpr int kHeight = 34;

  CToolbarButton(int item_id, int sprite_column, int group, SpriteImage sheet);

  // Top of the sprite row the button draws from.
  int SourceTop() const;
  void Draw(HDC dc) override;

  SpriteImage sprite;
  int column;
};

// The menu-bar button: one row of four 30 x 30 cells (normal, hot, pressed or latched, disabled).
class CToolbarButton2 : public CWidgetItem {
 public:
  static constexpr int kWidth = 30;
  static constexpr int kHeight = 30;

  CToolbarButton2(int item_id, int normal_cell, int group, SpriteImage sheet);

  int Cell() const;
  void Draw(HDC dc) override;

  SpriteImage sprite;
  int column;
};

// Places the buttons of each group side by side: the left group from x = 10, the right group
// ending 10 pixels before the right edge, the centre group centred (it may start left of 0 in a
// narrow window; nothing is hidden).
void LayoutButtonRow(int client_width, int button_width, int top, int bottom,
                     CWidgetItemList& items);

class CToolbarButtonLayout : public CWidgetLayout {
 public:
  void Layout(HWND wnd, CWidgetItemList& items) override;
};

class CToolbarButtonLayout2 : public CWidgetLayout {
 public:
  void Layout(HWND wnd, CWidgetItemList& items) override;
};

}  // namespace wnd_main_toolbar

// Every visible item gets the whole client rectangle (the logo's two pictures).
class CSwitchLayout : public CWidgetLayout {
 public:
  void Layout(HWND wnd, CWidgetItemList& items) override;
};

namespace wnd_main_toolbar {

// Creates a widget window as a visible child of the main window (class registered once).
bool CreateWidgetChild(CWidgetWindow* window, HWND parent, UINT id, const RECT& rect);

// Fills with the caption and toolbar background colour.
void FillToolbarBackground(HDC dc, const RECT& area);

// A window that opens anchored to a button (information panel, effect window, main menu). The
// owner deletes it to close it.
class CAnchoredPopup {
 public:
  virtual ~CAnchoredPopup() = default;
  // The anchor moved (screen coordinates).
  virtual void MoveTo(const RECT&) {}
};

// Creates and shows a popup for `owner` anchored to `anchor` (screen coordinates); null when
// nothing could be opened.
using PopupFactory = std::function<std::unique_ptr<CAnchoredPopup>(HWND owner, const RECT& anchor)>;

// Looks up a text of the "TOOLBAR" section by key.
using TextLookup = std::function<std::wstring(const std::wstring& key)>;
TextLookup DefaultToolbarText();

}  // namespace wnd_main_toolbar
