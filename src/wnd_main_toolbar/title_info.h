#pragma once

#include <windows.h>

#include <string>

// Caption message to the main window: wParam the measured text width, lParam the height (29).
constexpr UINT WM_TITLE_TEXT_SIZE = WM_USER + 20000;  // 0x5220
constexpr int kTitleTextControlId = 1025;
constexpr int kTitleTextHeight = 29;
extern const wchar_t kDefaultWindowTitle[];  // "Lumora Viewer"

namespace wnd_main_toolbar {

// Section "TITLE" of the language file, with the language family that picks the rules.
struct TitleTexts {
  std::wstring unit;            // "10": after the megapixel number; the ten-million unit (Chinese)
  std::wstring tenMillionsAnd;  // "11": between ten-millions and millions (Chinese)
  std::wstring millionUnit;     // "12": the million unit (Chinese)
  std::wstring about;           // "13": before a number of millions below ten (Chinese)
  std::wstring afterYear;       // "30"
  std::wstring afterMonth;      // "31"
  std::wstring afterDay;        // "32"
  std::wstring beforePosition;  // "40"
  std::wstring afterPosition;   // "41"
  bool chinese = false;         // cn_simp.ini, cn_trad.ini
  bool cjk = false;             // the Chinese files, ja.ini, ko.ini
};

// The texts of the current language file.
TitleTexts LoadTitleTexts();

// What the title line is built from.
struct TitleFields {
  std::wstring fileName;
  int width = 0;
  int height = 0;
  std::wstring positionText;
  int zoomPercent = 100;
  std::wstring dateText;
};

// Pure text building, no window and no language file.
std::wstring BuildTitle(const TitleFields& fields, const TitleTexts& texts);
std::wstring ShortenFileName(const std::wstring& file_name);  // at most 10 characters + "..." + ext
std::wstring FormatMegapixels(int width, int height, const TitleTexts& texts);
std::wstring FormatShotDate(const std::wstring& date, const TitleTexts& texts);
std::wstring FormatPosition(int index, int count, const TitleTexts& texts);

}  // namespace wnd_main_toolbar

// The one line that names the image on screen: name, size, megapixels, capture date, folder
// position and zoom. Shown in the caption's text control and as the window title. Interface
// thread only.
class TitleInfo {
 public:
  TitleInfo() = default;
  TitleInfo(const TitleInfo&) = delete;
  TitleInfo& operator=(const TitleInfo&) = delete;

  // The main window whose control 1025 shows the line; null until the window exists.
  void SetMainWindow(HWND main_window) { main_window_ = main_window; }

  // A new current image (no refresh). `shot_date` is the metadata date text, empty when none.
  void SetImageInfo(const std::wstring& path, const std::wstring& shot_date, int width, int height);
  // Zero-based index in the folder list (no refresh).
  void SetPosition(int index, int count);
  void SetSize(int width, int height);  // after a rotation; refreshes
  void SetZoom(float zoom);             // refreshes
  void Refresh();

  std::wstring BuildTitle();
  std::wstring FormatMegapixels();
  std::wstring FormatShotDate(const std::wstring& date);

  const wnd_main_toolbar::TitleFields& Fields() const { return fields_; }
  const std::wstring& FileName() const { return fields_.fileName; }

 private:
  const wnd_main_toolbar::TitleTexts& Texts();

  HWND main_window_ = nullptr;
  wnd_main_toolbar::TitleFields fields_;
  wnd_main_toolbar::TitleTexts texts_;
  std::wstring texts_language_;  // language the cached texts came from; empty before the first
};
