#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "widget_window/ui_event.h"
#include "widget_window/widget_window.h"
#include "wnd_main_toolbar/toolbar_button.h"

class CAppConfig;
class CCurrentFolderImage;

// Sent by the effect window when it closes; wParam is the chosen enhancement (0 none).
constexpr UINT WM_EFFECT_WND_CLOSED = 0x81FD;

namespace wnd_main_toolbar {

// What the toolbar's enable rules need to know about the image on screen.
struct ToolbarImageState {
  bool decoded = false;       // the current document holds a decoded image
  bool has_location = false;  // its metadata carries a location
  bool animated_gif = false;  // a GIF container with two or more frames
  bool file_exists = false;   // the current path names an existing file
};

class IToolbarImageSource {
 public:
  virtual ~IToolbarImageSource() = default;
  virtual ToolbarImageState GetImageState() = 0;
  // The folder list can move by delta (-1 previous, +1 next).
  virtual bool CanMove(int delta) = 0;
};

// The real source: the current document and the folder list (view_folder_loop applies).
class CCurrentImageSource : public IToolbarImageSource {
 public:
  ToolbarImageState GetImageState() override;
  bool CanMove(int delta) override;
  // The folder list of the shown image; null (the default) allows no move.
  void SetFolderList(const CCurrentFolderImage* list) { folder_list_ = list; }

 private:
  const CCurrentFolderImage* folder_list_ = nullptr;
};

// Usage statistics: (category, event).
using StatReporter = std::function<void(const std::wstring&, const std::wstring&)>;
StatReporter DefaultStatReporter();

}  // namespace wnd_main_toolbar

// The row of sprite buttons under the caption or at the bottom. Buttons post their command id
// to the main window; the enable rules follow the interface events of the image view.
class WndMainToolbar : public CWidgetWindow, public CUIEventObserver {
 public:
  WndMainToolbar();
  ~WndMainToolbar() override;

  // Loads "toolbar.png" (unless a sprite was given) and creates the child window.
  bool Create(HWND parent, UINT id, const RECT& rect);

  // Seams; the defaults are the real document, texts, statistics and (for now) no popups.
  void SetImageSource(std::unique_ptr<wnd_main_toolbar::IToolbarImageSource> source);
  wnd_main_toolbar::IToolbarImageSource* ImageSource() const { return image_source_.get(); }
  // The folder list the navigation buttons follow (with the default image source).
  void SetFolderList(const CCurrentFolderImage* list) {
    if (default_source_) default_source_->SetFolderList(list);
  }
  void SetTextLookup(wnd_main_toolbar::TextLookup lookup);
  void SetStatReporter(wnd_main_toolbar::StatReporter reporter) { stat_ = std::move(reporter); }
  void SetInfoPanelFactory(wnd_main_toolbar::PopupFactory factory) {
    info_panel_factory_ = std::move(factory);
  }
  void SetEffectWindowFactory(wnd_main_toolbar::PopupFactory factory) {
    effect_factory_ = std::move(factory);
  }
  // The settings object holding zoomIsFit and viewEnhancement; null is the process-wide one.
  void SetConfig(CAppConfig* config) { config_ = config; }
  // The cell sheet shared by every button (tests hand in their own before Create).
  wnd_main_toolbar::SpriteImage Sprite() const { return sprite_; }
  wnd_main_toolbar::CToolbarButton* Button(int id) const;

  void OnItemClick(CWidgetItem* item) override;
  void OnUIEvent(const CUIEventParam* event) override;
  void DrawBackground(HDC dc, const RECT& area) override;

  void UpdateButtons();
  void UpdateNavigation();
  void ToggleFitButton();

  void ToggleInfoPanel();
  void MoveInfoPanel();
  void ToggleEffectWindow();
  bool IsInfoPanelOpen() const { return info_panel_ != nullptr; }
  bool IsEffectWindowOpen() const { return effect_window_ != nullptr; }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void OnEffectWindowClosed(WPARAM code);
  void SetButtonTip(int id, const wchar_t* key);
  void EnableButton(int id, bool enabled);
  void SetLatched(int id, bool latched);
  RECT ButtonScreenRect(int id) const;
  void PostToMainWindow(UINT command);
  CAppConfig& Config() const;

  wnd_main_toolbar::SpriteImage sprite_;
  CAppConfig* config_ = nullptr;
  std::unique_ptr<wnd_main_toolbar::IToolbarImageSource> image_source_;
  wnd_main_toolbar::CCurrentImageSource* default_source_ = nullptr;  // null once replaced
  wnd_main_toolbar::TextLookup text_;
  wnd_main_toolbar::StatReporter stat_;
  wnd_main_toolbar::PopupFactory info_panel_factory_;
  wnd_main_toolbar::PopupFactory effect_factory_;
  std::unique_ptr<wnd_main_toolbar::CAnchoredPopup> info_panel_;
  std::unique_ptr<wnd_main_toolbar::CAnchoredPopup> effect_window_;
};
