#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>

#include "basic_lib/scoped_handle.h"
#include "framework/dialog.h"
#include "framework/png_button.h"
#include "ipc-message/message/channel.h"
#include "wnd_main_toolbar/wnd_main_logo.h"
#include "wnd_main_toolbar/wnd_main_menubar.h"
#include "wnd_main_toolbar/wnd_main_toolbar.h"
#include "main_view/main_image_view.h"
#include "wnd_main_toolbar/title_info.h"

class CCurrentFolderImage;

// A plain child window standing in for a widget window that is not built yet: it fills its
// rectangle with one colour.
class CChildPlaceholder : public framework::CWnd {
 public:
  explicit CChildPlaceholder(COLORREF color) : color_(color) {}
  bool Create(HWND parent, UINT id, const RECT& rect);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  COLORREF color_;
};

// The viewer's main window: a borderless, resizable dialog (template 102) hosting the image view,
// the toolbar, the menu-bar button and the logo, with its own caption buttons. On the tray's
// message channel it listens with routing id 2 and acts on the quit message only.
class CTolvaneDlg : public framework::CDialog, public IChannelListener2 {
 public:
  CTolvaneDlg();
  ~CTolvaneDlg() override;

  // Registers the main window class: a copy of the system dialog class under our name.
  static bool RegisterMainWindowClass();

  bool PreTranslateMessage(MSG* msg) override;

  // IChannelListener2: type 2 runs the closing sequence; every other type is ignored.
  void OnMessageReceived(const IPC::Message& message) override;
  int GetRoutingId() override;
  void OnPeerLost(bool state) override;

  bool IsFullScreen() const { return saved_rect_.has_value(); }
  bool IsClosing() const { return closing_; }
  UINT QuitMessage() const { return quit_message_; }

  // Child windows (placeholders until their modules replace them).
  HWND ImageViewWindow() const { return image_view_.GetSafeHwnd(); }
  HWND ToolbarWindow() const { return toolbar_.GetSafeHwnd(); }
  HWND MenubarWindow() const { return menubar_.GetSafeHwnd(); }
  HWND LogoWindow() const { return logo_.GetSafeHwnd(); }

  // Recomputes the child and caption-button rectangles for the current client size.
  void LayoutChildren();

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override;
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  // Runs a command id (accelerators, buttons, menus); false for an id nobody handles.
  bool OnCommand(UINT id);
  // Commands whose work belongs to a part of the program that is not built yet.
  void OnCommandNotBuilt(UINT id);
  LRESULT OnCopyData(HWND sender, const COPYDATASTRUCT* data);
  void OnTimer(UINT_PTR id);
  void OnSize(UINT type);
  void OnPaint();
  LRESULT OnCtlColorStatic(HDC dc, HWND control);
  void OnDropFiles(HDROP drop);
  void OnClose();
  void OnDestroy();
  void OnPlaceCaptionText(int width, int height);

  void StartClosingSequence();
  void ExitCompletely();
  void ToggleFullScreen();
  void LeaveFullScreen();
  void BringToTop();
  void ComeToForeground();
  // Opens a picture as the current document (the document module plugs in here).
  void OpenImageFile(const std::wstring& path);
  // Previous (-1) or next (+1) image of the folder list.
  void OpenNeighbour(int delta);
  // Hands the settings the document and the renderer read over to them.
  void ApplyViewSettings();
  MainViewContext MakeViewContext();
  void UpdateMaximizeButton();

  std::unique_ptr<CCurrentFolderImage> folder_list_;
  TitleInfo title_info_;
  WndMainImageView image_view_;
  WndMainToolbar toolbar_;
  WndMainMenubar menubar_;
  WndMainLogo logo_;
  HACCEL accelerators_ = nullptr;
  basic_lib::ScopedBrush background_brush_;
  basic_lib::ScopedFont normal_font_;
  basic_lib::ScopedFont bold_font_;
  framework::CPngButton close_button_;
  framework::CPngButton maximize_button_;
  framework::CPngButton minimize_button_;
  framework::CPngButton fullscreen_button_;
  bool closing_ = false;
  UINT quit_message_ = 0;
  std::optional<RECT> saved_rect_;
};
