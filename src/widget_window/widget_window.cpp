#include "widget_window/widget_window.h"

#include <commctrl.h>
#include <windowsx.h>

namespace {

constexpr UINT_PTR kFirstToolId = 100;

// Released when the process ends (static destructor).
basic_lib::ScopedFont g_default_font;
bool g_default_font_tried = false;

}  // namespace

HFONT CreatePointFont(int tenths, const wchar_t* face) {
  LOGFONTW font = {};
  basic_lib::ScopedWindowDc screen(nullptr);
  const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
  font.lfHeight = -::MulDiv(tenths, dpi, 720);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  if (face) ::lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return ::CreateFontIndirectW(&font);
}

// ---------------------------------------------------------------------------------------------
// CWidgetToolTip

bool CWidgetToolTip::Create(HWND owner, DWORD style) {
  Destroy();
  INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&init);
  wnd_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
  return wnd_ != nullptr;
}

void CWidgetToolTip::Destroy() {
  if (wnd_ && ::IsWindow(wnd_)) ::DestroyWindow(wnd_);
  wnd_ = nullptr;
}

void CWidgetToolTip::Activate(bool active) {
  if (wnd_) ::SendMessageW(wnd_, TTM_ACTIVATE, active ? TRUE : FALSE, 0);
}

bool CWidgetToolTip::AddTool(HWND owner, const RECT& rect, UINT_PTR tool_id,
                             const std::wstring& text) {
  if (!wnd_) return false;
  TOOLINFOW info = {};
  info.cbSize = sizeof(info);
  info.hwnd = owner;
  info.uId = tool_id;
  info.rect = rect;
  info.hinst = nullptr;
  info.lpszText = const_cast<wchar_t*>(text.c_str());
  return ::SendMessageW(wnd_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CWidgetToolTip::RelayEvent(MSG* msg) {
  if (wnd_) ::SendMessageW(wnd_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}

int CWidgetToolTip::GetToolCount() const {
  return wnd_ ? static_cast<int>(::SendMessageW(wnd_, TTM_GETTOOLCOUNT, 0, 0)) : 0;
}

// ---------------------------------------------------------------------------------------------
// CWidgetItem

void CWidgetItem::AddToolTip(CWidgetToolTip* tooltip_control, CWidgetWindow* owner,
                             UINT_PTR tool_id) {
  if (tooltip.empty() || !tooltip_control || !owner) return;
  tooltip_control->AddTool(owner->GetSafeHwnd(), rect, tool_id, tooltip);
}

// ---------------------------------------------------------------------------------------------
// CWidgetWindow

CWidgetWindow::~CWidgetWindow() {
  // Items from the last to the first, then the layout, then the tooltip control.
  while (!items_.empty()) items_.pop_back();
  layout_.reset();
  tooltip_.Destroy();
}

HFONT CWidgetWindow::GetDefaultFont() {
  if (!g_default_font_tried) {
    g_default_font_tried = true;
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    const wchar_t* face = L"Tahoma";
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) &&
        metrics.lfMenuFont.lfFaceName[0]) {
      face = metrics.lfMenuFont.lfFaceName;
    }
    g_default_font.Reset(CreatePointFont(90, face));
  }
  return g_default_font.Get();
}

CWidgetItem* CWidgetWindow::AddItem(std::unique_ptr<CWidgetItem> item, int position) {
  if (!item) return nullptr;
  CWidgetItem* raw = item.get();
  if (position == -1) {
    items_.push_back(std::move(item));
  } else if (position >= 0 && position <= static_cast<int>(items_.size())) {
    items_.insert(items_.begin() + position, std::move(item));
  } else {
    return nullptr;  // the item is destroyed here
  }
  return raw;
}

void CWidgetWindow::RemoveItem(int id) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if ((*it)->id == id) {
      items_.erase(it);
      return;
    }
  }
}

CWidgetItem* CWidgetWindow::FindItem(int id) const {
  for (const auto& item : items_) {
    if (item->id == id) return item.get();
  }
  return nullptr;
}

CWidgetItem* CWidgetWindow::HitTest(int x, int y) const {
  const POINT point = {x, y};
  for (const auto& item : items_) {
    if (item->IsReachable() && ::PtInRect(&item->rect, point)) return item.get();
  }
  return nullptr;
}

void CWidgetWindow::InvalidateItem(const CWidgetItem* item) {
  if (item && hwnd_) ::InvalidateRect(hwnd_, &item->rect, TRUE);
}

void CWidgetWindow::UpdateHover(int x, int y) {
  if (items_.empty()) return;
  CWidgetItem* new_hot = HitTest(x, y);
  CWidgetItem* old_hot = nullptr;
  for (const auto& item : items_) {
    if (item->HasState(CWidgetItem::kStateHot)) old_hot = item.get();
  }
  if (new_hot == old_hot) return;
  if (old_hot) {
    old_hot->SetState(CWidgetItem::kStateHot, false);
    old_hot->OnMouseLeave();
    InvalidateItem(old_hot);
  }
  if (new_hot) {
    new_hot->SetState(CWidgetItem::kStateHot, true);
    new_hot->OnMouseEnter();
    InvalidateItem(new_hot);
  }
}

void CWidgetWindow::OnMouseHoverLeave() { UpdateHover(-65535, -65535); }

void CWidgetWindow::RebuildToolTips() {
  tooltip_.Destroy();
  UINT_PTR tool_id = kFirstToolId;
  for (const auto& item : items_) {
    if (!item->IsVisible()) continue;
    if (!tooltip_.GetSafeHwnd()) CreateToolTip(&tooltip_);
    item->AddToolTip(&tooltip_, this, tool_id);
    ++tool_id;
  }
}

void CWidgetWindow::RecalcLayout() {
  if (!layout_ || !hwnd_) return;
  layout_->Layout(hwnd_, items_);
  RebuildToolTips();
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void CWidgetWindow::CreateToolTip(CWidgetToolTip* tooltip) {
  if (tooltip->Create(hwnd_, TTS_ALWAYSTIP)) tooltip->Activate(true);
}

void CWidgetWindow::DrawBackground(HDC, const RECT&) {}

int CWidgetWindow::OnItemPress(CWidgetItem*) { return 0; }

void CWidgetWindow::OnItemRelease(CWidgetItem* item, int x, int y, bool released_by_button_up) {
  if (released_by_button_up && item && HitTest(x, y) == item) OnItemClick(item);
}

void CWidgetWindow::OnItemClick(CWidgetItem*) {}

LRESULT CWidgetWindow::OnLButtonDown(int x, int y) {
  ::InvalidateRect(hwnd_, nullptr, TRUE);
  UpdateHover(x, y);
  CWidgetItem* item = HitTest(x, y);
  if (int result = OnItemPress(item)) return result;

  const HWND self = hwnd_;
  ::SetCapture(self);
  if (item) item->SetState(CWidgetItem::kStatePressed, true);
  bool released = false;
  POINT last = {x, y};
  MSG msg;
  for (;;) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));  // leave the quit for the outer loop
      break;
    }
    if (got == -1 || !::IsWindow(self)) break;
    if (::GetCapture() != self) {
      // The message that revealed the loss is still owed its dispatch.
      ::DispatchMessageW(&msg);
      break;
    }
    if (msg.message == WM_LBUTTONUP && msg.hwnd == self) {
      last = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      ::ReleaseCapture();
      released = true;
      break;
    }
    if (msg.message == WM_MOUSEMOVE && msg.hwnd == self) {
      last = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      if (item) {
        const bool over = HitTest(last.x, last.y) == item;
        if (over != item->HasState(CWidgetItem::kStateHot)) {
          item->SetState(CWidgetItem::kStateHot, over);
          InvalidateItem(item);
        }
      }
      continue;
    }
    ::DispatchMessageW(&msg);
  }
  if (!::IsWindow(self)) return 0;
  if (::GetCapture() == self) ::ReleaseCapture();
  OnItemRelease(item, last.x, last.y, released);
  // The release handler may have removed the item (a command that rebuilt the window).
  for (const auto& owned : items_) {
    if (owned.get() == item) item->SetState(CWidgetItem::kStatePressed, false);
  }
  ::InvalidateRect(self, nullptr, TRUE);
  return 0;
}

LRESULT CWidgetWindow::OnLButtonDblClk(int x, int y) { return OnLButtonDown(x, y); }

bool CWidgetWindow::PreTranslateMessage(MSG* msg) {
  if (tooltip_.GetSafeHwnd()) tooltip_.RelayEvent(msg);
  return framework::CWnd::PreTranslateMessage(msg);
}

void CWidgetWindow::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd_, &paint);
  const RECT update = paint.rcPaint;
  const int width = update.right - update.left;
  const int height = update.bottom - update.top;
  if (!dc || width <= 0 || height <= 0) {
    ::EndPaint(hwnd_, &paint);
    return;
  }
  {
    basic_lib::ScopedBitmap bitmap(::CreateCompatibleBitmap(dc, width, height));
    basic_lib::ScopedMemoryDc memory(bitmap ? ::CreateCompatibleDC(dc) : nullptr);
    if (bitmap && memory) {
      basic_lib::ScopedSelectObject select_bitmap(memory.Get(), bitmap.Get());
      HGDIOBJ old_font = ::SelectObject(memory.Get(), GetFont());
      if (old_font && old_font != HGDI_ERROR) {
        ::SetViewportOrgEx(memory.Get(), -update.left, -update.top, nullptr);
        DrawBackground(memory.Get(), update);
        for (const auto& item : items_) {
          RECT overlap;
          if (!item->IsVisible() || !::IntersectRect(&overlap, &item->rect, &update)) continue;
          POINT previous;
          ::OffsetViewportOrgEx(memory.Get(), item->rect.left, item->rect.top, &previous);
          item->Draw(memory.Get());
          ::SetViewportOrgEx(memory.Get(), previous.x, previous.y, nullptr);
        }
        ::SetViewportOrgEx(memory.Get(), 0, 0, nullptr);
        ::BitBlt(dc, update.left, update.top, width, height, memory.Get(), 0, 0, SRCCOPY);
        ::SelectObject(memory.Get(), old_font);
      }
    }
  }
  ::EndPaint(hwnd_, &paint);
}

LRESULT CWidgetWindow::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  FilterMouseMessage(hwnd_, msg);
  switch (msg) {
    case WM_SIZE:
      RecalcLayout();
      break;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      UpdateHover(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      break;
    case WM_LBUTTONDOWN:
      OnLButtonDown(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    case WM_LBUTTONDBLCLK:
      OnLButtonDblClk(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    default:
      break;
  }
  return framework::CWnd::WindowProc(msg, wparam, lparam);
}
