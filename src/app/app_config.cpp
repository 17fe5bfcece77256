#include "app/app_config.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "app/app_folders.h"
#include "basic_lib/ini_file.h"
#include "basic_lib/path_util.h"
#include "basic_lib/singleton.h"
#include "basic_lib/string_util.h"
#include "lang/language.h"
#include "log/my_log.h"

namespace {
constexpr wchar_t kApp[] = L"app";
constexpr wchar_t kLockscreen[] = L"lockscreen";
constexpr int kMinPlacedWidth = 700;
constexpr int kMinPlacedHeight = 500;

// The low 32 bits of the stored 64-bit number, as a signed value.
int Low32(int64_t value) { return static_cast<int>(static_cast<uint32_t>(value)); }

bool DefaultOpenUrl(const std::wstring& url) {
  HINSTANCE rc = ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(rc) > 32;
}

// One degree value: a plain decimal number, nothing else around it but blanks.
bool ParseDegrees(const std::wstring& text, double limit, double* value) {
  std::wstring trimmed = text;
  while (!trimmed.empty() && trimmed.front() == L' ') trimmed.erase(trimmed.begin());
  while (!trimmed.empty() && trimmed.back() == L' ') trimmed.pop_back();
  if (trimmed.empty() || trimmed.size() > 32) return false;
  for (wchar_t c : trimmed) {
    if (!(c >= L'0' && c <= L'9') && c != L'.' && c != L'-' && c != L'+') return false;
  }
  wchar_t* end = nullptr;
  double v = std::wcstod(trimmed.c_str(), &end);
  if (end != trimmed.c_str() + trimmed.size() || !std::isfinite(v) || std::fabs(v) > limit) {
    return false;
  }
  *value = v;
  return true;
}
}  // namespace

CAppConfig& CAppConfig::Instance() { return basic_lib::CSingletonT<CAppConfig>::Instance(); }
void CAppConfig::DestroyInstance() { basic_lib::CSingletonT<CAppConfig>::Destroy(); }

CAppConfig::CAppConfig() : CAppConfig(app::GetConfigPath(), basic_lib::GetExeFolder()) {
  LoadAtStartup();
}

CAppConfig::CAppConfig(std::wstring config_path, std::wstring exe_folder)
    : config_path_(std::move(config_path)),
      exe_folder_(basic_lib::WithTrailingBackslash(std::move(exe_folder))),
      url_opener_(DefaultOpenUrl) {}

void CAppConfig::LoadAtStartup() {
  Load();
  FixUpLanguage(language_present_);
  background_brush_.Reset(::CreateSolidBrush(canvasBackColor));
}

bool CAppConfig::ReadNumber(const wchar_t* section, const wchar_t* key, int64_t* value) const {
  return basic_lib::ReadIniNumber(config_path_, section, key, value);
}

void CAppConfig::ReadBool(const wchar_t* key, int* field) const {
  int64_t v = 0;
  if (ReadNumber(kApp, key, &v)) *field = v != 0 ? 1 : 0;
}

void CAppConfig::ReadBool(const wchar_t* key, std::atomic<int>* field) const {
  int64_t v = 0;
  if (ReadNumber(kApp, key, &v)) field->store(v != 0 ? 1 : 0);
}

void CAppConfig::ReadClamped(const wchar_t* key, int* field, int low, int high) const {
  int64_t v = 0;
  if (ReadNumber(kApp, key, &v)) *field = std::clamp(Low32(v), low, high);
}

bool CAppConfig::ReadString(const wchar_t* key, std::wstring* value) const {
  return basic_lib::ReadIniString(config_path_, kApp, key, value);
}

void CAppConfig::ReadWheel() {
  ReadBool(L"show_wheel_favorite", &showWheelFavorite);
  int64_t v = 0;
  if (ReadNumber(kApp, L"mouse_wheel_action", &v)) mouseWheelAction = v == 99 ? 99 : (v ? 1 : 0);
  if (showWheelFavorite == 1) mouseWheelAction = 99;
}

void CAppConfig::Load() {
  ReadString(L"last_position", &lastPosition);
  ReadClamped(L"max_zoom_ratio", &maxZoomRatio, 4, 32);
  ReadClamped(L"view_margin", &viewMargin, 0, 64);
  std::wstring color;
  if (ReadString(L"canvas_back_color", &color)) {
    std::vector<std::wstring> parts = basic_lib::SplitSkipEmpty(color, L",");
    if (parts.size() == 3) {
      canvasBackColor =
          RGB(basic_lib::StrToIntValue(parts[0]) & 0xFF, basic_lib::StrToIntValue(parts[1]) & 0xFF,
              basic_lib::StrToIntValue(parts[2]) & 0xFF);
    }
  }
  ReadBool(L"hardware_zoom", &hardwareZoom);
  ReadBool(L"gps_map_vendor", &gpsMapVendor);
  ReadBool(L"toolbar_dock", &toolbarDock);
  language_present_ = ReadString(L"language_id", &languageId);
  ReadBool(L"show_delete_confirm", &showDeleteConfirm);
  ReadWheel();
  ReadBool(L"double_click_action", &doubleClickAction);
  ReadBool(L"view_folder_loop", &viewFolderLoop);
  ReadBool(L"rotate_auto_save", &rotateAutoSave);
  ReadBool(L"long_image_mode", &longImageMode);
  ReadClamped(L"save_jpeg_quality", &saveJpegQuality, 0, 100);
  ReadBool(L"preload_enable", &preloadEnable);
  ReadBool(L"orientation_by_tag", &orientationByTag);
  ReadBool(L"ignore_embedded_icc", &ignoreEmbeddedIcc);
  ReadBool(L"only_one_instance", &onlyOneInstance);
  ReadBool(L"completely_exit", &completelyExit);
  ReadBool(L"set_default_viewer", &setDefaultViewer);
  ReadBool(L"default_viewer_start_tip", &defaultViewerStartTip);
  ReadBool(L"user_set_default_viewer", &userSetDefaultViewer);

  int64_t v = 0;
  bool enable_present = ReadNumber(kLockscreen, L"enable", &v);
  if (enable_present) lockscreenEnable = v == 1 ? 1 : 0;
  int64_t enable_value = v;
  if (ReadNumber(kLockscreen, L"time", &v)) lockscreenTime = Low32(v);
  if (ReadNumber(kLockscreen, L"default_opt_time", &v)) lockscreenDefaultOptTime = Low32(v);
  if (ReadNumber(kLockscreen, L"user_changed_time", &v)) lockscreenUserChangedTime = v ? 1 : 0;
  loadedLockscreenEnable = lockscreenEnable;
  loadedLockscreenTime = lockscreenTime;

  LUMORA_LOG_I("CAppConfig:" << config_path_);
  if (enable_present) LUMORA_LOG_I("CAppConfig enable:" << enable_value);
}

void CAppConfig::LoadWheelSettings() { ReadWheel(); }

void CAppConfig::FixUpLanguage(bool language_was_present) {
  if (!language_was_present) languageId = lang::ChooseLanguageFromLocale();
  // Only a bare file name that exists in the language folder and fits the current-language
  // buffer is taken; anything else runs in English.
  bool usable = basic_lib::ContainsNoCase(languageId, L".ini") &&
                lang::IsValidLanguageFileName(languageId) &&
                basic_lib::FileExists(exe_folder_ + L"lang\\" + languageId);
  lang::SetCurrentLanguageName(usable ? languageId : std::wstring(L"en.ini"));
  languageId = lang::GetCurrentLanguageName();
}

void CAppConfig::WriteNumber(const wchar_t* section, const wchar_t* key, int value) const {
  basic_lib::WriteIniNumber(config_path_, section, key, static_cast<int64_t>(value));
}

void CAppConfig::WriteText(const wchar_t* section, const wchar_t* key,
                           const std::wstring& value) const {
  basic_lib::WriteIniString(config_path_, section, key, value);
}

void CAppConfig::Save() {
  WriteText(kApp, L"last_position", lastPosition);
  WriteNumber(kApp, L"max_zoom_ratio", maxZoomRatio);
  WriteNumber(kApp, L"view_margin", viewMargin);
  WriteText(kApp, L"canvas_back_color",
            basic_lib::FormatW(L"%d,%d,%d", GetRValue(canvasBackColor), GetGValue(canvasBackColor),
                               GetBValue(canvasBackColor)));
  WriteNumber(kApp, L"hardware_zoom", hardwareZoom);
  WriteNumber(kApp, L"gps_map_vendor", gpsMapVendor);
  WriteNumber(kApp, L"toolbar_dock", toolbarDock);
  WriteText(kApp, L"language_id", languageId);
  WriteNumber(kApp, L"show_delete_confirm", showDeleteConfirm);
  WriteNumber(kApp, L"mouse_wheel_action", mouseWheelAction);
  WriteNumber(kApp, L"show_wheel_favorite", showWheelFavorite);
  WriteNumber(kApp, L"double_click_action", doubleClickAction);
  WriteNumber(kApp, L"view_folder_loop", viewFolderLoop);
  WriteNumber(kApp, L"rotate_auto_save", rotateAutoSave);
  WriteNumber(kApp, L"long_image_mode", longImageMode);
  WriteNumber(kApp, L"save_jpeg_quality", saveJpegQuality);
  WriteNumber(kApp, L"preload_enable", preloadEnable);
  WriteNumber(kApp, L"preload_thread", 3);
  WriteNumber(kApp, L"orientation_by_tag", orientationByTag);
  WriteNumber(kApp, L"ignore_embedded_icc", ignoreEmbeddedIcc);
  WriteNumber(kApp, L"only_one_instance", onlyOneInstance);
  WriteNumber(kApp, L"set_default_viewer", setDefaultViewer);
  WriteNumber(kApp, L"default_viewer_start_tip", defaultViewerStartTip);
  WriteNumber(kApp, L"completely_exit", completelyExit);
  WriteNumber(kApp, L"user_set_default_viewer", userSetDefaultViewer);

  int64_t user_changed = 0;
  bool changed_before =
      ReadNumber(kLockscreen, L"user_changed_setting", &user_changed) && user_changed != 0;
  if (changed_before || lockscreenEnable != loadedLockscreenEnable ||
      lockscreenTime != loadedLockscreenTime) {
    WriteNumber(kLockscreen, L"enable", lockscreenEnable);
    WriteNumber(kLockscreen, L"time", lockscreenTime);
    WriteNumber(kLockscreen, L"user_changed_time", lockscreenUserChangedTime);
    WriteNumber(kLockscreen, L"user_changed_setting", 1);
    WriteNumber(kLockscreen, L"default_opt_time", lockscreenDefaultOptTime);
  }
}

int CAppConfig::ReadSnipHotkey() const {
  int64_t v = 0;
  if (!ReadNumber(L"Default", L"sniptool_hotkey", &v)) return 0;
  return Low32(v);
}

std::wstring CAppConfig::DefaultPlacement(const RECT& work) {
  int dx = (work.right - work.left) / 6;
  int dy = (work.bottom - work.top) / 10;
  return basic_lib::FormatW(L"%d_%d_%d_%d", work.left + dx, work.top + dy, work.right - dx,
                            work.bottom - dy);
}

bool CAppConfig::ComputeRestoredPlacement(const std::wstring& stored, const RECT& work,
                                          RECT* placed) {
  std::wstring value = stored.empty() ? DefaultPlacement(work) : stored;
  std::vector<std::wstring> parts = basic_lib::SplitSkipEmpty(value, L"_");
  if (parts.size() != 4) return false;
  // 64-bit arithmetic: garbage parts near the int limits must not overflow.
  int64_t left = basic_lib::StrToIntValue(parts[0]);
  int64_t top = basic_lib::StrToIntValue(parts[1]);
  int64_t width =
      std::min<int64_t>(basic_lib::StrToIntValue(parts[2]) - left, work.right - work.left);
  int64_t height =
      std::min<int64_t>(basic_lib::StrToIntValue(parts[3]) - top, work.bottom - work.top);
  if (width < kMinPlacedWidth || height < kMinPlacedHeight) return false;
  if (left + width > work.right) {
    left = work.right - width;
  } else if (left < work.left) {
    left = work.left;
  }
  if (top + height > work.bottom) {
    top = work.bottom - height;
  } else if (top < work.top) {
    top = work.top;
  }
  placed->left = static_cast<LONG>(left);
  placed->top = static_cast<LONG>(top);
  placed->right = static_cast<LONG>(left + width);
  placed->bottom = static_cast<LONG>(top + height);
  return true;
}

void CAppConfig::RestoreWindowPlacement(HWND wnd) const {
  RECT work = {};
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT placed = {};
  if (!ComputeRestoredPlacement(lastPosition, work, &placed)) {
    ::ShowWindow(wnd, SW_MAXIMIZE);
    return;
  }
  ::SetWindowPos(wnd, nullptr, placed.left, placed.top, placed.right - placed.left,
                 placed.bottom - placed.top, SWP_NOACTIVATE | SWP_NOZORDER);
}

void CAppConfig::StoreWindowPlacement(HWND wnd) {
  if (::IsZoomed(wnd)) {
    lastPosition = L"MAX";
    return;
  }
  RECT rect = {};
  if (::IsIconic(wnd)) {
    // A minimised window's rectangle is the icon's; keep the size it is restored to.
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    if (!::GetWindowPlacement(wnd, &wp)) return;
    if (wp.flags & WPF_RESTORETOMAXIMIZED) {
      lastPosition = L"MAX";
      return;
    }
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    rect = wp.rcNormalPosition;  // workspace coordinates
    ::OffsetRect(&rect, work.left, work.top);
  } else if (!::GetWindowRect(wnd, &rect)) {
    return;
  }
  lastPosition =
      basic_lib::FormatW(L"%d_%d_%d_%d", static_cast<int>(rect.left), static_cast<int>(rect.top),
                         static_cast<int>(rect.right), static_cast<int>(rect.bottom));
}

std::wstring CAppConfig::BuildMapUrl(const std::wstring& coordinates) const {
  std::vector<std::wstring> parts = basic_lib::SplitKeepEmpty(coordinates, L',');
  double lat = 0, lon = 0;
  if (parts.size() != 2 || !ParseDegrees(parts[0], 90.0, &lat) ||
      !ParseDegrees(parts[1], 180.0, &lon)) {
    return std::wstring();
  }
  std::wstring lat_text = basic_lib::FormatW(L"%.6f", lat);
  std::wstring lon_text = basic_lib::FormatW(L"%.6f", lon);
  if (gpsMapVendor == 1) {
    // Google Maps URLs: a search for "lat,lon" drops a pin at that WGS-84 position.
    return basic_lib::FormatW(L"https://www.google.com/maps/search/?api=1&query=%ls,%ls",
                              lat_text.c_str(), lon_text.c_str());
  }
  // OpenStreetMap: mlat/mlon place the marker, the fragment centres the map on it.
  return basic_lib::FormatW(L"https://www.openstreetmap.org/?mlat=%ls&mlon=%ls#map=16/%ls/%ls",
                            lat_text.c_str(), lon_text.c_str(), lat_text.c_str(), lon_text.c_str());
}

bool CAppConfig::OpenMapForLocation(const std::wstring& coordinates) const {
  std::wstring url = BuildMapUrl(coordinates);
  if (url.empty() || !url_opener_) return false;
  return url_opener_(url);
}
