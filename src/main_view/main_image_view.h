#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "main_view/main_view_items.h"
#include "widget_window/widget_window.h"

class CCurrentFolderImage;
class CSystemCache;
class CurrentDocument;

namespace view_render {
class CViewRender;
}

namespace main_view {

// What one wheel turn does.
struct WheelDecision {
  enum Kind { kScrollUp, kScrollDown, kZoom, kPrevious, kNext };
  Kind kind;
  int steps;  // zoom notches (delta / 120, truncated toward zero)
};
// `wheel_action` is mouse_wheel_action (1 zooms, anything else turns pages).
WheelDecision DecideWheel(int wheel_action, bool control, bool alt, int delta);

}  // namespace main_view

// Everything the view reaches outside itself. The application fills it with the real settings,
// document and folder list; tests hand in their own.
struct MainViewContext {
  HWND main_window = nullptr;  // receives the posted keys and commands
  CurrentDocument* document = nullptr;
  CCurrentFolderImage* folder = nullptr;
  CSystemCache* cache = nullptr;
  std::function<COLORREF()> canvas_color;
  // view_margin when the toolbar is not docked, else 0.
  std::function<int()> view_margin;
  // mouse_wheel_action; the argument asks to read it from the settings file again first.
  std::function<int(bool reread)> wheel_action;
  std::function<bool()> folder_loop;
  // Overrides of the folder list's CanMove (tests).
  std::function<bool(int delta)> can_move;
  // Refreshes the status text (caption line).
  std::function<void()> refresh_status;
  // The zoom percentage of the status text.
  std::function<void(int percent)> set_zoom_text;
  // Whether Alt is held (GetKeyState by default).
  std::function<bool()> alt_down;
};

// The large child window showing the current image, its overlays and the welcome screen.
class WndMainImageView : public CWidgetWindow {
 public:
  explicit WndMainImageView(MainViewContext context);
  ~WndMainImageView() override;

  bool Create(HWND parent, UINT id, const RECT& rect);
  void DestroyWindow();

  void ShowCurrentImage();
  void RemoveOverlays();
  void ShowSavingTip();
  void EndSavingTip();
  void ToggleFitActual();
  void ZoomStep(bool zoom_in);
  void Rotate(bool clockwise);
  void ScrollPage(UINT command_id);
  void OnEnterSizeMove();
  void OnExitSizeMove();
  void OnParentSized();
  void CloseContextMenu() {}

  // The client rectangle less the margins.
  RECT ViewRect() const;
  view_render::CViewRender* GetViewRenderer() const { return viewRenderer_.get(); }
  int InSizeMove() const { return inSizeMove_; }
  MainViewContext& Context() { return context_; }

  void DrawBackground(HDC dc, const RECT& area) override;
  LRESULT OnLButtonDown(int x, int y) override;
  LRESULT OnLButtonDblClk(int x, int y) override;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void OnMouseWheel(WPARAM wparam, LPARAM lparam);
  void OnFolderListReady();
  void ShowArrows();
  bool CanMove(int delta) const;
  // Items 100, 101, 105 post their message; true when an item took the press.
  bool PressItem(int x, int y);
  void DragPan(int x, int y);
  void Post(UINT msg, WPARAM wparam) const;
  void Repaint(bool update);

  MainViewContext context_;
  int inSizeMove_ = 0;
  std::unique_ptr<view_render::CViewRender> viewRenderer_;
  basic_lib::ScopedBrush canvas_brush_;
  COLORREF canvas_brush_color_ = CLR_INVALID;
};
