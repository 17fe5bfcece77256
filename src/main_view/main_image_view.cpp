#include "main_view/main_image_view.h"

#include <shlwapi.h>
#include <wincodec.h>
#include <windowsx.h>

#include <cmath>

#include "basic_lib/path_util.h"
#include "document/current_document.h"
#include "folder/current_folder_image.h"
#include "lang/language.h"
#include "view_render/render_messages.h"
#include "view_render/system_cache.h"
#include "view_render/view_render.h"
#include "widget_window/interface_image.h"
#include "widget_window/ui_event.h"

namespace main_view {

WheelDecision DecideWheel(int wheel_action, bool control, bool alt, int delta) {
  if (alt) return {delta > 0 ? WheelDecision::kScrollUp : WheelDecision::kScrollDown, 0};
  const bool zoom = control ? wheel_action != 1 : wheel_action == 1;
  if (zoom) return {WheelDecision::kZoom, delta / WHEEL_DELTA};
  return {delta > 0 ? WheelDecision::kPrevious : WheelDecision::kNext, 0};
}

}  // namespace main_view

namespace {

constexpr wchar_t kViewClass[] = L"LumoraMainImageView";
constexpr DWORD kViewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP;
constexpr UINT kWmContextMenuResult = 0x8203;
constexpr UINT kCmdPrevious = 20005;
constexpr UINT kCmdNext = 20006;
constexpr UINT kCmdOpen = 21000;
constexpr UINT kCmdScrollUp = 26000;
constexpr UINT kCmdScrollDown = 26001;
constexpr wchar_t kMissingFileText[] = L"\x5F53\x524D\x6587\x4EF6\x4E0D\x5B58\x5728";
constexpr wchar_t kSavingText[] = L"\x4FDD\x5B58\x56FE\x7247\x4E2D";

bool IsAnimatedGif(CurrentDocument* document) {
  if (!document) return false;
  std::shared_ptr<CWICImageLoader> loader = document->GetLoader();
  IWICBitmapDecoder* decoder = loader ? loader->GetDecoder() : nullptr;
  if (!decoder) return false;
  GUID format = {};
  UINT frames = 0;
  return SUCCEEDED(decoder->GetContainerFormat(&format)) &&
         IsEqualGUID(format, GUID_ContainerFormatGif) &&
         SUCCEEDED(decoder->GetFrameCount(&frames)) && frames >= 2;
}

}  // namespace

using namespace main_view;

WndMainImageView::WndMainImageView(MainViewContext context) : context_(std::move(context)) {
  FCObjImage indicator;
  widget_window::LoadInterfaceImage(L"turn_page_indicator.png", &indicator, true);
  SetLayout(std::make_unique<CMainViewLayout>(indicator.Width()));
  auto previous = std::make_unique<CTurnPageItem>(kTurnPrevItem, indicator, this);
  FCObjImage mirrored;
  MirrorImage(indicator, &mirrored);
  auto next = std::make_unique<CTurnPageItem>(kTurnNextItem, mirrored, this);
  previous->SetVisible(false);
  next->SetVisible(false);
  AddItem(std::move(previous));
  AddItem(std::move(next));
}

WndMainImageView::~WndMainImageView() { viewRenderer_.reset(); }

bool WndMainImageView::Create(HWND parent, UINT id, const RECT& rect) {
  if (!RegisterWindowClass(kViewClass, CS_DBLCLKS)) return false;
  if (!context_.main_window) context_.main_window = parent;
  return CreateEx(0, kViewClass, L"", kViewStyle, rect, parent, id);
}

void WndMainImageView::DestroyWindow() {
  viewRenderer_.reset();
  CWidgetWindow::DestroyWindow();
}

RECT WndMainImageView::ViewRect() const {
  RECT r = {0, 0, 0, 0};
  if (hwnd_) ::GetClientRect(hwnd_, &r);
  const int margin = context_.view_margin ? context_.view_margin() : 0;
  if (margin > 0) {
    r.left += margin;
    r.right -= margin;
    r.bottom -= margin;
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
  }
  return r;
}

void WndMainImageView::Post(UINT msg, WPARAM wparam) const {
  if (context_.main_window) ::PostMessageW(context_.main_window, msg, wparam, 0);
}

void WndMainImageView::Repaint(bool update) {
  if (!hwnd_) return;
  ::InvalidateRect(hwnd_, nullptr, FALSE);
  if (update) ::UpdateWindow(hwnd_);
}

bool WndMainImageView::CanMove(int delta) const {
  if (context_.can_move) return context_.can_move(delta);
  const bool loop = context_.folder_loop ? context_.folder_loop() : false;
  return context_.folder && context_.folder->CanMove(delta, loop);
}

void WndMainImageView::RemoveOverlays() {
  for (int id = kLoadErrorItem; id <= kSavingTipItem; ++id) RemoveItem(id);
  if (CWidgetItem* item = FindItem(kTurnPrevItem)) item->SetVisible(false);
  if (CWidgetItem* item = FindItem(kTurnNextItem)) item->SetVisible(false);
}

void WndMainImageView::ShowArrows() {
  if (CanMove(-1)) {
    if (CWidgetItem* item = FindItem(kTurnPrevItem)) item->SetVisible(true);
  }
  if (CanMove(1)) {
    if (CWidgetItem* item = FindItem(kTurnNextItem)) item->SetVisible(true);
  }
}

void WndMainImageView::ShowCurrentImage() {
  RemoveOverlays();
  viewRenderer_.reset();
  CurrentDocument* document = context_.document;
  const std::wstring path = document ? document->GetPath() : std::wstring();
  if (path.empty()) {
    auto slogon = std::make_unique<CWelcomeSlogonItem>();
    widget_window::LoadInterfaceImage(L"home_slogan.png", &slogon->Image());
    slogon->rect = {0, 0, slogon->Image().Width(), slogon->Image().Height()};
    auto open = std::make_unique<CWelcomeOpenItem>();
    widget_window::LoadInterfaceImage(L"home_open.png", &open->Image());
    open->rect = {0, 0, open->Image().Width() / 3, open->Image().Height()};
    AddItem(std::move(slogon));
    AddItem(std::move(open));
    if (document) document->Open(std::wstring());
  } else {
    if (!::PathFileExistsW(path.c_str())) {
      AddItem(std::make_unique<CTipItem>(kMissingTipItem, kMissingFileText));
    } else if (!document->GetLoader()) {
      LOGFONTW face = {};
      ::GetObjectW(GetDefaultFont(), sizeof(face), &face);
      HFONT font = CreatePointFont(120, face.lfFaceName[0] ? face.lfFaceName : nullptr);
      AddItem(std::make_unique<CLoadErrorItem>(
          ::PathFindFileNameW(path.c_str()), lang::GetText(L"app", L"LOAD_IMAGE_ERROR_TIP"), font));
    } else {
      const RECT view = ViewRect();
      view_render::RenderEnvironment environment;
      environment.document = document;
      environment.cache = context_.cache;
      environment.set_zoom_text = context_.set_zoom_text;
      bool has_frame = false;
      viewRenderer_ = std::make_unique<view_render::CViewRender>(
          environment, view.right - view.left, view.bottom - view.top, hwnd_, &has_frame);
      if (!has_frame) AddItem(std::make_unique<CLoadingGifItem>(hwnd_));
    }
    if (context_.folder) context_.folder->Collect(hwnd_, path);
  }
  RecalcLayout();
  if (hwnd_) {
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    ::UpdateWindow(hwnd_);
  }
  if (context_.refresh_status) context_.refresh_status();
  CUIEventViewImageChanged event;
  DispatchUIEvent(&event);
}

void WndMainImageView::ShowSavingTip() {
  RemoveOverlays();
  AddItem(std::make_unique<CTipItem>(kSavingTipItem, kSavingText));
  RecalcLayout();
  Repaint(true);
}

void WndMainImageView::EndSavingTip() {
  RemoveItem(kSavingTipItem);
  ShowArrows();
  Repaint(false);
}

void WndMainImageView::ToggleFitActual() {
  if (!viewRenderer_) return;
  viewRenderer_->ToggleActualSize();
  Repaint(true);
}

void WndMainImageView::ZoomStep(bool zoom_in) {
  if (!viewRenderer_) return;
  const RECT view = ViewRect();
  viewRenderer_->ZoomStep(zoom_in ? 1 : -1, (view.right - view.left) / 2,
                          (view.bottom - view.top) / 2);
  Repaint(true);
}

void WndMainImageView::Rotate(bool clockwise) {
  if (!viewRenderer_ || !context_.document) return;
  if (IsAnimatedGif(context_.document)) return;
  if (CPreRender* pre_render = viewRenderer_->GetPreRender()) {
    if (HBITMAP shown = pre_render->GetFitBitmap(false)) context_.document->SetPreview(shown);
  }
  viewRenderer_.reset();
  // Turns the decoded image; writing the turn back to the file belongs to the saving steps.
  if (std::shared_ptr<CWICImageLoader> loader = context_.document->GetLoader()) {
    loader->Rotate(clockwise);
  }
  ShowCurrentImage();
}

void WndMainImageView::ScrollPage(UINT command_id) {
  if (!viewRenderer_) return;
  const int page = static_cast<int>(0.8 * ::GetSystemMetrics(SM_CYFULLSCREEN));
  viewRenderer_->Pan(0, command_id == kCmdScrollUp ? page : -page);
  Repaint(false);
}

void WndMainImageView::OnEnterSizeMove() { inSizeMove_ = 1; }

void WndMainImageView::OnExitSizeMove() {
  inSizeMove_ = 0;
  if (viewRenderer_) {
    const RECT view = ViewRect();
    viewRenderer_->SetViewSize(view.right - view.left, view.bottom - view.top);
  }
  if (context_.document && context_.document->IsLongImage()) {
    ShowCurrentImage();
  } else {
    Repaint(false);
  }
}

void WndMainImageView::OnParentSized() {
  if (inSizeMove_ || !viewRenderer_) return;
  const RECT view = ViewRect();
  viewRenderer_->SetViewSize(view.right - view.left, view.bottom - view.top);
  Repaint(false);
}

void WndMainImageView::DrawBackground(HDC dc, const RECT& area) {
  const COLORREF color = context_.canvas_color ? context_.canvas_color() : RGB(255, 255, 255);
  if (!canvas_brush_ || canvas_brush_color_ != color) {
    canvas_brush_.Reset(::CreateSolidBrush(color));
    canvas_brush_color_ = color;
  }
  ::FillRect(dc, &area, canvas_brush_.Get());
  if (!viewRenderer_) return;
  const RECT view = ViewRect();
  POINT previous;
  ::OffsetViewportOrgEx(dc, view.left, view.top, &previous);
  viewRenderer_->Paint(dc, view.right - view.left, view.bottom - view.top, inSizeMove_ != 0);
  ::SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

bool WndMainImageView::PressItem(int x, int y) {
  CWidgetItem* item = HitTest(x, y);
  if (!item) return false;
  switch (item->id) {
    case kTurnPrevItem:
      if (context_.main_window) ::PostMessageW(context_.main_window, WM_KEYDOWN, VK_LEFT, 0);
      break;
    case kTurnNextItem:
      if (context_.main_window) ::PostMessageW(context_.main_window, WM_KEYDOWN, VK_RIGHT, 0);
      break;
    case kWelcomeOpenItem:
      Post(WM_COMMAND, kCmdOpen);
      break;
    default:
      break;
  }
  return true;
}

LRESULT WndMainImageView::OnLButtonDown(int x, int y) {
  if (PressItem(x, y)) return 0;
  if (!viewRenderer_) return 0;
  DragPan(x, y);
  return 0;
}

void WndMainImageView::DragPan(int x, int y) {
  const HWND self = hwnd_;
  ::SetCapture(self);
  POINT last = {x, y};
  MSG msg;
  for (;;) {
    if (::GetCapture() != self) {
      ::InvalidateRect(self, nullptr, FALSE);
      break;
    }
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1 || !::IsWindow(self)) return;
    if ((msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP) && msg.hwnd == self) {
      const POINT point = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      if (viewRenderer_) viewRenderer_->Pan(point.x - last.x, point.y - last.y);
      ::InvalidateRect(self, nullptr, FALSE);
      ::UpdateWindow(self);
      last = point;
      if (msg.message == WM_LBUTTONUP) break;
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (::GetCapture() == self) ::ReleaseCapture();
  ::InvalidateRect(self, nullptr, FALSE);
}

LRESULT WndMainImageView::OnLButtonDblClk(int x, int y) {
  if (PressItem(x, y)) return 0;
  if (!viewRenderer_) return 0;
  const RECT view = ViewRect();
  viewRenderer_->ToggleFit(x - view.left, y - view.top);
  Repaint(true);
  return 0;
}

void WndMainImageView::OnMouseWheel(WPARAM wparam, LPARAM lparam) {
  if (FindItem(kWelcomeOpenItem)) return;
  int action = context_.wheel_action ? context_.wheel_action(false) : 1;
  if (action == 99) {
    action = context_.wheel_action ? context_.wheel_action(true) : 1;
    // Until the wheel-choice dialog exists an undecided wheel turns the page, storing nothing.
  }
  const bool alt = context_.alt_down ? context_.alt_down() : (::GetKeyState(VK_MENU) & 0x8000) != 0;
  const bool control = (GET_KEYSTATE_WPARAM(wparam) & MK_CONTROL) != 0;
  const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
  const WheelDecision decision = DecideWheel(action, control, alt, delta);
  switch (decision.kind) {
    case WheelDecision::kScrollUp:
      Post(WM_COMMAND, kCmdScrollUp);
      break;
    case WheelDecision::kScrollDown:
      Post(WM_COMMAND, kCmdScrollDown);
      break;
    case WheelDecision::kPrevious:
      Post(WM_COMMAND, kCmdPrevious);
      break;
    case WheelDecision::kNext:
      Post(WM_COMMAND, kCmdNext);
      break;
    case WheelDecision::kZoom: {
      if (!viewRenderer_) return;
      POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      ::ScreenToClient(hwnd_, &point);
      const RECT view = ViewRect();
      viewRenderer_->ZoomStep(decision.steps, point.x - view.left, point.y - view.top);
      Repaint(true);
      break;
    }
  }
}

void WndMainImageView::OnFolderListReady() {
  if (context_.refresh_status) context_.refresh_status();
  ShowArrows();
  CUIEventFolderImageCollected event;
  DispatchUIEvent(&event);
  Repaint(false);
}

LRESULT WndMainImageView::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_MOUSEWHEEL:
      OnMouseWheel(wparam, lparam);
      return 0;
    case WM_CONTEXTMENU:
      // The context menu window joins with the menus; until then a right click shows nothing.
      return 0;
    case WM_FIRST_FRAME_READY:
      RemoveItem(kLoadingItem);
      Repaint(false);
      return 0;
    case WM_FOLDER_LIST_READY:
      OnFolderListReady();
      return 0;
    case kWmContextMenuResult:
      // No context menu can be open yet, so every result is ignored.
      return 0;
    default:
      break;
  }
  return CWidgetWindow::WindowProc(msg, wparam, lparam);
}
