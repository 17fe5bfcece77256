#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <string>

#include "basic_lib/scoped_handle.h"
#include "framework/wnd.h"
#include "widget_window/track_mouse_hover.h"

class CWidgetWindow;

// A tooltip control bound to rectangles of one owner window. Created on demand, destroyed as a
// whole whenever the owner's layout runs again.
class CWidgetToolTip {
 public:
  CWidgetToolTip() = default;
  ~CWidgetToolTip() { Destroy(); }
  CWidgetToolTip(const CWidgetToolTip&) = delete;
  CWidgetToolTip& operator=(const CWidgetToolTip&) = delete;

  bool Create(HWND owner, DWORD style);
  void Destroy();
  HWND GetSafeHwnd() const { return wnd_; }
  void Activate(bool active);
  // Registers rect (owner's client coordinates) as tool `tool_id` with `text`.
  bool AddTool(HWND owner, const RECT& rect, UINT_PTR tool_id, const std::wstring& text);
  void RelayEvent(MSG* msg);
  int GetToolCount() const;

 private:
  HWND wnd_ = nullptr;
};

// A lightweight rectangle of a widget window: draws itself, reacts to the mouse, carries a
// tooltip. Owned by its window.
class CWidgetItem {
 public:
  enum StateBits {
    kStateHot = 0x01,
    kStatePressed = 0x02,
    kStateVisible = 0x04,
    kStateEnabled = 0x08,  // reachable by the mouse
    kStateLatched = 0x10,  // used by the toolbar buttons: their window or mode is open
  };

  explicit CWidgetItem(int item_id) : id(item_id) {}
  virtual ~CWidgetItem() = default;
  CWidgetItem(const CWidgetItem&) = delete;
  CWidgetItem& operator=(const CWidgetItem&) = delete;

  virtual void OnMouseEnter() {}
  virtual void OnMouseLeave() {}
  // Draws with (0, 0) at the item's top-left corner; not clipped to the item.
  virtual void Draw(HDC dc) = 0;
  // Registers the item's rectangle with its tooltip text; nothing when the text is empty.
  virtual void AddToolTip(CWidgetToolTip* tooltip, CWidgetWindow* owner, UINT_PTR tool_id);

  bool HasState(int bits) const { return (state & bits) == bits; }
  void SetState(int bits, bool on) { state = on ? (state | bits) : (state & ~bits); }
  bool IsVisible() const { return HasState(kStateVisible); }
  bool IsEnabled() const { return HasState(kStateEnabled); }
  bool IsReachable() const { return HasState(kStateVisible | kStateEnabled); }
  void SetVisible(bool on) { SetState(kStateVisible, on); }
  void SetEnabled(bool on) { SetState(kStateEnabled, on); }
  int Width() const { return rect.right - rect.left; }
  int Height() const { return rect.bottom - rect.top; }

  int id;
  int tag = 0;  // free for derived items (the toolbar keeps its button group here)
  int state = kStateVisible | kStateEnabled;
  RECT rect = {0, 0, 0, 0};  // owner's client coordinates
  std::wstring tooltip;
};

using CWidgetItemList = std::deque<std::unique_ptr<CWidgetItem>>;

// Places the items it knows by id; owns none of them.
class CWidgetLayout {
 public:
  CWidgetLayout() = default;
  virtual ~CWidgetLayout() = default;
  CWidgetLayout(const CWidgetLayout&) = delete;
  CWidgetLayout& operator=(const CWidgetLayout&) = delete;

  virtual void Layout(HWND wnd, CWidgetItemList& items) = 0;
};

// One real child window whose client area is divided into items. Paints everything through
// one off-screen bitmap of the update rectangle, tracks the hot item, runs a capture loop while
// the left button is held, and rebuilds its tooltips whenever the layout runs. The owner
// creates the window (framework::CWnd::CreateEx with a class of its own).
class CWidgetWindow : public framework::CWnd, public FCTrackMouseHover {
 public:
  CWidgetWindow() = default;
  ~CWidgetWindow() override;

  // Takes ownership. position -1 appends, 0..count inserts before it, anything else destroys
  // the item. Returns the item when it was added.
  CWidgetItem* AddItem(std::unique_ptr<CWidgetItem> item, int position = -1);
  // Removes and deletes the first item with that id.
  void RemoveItem(int id);
  CWidgetItem* FindItem(int id) const;
  // First visible and enabled item containing the point (right and bottom edges excluded).
  CWidgetItem* HitTest(int x, int y) const;
  void UpdateHover(int x, int y);

  // Replacing the layout deletes the previous one.
  void SetLayout(std::unique_ptr<CWidgetLayout> layout) { layout_ = std::move(layout); }
  CWidgetLayout* GetLayout() const { return layout_.get(); }
  const CWidgetItemList& Items() const { return items_; }
  // The window's own font (owned); null returns to the shared default font.
  void SetFont(HFONT font) { font_.Reset(font); }
  HFONT GetFont() const { return font_ ? font_.Get() : GetDefaultFont(); }
  CWidgetToolTip& ToolTip() { return tooltip_; }

  // The face of the system menu font at 9 points, created once per process.
  static HFONT GetDefaultFont();

  // Destroys the tooltip window and registers the visible items again with ids from 100.
  void RebuildToolTips();

  virtual void RecalcLayout();
  virtual void CreateToolTip(CWidgetToolTip* tooltip);
  virtual void DrawBackground(HDC dc, const RECT& area);
  // Non-zero cancels the press (no capture, no release call). item may be null.
  virtual int OnItemPress(CWidgetItem* item);
  virtual void OnItemRelease(CWidgetItem* item, int x, int y, bool released_by_button_up);
  virtual void OnItemClick(CWidgetItem* item);
  virtual LRESULT OnLButtonDown(int x, int y);
  virtual LRESULT OnLButtonDblClk(int x, int y);

  bool PreTranslateMessage(MSG* msg) override;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void OnMouseHoverLeave() override;
  void InvalidateItem(const CWidgetItem* item);
  void OnPaint();

 private:
  CWidgetItemList items_;
  std::unique_ptr<CWidgetLayout> layout_;
  CWidgetToolTip tooltip_;
  basic_lib::ScopedFont font_;
};

// A GDI font of `tenths` tenths of a point for the screen (as a point-size font request).
HFONT CreatePointFont(int tenths, const wchar_t* face);
