#include "app/tolvane_dlg.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "app/app_config.h"
#include "app/bridge_calls.h"
#include "app/command_ids.h"
#include "app/command_line.h"
#include "app/companion_tray.h"
#include "app/copy_data.h"
#include "app/ipc_message_mgr.h"
#include "app/ipc_receiver.h"
#include "app/main_layout.h"
#include "basic_lib/path_util.h"
#include "document/current_document.h"
#include "folder/current_folder_image.h"
#include "framework/dc.h"
#include "framework/win_app.h"
#include "image/image_format.h"
#include "log/my_log.h"
#include "res/resource.h"
#include "view_render/system_cache.h"
#include "view_render/view_settings.h"

namespace {

constexpr wchar_t kPlaceholderClass[] = L"LumoraChildPlaceholder";
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP;  // 0x52010000
constexpr COLORREF kCaptionBack = RGB(248, 248, 248);
constexpr COLORREF kCaptionTextColor = RGB(64, 65, 71);
constexpr UINT kWmCopyGlobalData = 0x0049;

void MoveChild(HWND wnd, const RECT& r) {
  if (wnd) {
    ::SetWindowPos(wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool IsTopmost(HWND wnd) { return (::GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

}  // namespace

bool CChildPlaceholder::Create(HWND parent, UINT id, const RECT& rect) {
  if (!RegisterWindowClass(kPlaceholderClass)) return false;
  return CreateEx(0, kPlaceholderClass, L"", kChildStyle, rect, parent, id);
}

LRESULT CChildPlaceholder::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT: {
      framework::CPaintDC dc(hwnd_);
      basic_lib::ScopedBrush brush(::CreateSolidBrush(color_));
      ::FillRect(dc.Get(), &dc.PaintRect(), brush.Get());
      return 0;
    }
    default:
      return CWnd::WindowProc(msg, wparam, lparam);
  }
}

CTolvaneDlg::CTolvaneDlg()
    : framework::CDialog(IDD_MAIN),
      folder_list_(std::make_unique<CCurrentFolderImage>()),
      image_view_(MakeViewContext()),
      background_brush_(::CreateSolidBrush(kCaptionBack)) {
  RegisterMainWindowClass();
}

CTolvaneDlg::~CTolvaneDlg() = default;

bool CTolvaneDlg::RegisterMainWindowClass() {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  if (::GetClassInfoExW(instance, kMainWindowClass, &wc)) return true;
  if (!::GetClassInfoExW(nullptr, L"#32770", &wc)) return false;
  wc.cbSize = sizeof(wc);
  wc.hInstance = instance;
  wc.lpszClassName = kMainWindowClass;
  wc.style |= CS_DBLCLKS;
  return ::RegisterClassExW(&wc) != 0;
}

BOOL CTolvaneDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CAppConfig& config = CAppConfig::Instance();

  AllowMessageThroughFilter(hwnd_, WM_COPYDATA);
  AllowMessageThroughFilter(hwnd_, WM_DROPFILES);
  AllowMessageThroughFilter(hwnd_, kWmCopyGlobalData);

  config.RestoreWindowPlacement(hwnd_);

  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  auto* big = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_LUMORA), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXICON),
                                              ::GetSystemMetrics(SM_CYICON), LR_SHARED));
  auto* small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_LUMORA), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXSMICON),
                                                ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  ::SetWindowTextW(hwnd_, handover::kDisplayName);

  RECT client;
  ::GetClientRect(hwnd_, &client);
  const MainLayout layout =
      ComputeMainLayout(client.right, client.bottom, config.toolbarDock != 0, false);
  title_info_.SetMainWindow(hwnd_);
  image_view_.Context().main_window = hwnd_;
  image_view_.Create(hwnd_, main_ids::kImageView, layout.view);
  toolbar_.SetFolderList(folder_list_.get());
  toolbar_.Create(hwnd_, main_ids::kToolbar, layout.toolbar);
  logo_.Create(hwnd_, main_ids::kLogo, layout.logo);
  menubar_.Create(hwnd_, main_ids::kMenubar, layout.menubar_button);

  // The viewer does not run without its service bridge.
  bridge::LoadOrExit();
  bridge::StartStat();
  bridge::SendEvent(L"open");

  ::PostMessageW(hwnd_, msg::kOpenFirstImage, 0, 0);
  ::DragAcceptFiles(hwnd_, TRUE);
  quit_message_ = ::RegisterWindowMessageW(kQuitBroadcastMessage);

  const CCommandLine& command_line = CCommandLine::Instance();
  if (command_line.HasSwitch(L"--setting")) {
    ::PostMessageW(hwnd_, WM_COMMAND, cmd::kSettings, 0);
  } else if (command_line.HasSwitch(L"--LockscreenSet")) {
    ::PostMessageW(hwnd_, msg::kLockscreenSettings, 0, 0);
  }

  if (HWND caption = ::GetDlgItem(hwnd_, main_ids::kCaptionText)) {
    ::SetWindowLongW(caption, GWL_STYLE, ::GetWindowLongW(caption, GWL_STYLE) | SS_CENTERIMAGE);
    ::SetWindowPos(caption, nullptr, 105, 1, 200, 29, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(caption, SW_SHOW);
  }
  LOGFONTW lf = {};
  lf.lfHeight = -12;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  ::lstrcpynW(lf.lfFaceName, L"Segoe UI", LF_FACESIZE);
  normal_font_.Reset(::CreateFontIndirectW(&lf));
  lf.lfWeight = FW_BOLD;
  bold_font_.Reset(::CreateFontIndirectW(&lf));
  ::SendDlgItemMessageW(hwnd_, main_ids::kCaptionText, WM_SETFONT,
                        reinterpret_cast<WPARAM>(normal_font_.Get()), FALSE);

  close_button_.Create(hwnd_, cmd::kCaptionClose, IDP_CAPTION_CLOSE, layout.close_button.left,
                       layout.close_button.top);
  maximize_button_.Create(hwnd_, cmd::kCaptionMaximize,
                          ::IsZoomed(hwnd_) ? IDP_CAPTION_RESTORE : IDP_CAPTION_MAXIMIZE,
                          layout.maximize_button.left, layout.maximize_button.top);
  minimize_button_.Create(hwnd_, cmd::kCaptionMinimize, IDP_CAPTION_MINIMIZE,
                          layout.minimize_button.left, layout.minimize_button.top);
  fullscreen_button_.Create(hwnd_, cmd::kCaptionFullScreen, IDP_CAPTION_FULLSCREEN,
                            layout.fullscreen_button.left, layout.fullscreen_button.top);

  ::SetWindowLongW(hwnd_, GWL_STYLE, ::GetWindowLongW(hwnd_, GWL_STYLE) & ~WS_CAPTION);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  CIPCMessageMgr& channel = CIPCMessageMgr::Instance();
  channel.Connect();
  channel.AddListener(this);
  LayoutChildren();

  ::SetForegroundWindow(hwnd_);
  ::SetTimer(hwnd_, main_ids::kTimerStartTray, 1000, nullptr);
  ::SetTimer(hwnd_, main_ids::kTimerStartSource, 1000, nullptr);

  config.quickIndex = bridge::GetQuickIndexState();
  return TRUE;
}

void CTolvaneDlg::OnCancel() {
  if (IsFullScreen()) {
    ::SendMessageW(hwnd_, WM_COMMAND, cmd::kFullScreen, 0);
    return;
  }
  // Closing by Escape is a close like any other: the exit-completely step must run too.
  OnClose();
}

bool CTolvaneDlg::PreTranslateMessage(MSG* m) {
  if (accelerators_ == nullptr) {
    accelerators_ =
        ::LoadAcceleratorsW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  }
  if (accelerators_ && hwnd_ && ::TranslateAcceleratorW(hwnd_, accelerators_, m)) return true;
  if (m->message == WM_CHAR) return true;
  if (m->message == WM_MOUSEWHEEL) {
    HWND view = ImageViewWindow();
    if (view && m->hwnd != view && m->hwnd != hwnd_ && ::GetParent(m->hwnd) == hwnd_) {
      ::SendMessageW(view, WM_MOUSEWHEEL, m->wParam, m->lParam);
      return true;
    }
  }
  if (quit_message_ != 0 && m->message == quit_message_) {
    // The settings, default-viewer, about and conversion dialogs close here once they exist.
    EndDialog(IDCANCEL);
    return true;
  }
  return CDialog::PreTranslateMessage(m);
}

LRESULT CTolvaneDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) <= 1 && LOWORD(wparam) != IDOK && LOWORD(wparam) != IDCANCEL &&
          OnCommand(LOWORD(wparam))) {
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_SIZE:
      OnSize(static_cast<UINT>(wparam));
      return 0;
    case WM_MOVE:
      toolbar_.MoveInfoPanel();
      break;
    case WM_GETMINMAXINFO: {
      HMONITOR monitor = ::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST);
      MONITORINFO mi = {};
      mi.cbSize = sizeof(mi);
      RECT work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
      if (monitor && ::GetMonitorInfoW(monitor, &mi)) {
        work = mi.rcWork;
      } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      }
      ApplyMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lparam), work);
      return 0;
    }
    case WM_NCHITTEST: {
      POINT pt = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      ::ScreenToClient(hwnd_, &pt);
      RECT client;
      ::GetClientRect(hwnd_, &client);
      if (IsCaptionDragPoint(pt, client.right, client.bottom, IsFullScreen())) return HTCAPTION;
      break;
    }
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_TIMER:
      OnTimer(wparam);
      return 0;
    case WM_COPYDATA:
      return OnCopyData(reinterpret_cast<HWND>(wparam),
                        reinterpret_cast<const COPYDATASTRUCT*>(lparam));
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      StartClosingSequence();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      break;
    case msg::kPlaceCaptionText:
      OnPlaceCaptionText(static_cast<int>(wparam), static_cast<int>(lparam));
      return 0;
    case msg::kOpenFirstImage: {
      const std::wstring path = CCommandLine::Instance().GetFilePath();
      // An empty path shows the welcome screen.
      OpenImageFile(path);
      // The association thread starts here once the association module exists.
      return 0;
    }
    case msg::kOpenHandedOver: {
      const auto* path = reinterpret_cast<const wchar_t*>(wparam);
      ComeToForeground();
      if (path) OpenImageFile(path);
      return 0;
    }
    case msg::kRepaint:
      ::InvalidateRect(hwnd_, nullptr, TRUE);
      if (ImageViewWindow()) ::InvalidateRect(ImageViewWindow(), nullptr, FALSE);
      return 0;
    case WM_ENTERSIZEMOVE:
      image_view_.OnEnterSizeMove();
      break;
    case WM_EXITSIZEMOVE:
      image_view_.OnExitSizeMove();
      break;
    case WM_MOUSEWHEEL:
      // A wheel turn that reached the frame itself acts on the image too.
      if (ImageViewWindow()) return ::SendMessageW(ImageViewWindow(), message, wparam, lparam);
      break;
    case msg::kMenuClosed:
      switch (wparam) {
        case cmd::kOpen:
        case cmd::kTopmost:
        case cmd::kWheelPages:
        case cmd::kWheelZoom:
        case cmd::kSettings:
        case cmd::kAbout:
        case cmd::kFeedback:
        case cmd::kDefaultViewer:
          OnCommand(static_cast<UINT>(wparam));
          break;
        default:
          break;
      }
      return 0;
    case msg::kQuickIndexChanged: {
      const int state = static_cast<int>(lparam);
      bridge::SetQuickIndexState(state);
      CIPCMessageMgr::Instance().SendToTray(CIPCMessageMgr::kQuickIndex, state != 0 ? 1 : 0);
      return 0;
    }
    case msg::kOfferDefaultViewer:
    case msg::kApplyDefaultViewer:
    case msg::kFeedbackClosed:
    case msg::kResizeDone:
    case msg::kLockscreenSettings:
      // Their dialogs and modules join later; until then the requests change nothing.
      return 0;
    default:
      if (quit_message_ != 0 && message == quit_message_) {
        EndDialog(IDCANCEL);
        return 0;
      }
      break;
  }
  return CDialog::WindowProc(message, wparam, lparam);
}

bool CTolvaneDlg::OnCommand(UINT id) {
  CAppConfig& config = CAppConfig::Instance();
  switch (id) {
    case cmd::kCaptionClose:
      StartClosingSequence();
      return true;
    case cmd::kCaptionMaximize:
      ::SendMessageW(hwnd_, WM_SYSCOMMAND, ::IsZoomed(hwnd_) ? SC_RESTORE : SC_MAXIMIZE, 0);
      return true;
    case cmd::kCaptionMinimize:
      ::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      return true;
    case cmd::kCaptionFullScreen:
    case cmd::kFullScreen:
      ToggleFullScreen();
      return true;
    case cmd::kTopmost:
      ::SetWindowPos(hwnd_, IsTopmost(hwnd_) ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      return true;
    case cmd::kWheelPages:
    case cmd::kWheelZoom:
      config.mouseWheelAction = id == cmd::kWheelZoom ? 1 : 0;
      config.showWheelFavorite = 0;
      return true;
    case cmd::kToolbarTop:
    case cmd::kToolbarBottom:
      config.toolbarDock = id == cmd::kToolbarBottom ? 1 : 0;
      LayoutChildren();
      ::InvalidateRect(hwnd_, nullptr, TRUE);
      return true;
    case cmd::kRedrawView:
      if (ImageViewWindow()) ::InvalidateRect(ImageViewWindow(), nullptr, FALSE);
      return true;
    case cmd::kFitOrActual:
      image_view_.CloseContextMenu();
      image_view_.ToggleFitActual();
      return true;
    case cmd::kZoomIn:
    case cmd::kZoomOut:
      image_view_.ZoomStep(id == cmd::kZoomIn);
      return true;
    case cmd::kPrevious:
    case cmd::kNext:
      OpenNeighbour(id == cmd::kNext ? 1 : -1);
      return true;
    case cmd::kRotateLeft:
    case cmd::kRotateRight:
      image_view_.Rotate(id == cmd::kRotateRight);
      if (const auto loader = CurrentDocument::Instance().GetLoader()) {
        const SIZE size = loader->GetSize();
        title_info_.SetSize(size.cx, size.cy);
      }
      return true;
    case cmd::kScrollUp:
    case cmd::kScrollDown:
      image_view_.ScrollPage(id);
      return true;
    case cmd::kNothing:
      return true;
    case cmd::kInfoPanel:
      toolbar_.ToggleInfoPanel();
      return true;
    case cmd::kEnhance:
      toolbar_.ToggleEffectWindow();
      return true;
    case cmd::kMainMenu:
      menubar_.OpenMainMenu();
      return true;
    case cmd::kShowOnMap:
    case cmd::kResize:
    case cmd::kDelete:
    case cmd::kConvert:
    case cmd::kOpen:
    case cmd::kSaveAs:
    case cmd::kCopy:
    case cmd::kShowInFolder:
    case cmd::kPrint:
    case cmd::kWallpaper:
    case cmd::kSettings:
    case cmd::kAbout:
    case cmd::kOpenWith:
    case cmd::kFeedback:
    case cmd::kDefaultViewer:
      OnCommandNotBuilt(id);
      return true;
    default:
      return false;
  }
}

void CTolvaneDlg::OnCommandNotBuilt(UINT id) {
  // The dialogs and menus take these over as they are built; none of them does anything
  // visible before its part exists, so the log is the only trace of the request.
  LUMORA_LOG_I("command " << id << " has no handler yet");
}

LRESULT CTolvaneDlg::OnCopyData(HWND, const COPYDATASTRUCT* data) {
  if (closing_) return 0;
  if (!data) return 0;
  if (data->dwData != kOpenRequestTag) return CDialog::DefWindowProc(WM_COPYDATA, 0, 0);
  std::wstring text;
  if (!data->lpData || !ReadCopyDataText(data, &text)) return 0;

  CCommandLine request;
  request.Parse(text);
  if (request.HasSwitch(L"setting")) {
    BringToTop();
    ::PostMessageW(hwnd_, WM_COMMAND, cmd::kSettings, 0);
    return 1;
  }
  if (!request.HasSwitch(L"show-existing")) {
    if (request.HasSwitch(L"LockscreenSet")) {
      LUMORA_LOG_I(L"Post LockscreenSet");
      ::PostMessageW(hwnd_, msg::kLockscreenSettings, 0, 0);
      return 1;
    }
    if (!text.empty() && ::PathFileExistsW(text.c_str())) {
      ::SendMessageW(hwnd_, msg::kOpenHandedOver, reinterpret_cast<WPARAM>(text.c_str()), 0);
      return 1;
    }
  }
  if (::IsIconic(hwnd_)) {
    ::ShowWindow(hwnd_, SW_RESTORE);
  } else {
    BringToTop();
  }
  return 1;
}

void CTolvaneDlg::BringToTop() {
  // A window the user made topmost stays topmost.
  const bool topmost = IsTopmost(hwnd_);
  ::SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  if (!topmost) ::SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void CTolvaneDlg::ComeToForeground() {
  if (::IsIconic(hwnd_)) ::ShowWindow(hwnd_, SW_RESTORE);
  HWND foreground = ::GetForegroundWindow();
  const DWORD own_thread = ::GetCurrentThreadId();
  const DWORD foreground_thread =
      foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : own_thread;
  const bool attach = foreground_thread != own_thread &&
                      ::AttachThreadInput(own_thread, foreground_thread, TRUE) != FALSE;
  ::BringWindowToTop(hwnd_);
  ::SetForegroundWindow(hwnd_);
  if (attach) ::AttachThreadInput(own_thread, foreground_thread, FALSE);
}

MainViewContext CTolvaneDlg::MakeViewContext() {
  MainViewContext context;
  context.document = &CurrentDocument::Instance();
  context.folder = folder_list_.get();
  context.cache = &CSystemCache::Instance();
  context.canvas_color = [] { return CAppConfig::Instance().canvasBackColor; };
  context.view_margin = [] {
    const CAppConfig& config = CAppConfig::Instance();
    return config.toolbarDock != 0 ? 0 : config.viewMargin;
  };
  context.wheel_action = [](bool reread) {
    CAppConfig& config = CAppConfig::Instance();
    if (reread) config.LoadWheelSettings();
    return config.mouseWheelAction;
  };
  context.folder_loop = [] { return CAppConfig::Instance().viewFolderLoop != 0; };
  context.refresh_status = [this] { title_info_.Refresh(); };
  // Half a percent up so that the float ratio truncates back to the same percentage.
  context.set_zoom_text = [this](int percent) { title_info_.SetZoom((percent + 0.5f) / 100.0f); };
  folder_list_->SetPositionHandler(
      [this](int index, int count) { title_info_.SetPosition(index, count); });
  folder_list_->SetListHandler(
      [](const std::wstring& folder, int index, const std::deque<std::wstring>& names) {
        if (CAppConfig::Instance().preloadEnable != 0) {
          CSystemCache::Instance().Preload(folder, index, names);
        }
      });
  return context;
}

void CTolvaneDlg::ApplyViewSettings() {
  const CAppConfig& config = CAppConfig::Instance();
  image::LoaderOptions options;
  options.orientation_by_tag = config.orientationByTag != 0;
  CurrentDocument& document = CurrentDocument::Instance();
  document.SetLoaderOptions(options);
  document.SetTitleInfoSink([this](const std::wstring& path, const std::wstring& date, SIZE size) {
    title_info_.SetImageInfo(path, date, size.cx, size.cy);
  });
  image::RenderSettings render = image::GetRenderSettings();
  render.ignore_embedded_icc = config.ignoreEmbeddedIcc != 0;
  render.canvas_color = config.canvasBackColor;
  image::SetRenderSettings(render);
  view_render::ViewSettings view;
  view.max_zoom_ratio = config.maxZoomRatio;
  view.double_click_action = config.doubleClickAction;
  view.long_image_mode = config.longImageMode != 0;
  view.hardware_zoom = config.hardwareZoom != 0;
  view.preload_enable = config.preloadEnable != 0;
  view_render::SetViewSettings(view);
}

void CTolvaneDlg::OpenImageFile(const std::wstring& path) {
  ApplyViewSettings();
  CurrentDocument::Instance().Open(path);
  image_view_.ShowCurrentImage();
}

void CTolvaneDlg::OpenNeighbour(int delta) {
  const std::wstring path =
      folder_list_->GetNeighbourPath(delta, CAppConfig::Instance().viewFolderLoop != 0);
  if (path.empty()) return;
  CSystemCache::Instance().SetDirection(delta > 0 ? CSystemCache::kForward
                                                  : CSystemCache::kBackward);
  OpenImageFile(path);
}

void CTolvaneDlg::OnTimer(UINT_PTR id) {
  switch (id) {
    case main_ids::kTimerExitGuard:
      ::exit(0);
    case main_ids::kTimerStartTray:
      ::KillTimer(hwnd_, id);
      if (!tray::IsTrayRunning()) tray::StartTray(basic_lib::GetExeFolder(), L" --from=main");
      break;
    case main_ids::kTimerStartSource: {
      ::KillTimer(hwnd_, id);
      std::wstring from;
      CCommandLine::Instance().GetSwitchValue(L"from", &from);
      bridge::SendStartSource(from);
      break;
    }
    case main_ids::kTimerSizeSettled:
      ::KillTimer(hwnd_, id);
      break;
    default:
      break;
  }
}

void CTolvaneDlg::OnSize(UINT type) {
  if (type == SIZE_MINIMIZED) return;
  RECT window;
  ::GetWindowRect(hwnd_, &window);
  ::SetWindowRgn(
      hwnd_, ::CreateRectRgn(0, 0, window.right - window.left, window.bottom - window.top), TRUE);
  UpdateMaximizeButton();
  LayoutChildren();
  toolbar_.MoveInfoPanel();
  ::InvalidateRect(hwnd_, nullptr, TRUE);
  ::SetTimer(hwnd_, main_ids::kTimerSizeSettled, 50, nullptr);
}

void CTolvaneDlg::UpdateMaximizeButton() {
  if (!maximize_button_.GetSafeHwnd()) return;
  const UINT wanted = ::IsZoomed(hwnd_) ? IDP_CAPTION_RESTORE : IDP_CAPTION_MAXIMIZE;
  if (maximize_button_.StripId() != wanted) maximize_button_.LoadStrip(wanted);
}

void CTolvaneDlg::LayoutChildren() {
  if (!hwnd_) return;
  RECT client;
  ::GetClientRect(hwnd_, &client);
  const MainLayout layout = ComputeMainLayout(
      client.right, client.bottom, CAppConfig::Instance().toolbarDock != 0, IsFullScreen());
  MoveChild(close_button_.GetSafeHwnd(), layout.close_button);
  MoveChild(maximize_button_.GetSafeHwnd(), layout.maximize_button);
  MoveChild(minimize_button_.GetSafeHwnd(), layout.minimize_button);
  MoveChild(fullscreen_button_.GetSafeHwnd(), layout.fullscreen_button);
  MoveChild(menubar_.GetSafeHwnd(), layout.menubar_button);
  logo_.SetLogoMode(logo_.IsFullMode());
  MoveChild(toolbar_.GetSafeHwnd(), layout.toolbar);
  MoveChild(image_view_.GetSafeHwnd(), layout.view);
  image_view_.OnParentSized();
}

void CTolvaneDlg::OnPaint() {
  framework::CPaintDC paint(hwnd_);
  RECT client;
  ::GetClientRect(hwnd_, &client);
  ::FillRect(paint.Get(), &client, background_brush_.Get());
  ::FrameRect(paint.Get(), &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

LRESULT CTolvaneDlg::OnCtlColorStatic(HDC dc, HWND control) {
  if (::GetDlgCtrlID(control) == static_cast<int>(main_ids::kCaptionText)) {
    ::SetTextColor(dc, kCaptionTextColor);
    ::SetBkColor(dc, kCaptionBack);
    return reinterpret_cast<LRESULT>(background_brush_.Get());
  }
  ::SetTextColor(dc, RGB(0, 0, 0));
  ::SetBkColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
}

void CTolvaneDlg::OnDropFiles(HDROP drop) {
  wchar_t path[MAX_PATH] = {};
  // A longer name would arrive cut short and name another file: ignore it.
  const UINT needed = ::DragQueryFileW(drop, 0, nullptr, 0);
  const bool usable = needed > 0 && needed < MAX_PATH && ::DragQueryFileW(drop, 0, path, MAX_PATH);
  ::DragFinish(drop);
  if (usable && IsViewableFormat(GetImageFormat(path))) OpenImageFile(path);
}

void CTolvaneDlg::OnPlaceCaptionText(int width, int height) {
  logo_.SetLogoMode(CurrentDocument::Instance().GetPath().empty());
  HWND caption = ::GetDlgItem(hwnd_, main_ids::kCaptionText);
  if (!caption) return;
  RECT logo = ComputeMainLayout(0, 0, true, false).logo;
  ::SetWindowPos(caption, nullptr, logo.right + 10, 5, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CTolvaneDlg::OnMessageReceived(const IPC::Message& message) {
  // The quit request of the tray program; a second one while closing changes nothing.
  if (message.type() == CIPCMessageMgr::kExit && !closing_ && hwnd_) StartClosingSequence();
}

int CTolvaneDlg::GetRoutingId() { return CIPCMessageMgr::kViewerRoutingId; }

void CTolvaneDlg::OnPeerLost(bool) {}

void CTolvaneDlg::StartClosingSequence() {
  closing_ = true;
  if (quit_message_ != 0) ::PostMessageW(hwnd_, quit_message_, 0, 0);
  ::SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  if (::IsWindow(hwnd_)) ::SetTimer(hwnd_, main_ids::kTimerExitGuard, 1000, nullptr);
}

void CTolvaneDlg::OnClose() {
  // The settings, default-viewer and about dialogs, the feedback dialog and the wheel-choice
  // dialog are closed here once they exist.
  EndDialog(IDCANCEL);
  if (CAppConfig::Instance().completelyExit == 1) ExitCompletely();
}

void CTolvaneDlg::ExitCompletely() {
  basic_lib::ScopedKernelHandle mutex(::CreateMutexW(nullptr, FALSE, tray::kMainExitMutex));
  DWORD wait = WAIT_FAILED;
  if (mutex) wait = ::WaitForSingleObject(mutex.Get(), 10000);
  if (!tray::OtherMainWindowExists()) {
    CIPCMessageMgr::Instance().SendToTray(CIPCMessageMgr::kExit);
    tray::TerminateProcessesAt(basic_lib::GetExeFolder() + tray::kTrayFileName);
  }
  if (mutex && (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)) ::ReleaseMutex(mutex.Get());
}

void CTolvaneDlg::ToggleFullScreen() {
  if (IsFullScreen()) {
    LeaveFullScreen();
  } else {
    RECT rect;
    ::GetWindowRect(hwnd_, &rect);
    saved_rect_ = rect;
    ::ShowWindow(maximize_button_.GetSafeHwnd(), SW_HIDE);
    ::ShowWindow(minimize_button_.GetSafeHwnd(), SW_HIDE);
    ::ShowWindow(menubar_.GetSafeHwnd(), SW_HIDE);
    const LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
    ::SetWindowLongW(hwnd_, GWL_STYLE, (style & ~WS_THICKFRAME) | WS_POPUP);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                   ::GetSystemMetrics(SM_CYSCREEN), SWP_NOZORDER | SWP_FRAMECHANGED);
  }
  fullscreen_button_.SetMarked(IsFullScreen());
  // The toolbar learns the new state here once it exists.
  LayoutChildren();
  ::UpdateWindow(hwnd_);
}

void CTolvaneDlg::LeaveFullScreen() {
  if (!saved_rect_) return;
  const RECT rect = *saved_rect_;
  saved_rect_.reset();
  const LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
  ::SetWindowLongW(hwnd_, GWL_STYLE, style | WS_THICKFRAME);
  ::SetWindowPos(hwnd_, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_FRAMECHANGED);
  ::ShowWindow(maximize_button_.GetSafeHwnd(), SW_SHOW);
  ::ShowWindow(minimize_button_.GetSafeHwnd(), SW_SHOW);
  ::ShowWindow(menubar_.GetSafeHwnd(), SW_SHOW);
}

void CTolvaneDlg::OnDestroy() {
  // Store the windowed rectangle, not the screen-sized one.
  if (IsFullScreen()) LeaveFullScreen();
  CAppConfig& config = CAppConfig::Instance();
  config.StoreWindowPlacement(hwnd_);
  config.Save();
  CIPCMessageMgr& channel = CIPCMessageMgr::Instance();
  channel.RemoveListener(this);
  channel.Disconnect();
  image_view_.DestroyWindow();
  folder_list_->Stop();
  CurrentDocument::Instance().Close();
}
