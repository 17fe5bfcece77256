#pragma once

#include <windows.h>

#include "widget_window/widget_window.h"

// The logo in the top-left corner: the wide logo with the program name while nothing is open,
// the small mark otherwise.
class WndMainLogo : public CWidgetWindow {
 public:
  static constexpr int kFullItem = 0;
  static constexpr int kMiniItem = 1;

  WndMainLogo();

  // Loads "logo_desc.png" and "logo-mini.png" and creates the child window.
  bool Create(HWND parent, UINT id, const RECT& rect);
  void SetLogoMode(bool full);
  bool IsFullMode() const { return full_; }

  void DrawBackground(HDC dc, const RECT& area) override;

 private:
  bool full_ = true;
};
