#include "wnd_main_toolbar/wnd_main_toolbar.h"

#include <shlwapi.h>
#include <wincodec.h>

#include <utility>

#include "app/app_config.h"
#include "document/current_document.h"
#include "folder/current_folder_image.h"
#include "service_bridge/service_bridge.h"
#include "widget_window/interface_image.h"

using wnd_main_toolbar::CToolbarButton;

namespace wnd_main_toolbar {
namespace {

// Command ids of the buttons (the main window's command map).
constexpr int kInfoPanel = 20000;
constexpr int kShowOnMap = 20001;
constexpr int kFitOrActual = 20002;
constexpr int kZoomIn = 20003;
constexpr int kZoomOut = 20004;
constexpr int kPrevious = 20005;
constexpr int kNext = 20006;
constexpr int kRotateLeft = 20007;
constexpr int kRotateRight = 20008;
constexpr int kDelete = 20009;
constexpr int kResize = 20010;
constexpr int kEnhance = 20011;
constexpr int kConvert = 20014;
constexpr UINT kRedrawView = 21802;

constexpr int kFitColumn = 0;
constexpr int kActualColumn = 12;
constexpr int kLastEnhancement = 3;

struct ButtonSpec {
  int id;
  int column;
  const wchar_t* key;
  int group;
};

// Creation order is item order: it decides the places within each group.
constexpr ButtonSpec kButtons[] = {
    {kFitOrActual, kFitColumn, L"3", kGroupCentre},
    {kResize, 8, L"12", kGroupCentre},
    {kZoomIn, 1, L"5", kGroupCentre},
    {kZoomOut, 2, L"6", kGroupCentre},
    {kPrevious, 3, L"7", kGroupCentre},
    {kNext, 4, L"8", kGroupCentre},
    {kRotateLeft, 5, L"9", kGroupCentre},
    {kRotateRight, 6, L"10", kGroupCentre},
    {kDelete, 7, L"11", kGroupCentre},
    {kEnhance, 9, L"13", kGroupCentre},
    {kInfoPanel, 10, L"1", kGroupRight},
    {kShowOnMap, 11, L"2", kGroupLeft},
    {kConvert, 13, L"18", kGroupCentre},
};

bool IsAnimatedGif(IWICBitmapDecoder* decoder) {
  if (!decoder) return false;
  GUID container = {};
  UINT frames = 0;
  return SUCCEEDED(decoder->GetContainerFormat(&container)) &&
         container == GUID_ContainerFormatGif && SUCCEEDED(decoder->GetFrameCount(&frames)) &&
         frames >= 2;
}

}  // namespace

ToolbarImageState CCurrentImageSource::GetImageState() {
  ToolbarImageState state;
  const CurrentDocument& document = CurrentDocument::Instance();
  const std::wstring& path = document.GetPath();
  state.file_exists = !path.empty() && ::PathFileExistsW(path.c_str());
  const std::shared_ptr<CWICImageLoader> loader = document.GetLoader();
  if (loader && loader->GetSource()) {
    state.decoded = true;
    state.has_location = !loader->GetInfo().gps.empty();
    state.animated_gif = IsAnimatedGif(loader->GetDecoder());
  }
  return state;
}

bool CCurrentImageSource::CanMove(int delta) {
  return folder_list_ && folder_list_->CanMove(delta, CAppConfig::Instance().viewFolderLoop != 0);
}

StatReporter DefaultStatReporter() {
  return [](const std::wstring& category, const std::wstring& event) {
    // The main window loads the bridge at start; without it there is nothing to report to.
    service_bridge::CServiceBridge& bridge = service_bridge::CServiceBridge::Instance();
    if (bridge.IsLoaded()) bridge.SendStatUrl(category, event);
  };
}

}  // namespace wnd_main_toolbar

WndMainToolbar::WndMainToolbar()
    : sprite_(std::make_shared<FCObjImage>()),
      image_source_(std::make_unique<wnd_main_toolbar::CCurrentImageSource>()),
      default_source_(static_cast<wnd_main_toolbar::CCurrentImageSource*>(image_source_.get())),
      text_(wnd_main_toolbar::DefaultToolbarText()),
      stat_(wnd_main_toolbar::DefaultStatReporter()) {
  for (const auto& entry : wnd_main_toolbar::kButtons) {
    auto button = std::make_unique<CToolbarButton>(entry.id, entry.column, entry.group, sprite_);
    button->tooltip = text_(entry.key);
    if (entry.id == wnd_main_toolbar::kEnhance) button->SetEnabled(false);
    AddItem(std::move(button));
  }
  SetLayout(std::make_unique<wnd_main_toolbar::CToolbarButtonLayout>());
}

WndMainToolbar::~WndMainToolbar() {
  // The popups are owned windows of ours; close them before the toolbar goes.
  info_panel_.reset();
  effect_window_.reset();
}

bool WndMainToolbar::Create(HWND parent, UINT id, const RECT& rect) {
  if (!sprite_->IsValid()) widget_window::LoadInterfaceImage(L"toolbar.png", sprite_.get());
  return wnd_main_toolbar::CreateWidgetChild(this, parent, id, rect);
}

void WndMainToolbar::SetImageSource(std::unique_ptr<wnd_main_toolbar::IToolbarImageSource> source) {
  if (!source) return;
  image_source_ = std::move(source);
  default_source_ = nullptr;
}

void WndMainToolbar::SetTextLookup(wnd_main_toolbar::TextLookup lookup) {
  if (!lookup) return;
  text_ = std::move(lookup);
  for (const auto& entry : wnd_main_toolbar::kButtons) {
    if (entry.id != wnd_main_toolbar::kFitOrActual) SetButtonTip(entry.id, entry.key);
  }
  CToolbarButton* fit = Button(wnd_main_toolbar::kFitOrActual);
  SetButtonTip(wnd_main_toolbar::kFitOrActual,
               fit && fit->column == wnd_main_toolbar::kActualColumn ? L"4" : L"3");
  RebuildToolTips();
}

CAppConfig& WndMainToolbar::Config() const { return config_ ? *config_ : CAppConfig::Instance(); }

CToolbarButton* WndMainToolbar::Button(int id) const {
  return static_cast<CToolbarButton*>(FindItem(id));
}

void WndMainToolbar::SetButtonTip(int id, const wchar_t* key) {
  if (CToolbarButton* button = Button(id)) button->tooltip = text_(key);
}

void WndMainToolbar::EnableButton(int id, bool enabled) {
  if (CToolbarButton* button = Button(id)) button->SetEnabled(enabled);
}

void WndMainToolbar::SetLatched(int id, bool latched) {
  if (CToolbarButton* button = Button(id)) button->SetState(CWidgetItem::kStateLatched, latched);
}

RECT WndMainToolbar::ButtonScreenRect(int id) const {
  RECT rect = {0, 0, 0, 0};
  if (CToolbarButton* button = Button(id)) rect = button->rect;
  if (hwnd_) ::MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void WndMainToolbar::PostToMainWindow(UINT command) {
  if (HWND parent = hwnd_ ? ::GetParent(hwnd_) : nullptr) {
    ::PostMessageW(parent, WM_COMMAND, command, 0);
  }
}

void WndMainToolbar::DrawBackground(HDC dc, const RECT& area) {
  wnd_main_toolbar::FillToolbarBackground(dc, area);
}

void WndMainToolbar::OnItemClick(CWidgetItem* item) {
  if (!item) return;
  const int id = item->id;
  if (id == wnd_main_toolbar::kFitOrActual) ToggleFitButton();
  PostToMainWindow(static_cast<UINT>(id));
}

void WndMainToolbar::OnUIEvent(const CUIEventParam* event) {
  if (!event) return;
  const int type = event->GetEventType();
  if (type == CUIEventViewImageChanged::StaticType()) {
    UpdateButtons();
  } else if (type == CUIEventViewZoomChanged::StaticType()) {
    const auto* zoom = static_cast<const CUIEventViewZoomChanged*>(event);
    const int wanted = zoom->zoom != zoom->fitZoom ? wnd_main_toolbar::kActualColumn
                                                   : wnd_main_toolbar::kFitColumn;
    CToolbarButton* fit = Button(wnd_main_toolbar::kFitOrActual);
    if (fit && fit->column != wanted) ToggleFitButton();
  } else if (type == CUIEventFolderImageCollected::StaticType()) {
    UpdateNavigation();
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
}

void WndMainToolbar::UpdateButtons() {
  using namespace wnd_main_toolbar;
  const ToolbarImageState image = image_source_->GetImageState();
  EnableButton(kShowOnMap, image.decoded && image.has_location);
  if (CToolbarButton* fit = Button(kFitOrActual)) {
    fit->column = kFitColumn;
    fit->SetEnabled(image.decoded);
  }
  Config().zoomIsFit = 1;
  SetButtonTip(kFitOrActual, L"3");
  EnableButton(kRotateLeft, image.decoded && !image.animated_gif);
  EnableButton(kRotateRight, image.decoded && !image.animated_gif);
  UpdateNavigation();
  for (int id : {kZoomIn, kZoomOut, kResize, kEnhance, kInfoPanel, kConvert}) {
    EnableButton(id, image.decoded);
  }
  EnableButton(kDelete, image.file_exists);
  RebuildToolTips();
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void WndMainToolbar::UpdateNavigation() {
  EnableButton(wnd_main_toolbar::kPrevious, image_source_->CanMove(-1));
  EnableButton(wnd_main_toolbar::kNext, image_source_->CanMove(1));
}

void WndMainToolbar::ToggleFitButton() {
  using namespace wnd_main_toolbar;
  CToolbarButton* fit = Button(kFitOrActual);
  if (!fit) return;
  const int previous = fit->column;
  fit->column = previous == kFitColumn ? kActualColumn : kFitColumn;
  Config().zoomIsFit = previous != kFitColumn ? 1 : 0;
  SetButtonTip(kFitOrActual, fit->column == kActualColumn ? L"4" : L"3");
  RebuildToolTips();
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void WndMainToolbar::ToggleInfoPanel() {
  using namespace wnd_main_toolbar;
  if (info_panel_) {
    SetLatched(kInfoPanel, false);
    info_panel_.reset();
  } else {
    info_panel_.reset();
    // Until the information panel exists no factory is installed and the button stays as it is.
    if (info_panel_factory_) info_panel_ = info_panel_factory_(hwnd_, ButtonScreenRect(kInfoPanel));
    SetLatched(kInfoPanel, info_panel_ != nullptr);
  }
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void WndMainToolbar::MoveInfoPanel() {
  if (info_panel_) info_panel_->MoveTo(ButtonScreenRect(wnd_main_toolbar::kInfoPanel));
}

void WndMainToolbar::ToggleEffectWindow() {
  using namespace wnd_main_toolbar;
  CToolbarButton* button = Button(kEnhance);
  if (button && button->HasState(CWidgetItem::kStateLatched)) {
    Config().viewEnhancement = 0;
    button->SetState(CWidgetItem::kStateLatched, false);
    // An open effect window goes too, or it would report a choice the user just undid.
    effect_window_.reset();
    PostToMainWindow(kRedrawView);
  } else {
    effect_window_.reset();
    // Until the effect window exists no factory is installed and the button stays as it is.
    if (effect_factory_) effect_window_ = effect_factory_(hwnd_, ButtonScreenRect(kEnhance));
    SetLatched(kEnhance, effect_window_ != nullptr);
  }
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
  if (stat_) stat_(L"feature", L"enhance");
}

void WndMainToolbar::OnEffectWindowClosed(WPARAM code) {
  using namespace wnd_main_toolbar;
  if (!effect_window_) return;
  // Only the known enhancement codes reach the renderer.
  const int enhancement =
      code <= static_cast<WPARAM>(kLastEnhancement) ? static_cast<int>(code) : 0;
  Config().viewEnhancement = enhancement;
  SetLatched(kEnhance, enhancement != 0);
  if (enhancement != 0) PostToMainWindow(kRedrawView);
  effect_window_.reset();
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT WndMainToolbar::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_EFFECT_WND_CLOSED) {
    OnEffectWindowClosed(wparam);
    return 0;
  }
  return CWidgetWindow::WindowProc(msg, wparam, lparam);
}
