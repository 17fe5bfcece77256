#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "basic_lib/scoped_handle.h"

// The user's settings: "config.ini" in the per-user data folder, read and written only through
// the platform's profile functions. One process-wide instance (Instance); the interface thread
// reads and changes the fields directly. The few fields that worker threads read (or the
// association thread writes) are atomics.
class CAppConfig {
 public:
  // Opens a URL; the default runs the shell's "open" verb. Tests replace it.
  using UrlOpener = std::function<bool(const std::wstring& url)>;

  // The process-wide object: data folder and executable folder of the process, loaded at once.
  static CAppConfig& Instance();
  static void DestroyInstance();

  // Reads the real per-user file and applies the language fix-up (what Instance constructs).
  CAppConfig();
  // A settings object on an explicit file and executable folder, with defaults only; call
  // LoadAtStartup (or Load) to fill it.
  CAppConfig(std::wstring config_path, std::wstring exe_folder);
  CAppConfig(const CAppConfig&) = delete;
  CAppConfig& operator=(const CAppConfig&) = delete;

  // Load, then the language fix-up, then the background brush.
  void LoadAtStartup();
  void Load();
  void LoadWheelSettings();
  void Save();
  int ReadSnipHotkey() const;

  void RestoreWindowPlacement(HWND wnd) const;
  void StoreWindowPlacement(HWND wnd);
  // The rectangle a stored placement gives inside `work_area`; false means "show maximised".
  static bool ComputeRestoredPlacement(const std::wstring& stored, const RECT& work_area,
                                       RECT* placed);
  // The placement used when nothing is stored: the work area less a sixth of its width on the
  // left and right and a tenth of its height at the top and bottom.
  static std::wstring DefaultPlacement(const RECT& work_area);

  // Opens the marker page of a "latitude,longitude" text (WGS-84 degrees) on the chosen map.
  // False, and nothing opened, when the text is not a valid coordinate pair.
  bool OpenMapForLocation(const std::wstring& coordinates) const;
  // The address OpenMapForLocation would open; empty for an invalid coordinate text.
  std::wstring BuildMapUrl(const std::wstring& coordinates) const;
  void SetUrlOpenerForTest(UrlOpener opener) { url_opener_ = std::move(opener); }

  const std::wstring& ConfigPath() const { return config_path_; }
  HBRUSH BackgroundBrush() const { return background_brush_.Get(); }

  // Fields, in the order of the file's keys (section "app" unless noted).
  std::wstring lastPosition;                      // last_position
  int maxZoomRatio = 8;                           // max_zoom_ratio, 4..32
  int viewMargin = 24;                            // view_margin, 0..64
  COLORREF canvasBackColor = RGB(255, 255, 255);  // canvas_back_color "r,g,b"
  std::atomic<int> hardwareZoom{0};               // hardware_zoom
  int gpsMapVendor = 0;                           // gps_map_vendor: 1 first map, 0 second
  int toolbarDock = 1;                            // toolbar_dock: 1 at the bottom
  std::wstring languageId;                        // language_id
  int showDeleteConfirm = 1;                      // show_delete_confirm
  int mouseWheelAction = 99;              // mouse_wheel_action: 0 turn pages, 1 zoom, 99 ask
  int showWheelFavorite = 1;              // show_wheel_favorite
  int doubleClickAction = 0;              // double_click_action
  int viewFolderLoop = 0;                 // view_folder_loop
  int rotateAutoSave = 0;                 // rotate_auto_save
  int longImageMode = 0;                  // long_image_mode
  int saveJpegQuality = 80;               // save_jpeg_quality, 0..100
  std::atomic<int> preloadEnable{1};      // preload_enable
  std::atomic<int> orientationByTag{0};   // orientation_by_tag
  std::atomic<int> ignoreEmbeddedIcc{0};  // ignore_embedded_icc
  int onlyOneInstance = 0;                // only_one_instance
  int completelyExit = 0;                 // completely_exit
  int quickIndex = 1;                     // in memory only
  std::atomic<int> setDefaultViewer{0};   // set_default_viewer
  int defaultViewerStartTip = 1;          // default_viewer_start_tip
  int userSetDefaultViewer = 0;           // user_set_default_viewer
  int lockscreenEnable = 0;               // "lockscreen" enable
  int lockscreenTime = 210;               // "lockscreen" time
  int lockscreenDefaultOptTime = 210;     // "lockscreen" default_opt_time
  int lockscreenUserChangedTime = 0;      // "lockscreen" user_changed_time
  int loadedLockscreenEnable = 0;         // as loaded, for the save rule
  int loadedLockscreenTime = 210;
  int viewEnhancement = 0;  // in memory only: 0 none, 1 brighter, 2 more colourful, 3 sharper
  int zoomIsFit = 1;        // in memory only

 private:
  bool ReadNumber(const wchar_t* section, const wchar_t* key, int64_t* value) const;
  void ReadBool(const wchar_t* key, int* field) const;
  void ReadBool(const wchar_t* key, std::atomic<int>* field) const;
  void ReadClamped(const wchar_t* key, int* field, int low, int high) const;
  bool ReadString(const wchar_t* key, std::wstring* value) const;
  void ReadWheel();
  void FixUpLanguage(bool language_was_present);
  void WriteNumber(const wchar_t* section, const wchar_t* key, int value) const;
  void WriteText(const wchar_t* section, const wchar_t* key, const std::wstring& value) const;

  std::wstring config_path_;
  std::wstring exe_folder_;
  bool language_present_ = false;
  basic_lib::ScopedBrush background_brush_;
  UrlOpener url_opener_;
};
