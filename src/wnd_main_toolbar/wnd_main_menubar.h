#pragma once

#include <windows.h>

#include <memory>
#include <utility>

#include "widget_window/ui_event.h"
#include "widget_window/widget_window.h"
#include "wnd_main_toolbar/toolbar_button.h"

// Sent by the main menu when it closes; wParam is the chosen command id or -1.
constexpr UINT WM_CONTEXT_MENU_RESULT = 0x8203;

// The single menu button in the caption area; it shows the pressed cell while its menu is open.
class WndMainMenubar : public CWidgetWindow, public CUIEventObserver {
 public:
  WndMainMenubar();
  ~WndMainMenubar() override;

  // Loads "wnd_menu.png" (unless a sprite was given) and creates the child window.
  bool Create(HWND parent, UINT id, const RECT& rect);

  // Until the menus exist no factory is installed: the button posts its command and nothing opens.
  void SetMenuFactory(wnd_main_toolbar::PopupFactory factory) {
    menu_factory_ = std::move(factory);
  }
  void SetTextLookup(wnd_main_toolbar::TextLookup lookup);
  wnd_main_toolbar::SpriteImage Sprite() const { return sprite_; }
  wnd_main_toolbar::CToolbarButton2* Button() const;
  bool IsMenuOpen() const { return menu_ != nullptr; }

  void OpenMainMenu();

  void OnItemClick(CWidgetItem* item) override;
  void OnUIEvent(const CUIEventParam*) override {}
  void DrawBackground(HDC dc, const RECT& area) override;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void OnMenuResult(WPARAM result);

  wnd_main_toolbar::SpriteImage sprite_;
  wnd_main_toolbar::PopupFactory menu_factory_;
  std::unique_ptr<wnd_main_toolbar::CAnchoredPopup> menu_;
};
