#include "wnd_main_toolbar/title_info.h"

#include <shlwapi.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "basic_lib/scoped_handle.h"
#include "basic_lib/string_util.h"
#include "lang/language.h"

const wchar_t kDefaultWindowTitle[] = L"Lumora Viewer";

namespace wnd_main_toolbar {

using basic_lib::FormatW;

namespace {
constexpr size_t kShortNameLength = 10;
constexpr int64_t kMillion = 1000000;
constexpr int64_t kTenMillion = 10000000;

std::wstring Text(const wchar_t* key) { return lang::GetText(L"TITLE", key); }
}  // namespace

TitleTexts LoadTitleTexts() {
  TitleTexts t;
  t.unit = Text(L"10");
  t.tenMillionsAnd = Text(L"11");
  t.millionUnit = Text(L"12");
  t.about = Text(L"13");
  t.afterYear = Text(L"30");
  t.afterMonth = Text(L"31");
  t.afterDay = Text(L"32");
  t.beforePosition = Text(L"40");
  t.afterPosition = Text(L"41");
  t.chinese = lang::IsChineseLanguage();
  t.cjk = lang::IsCjkLanguage();
  return t;
}

std::wstring ShortenFileName(const std::wstring& file_name) {
  if (file_name.size() <= kShortNameLength) return file_name;
  size_t keep = kShortNameLength;
  // Never split a surrogate pair: a lone half would show as a box.
  if (IS_HIGH_SURROGATE(file_name[keep - 1]) && IS_LOW_SURROGATE(file_name[keep])) --keep;
  std::wstring shortened = file_name.substr(0, keep);
  shortened += basic_lib::AnsiToWide("...");
  const size_t dot = file_name.rfind(L'.');
  if (dot != std::wstring::npos) shortened += file_name.substr(dot + 1);
  return shortened;
}

std::wstring FormatMegapixels(int width, int height, const TitleTexts& texts) {
  // 64-bit: a 50000 x 50000 picture would overflow a 32-bit product.
  const int64_t n = static_cast<int64_t>(width) * static_cast<int64_t>(height);
  if (texts.chinese) {
    if (n >= kMillion && n <= 9999999) {
      return FormatW(L"%ls%lld%ls", texts.about.c_str(), static_cast<long long>(n / kMillion),
                     texts.millionUnit.c_str());
    }
    const int64_t t = n / kTenMillion;
    if (t <= 0) return std::wstring();
    const int64_t m = (n % kTenMillion) / kMillion;
    if (m != 0) {
      return FormatW(L"%lld%ls%lld%ls", static_cast<long long>(t), texts.tenMillionsAnd.c_str(),
                     static_cast<long long>(m), texts.millionUnit.c_str());
    }
    return FormatW(L"%lld%ls", static_cast<long long>(t), texts.unit.c_str());
  }
  if (n <= kMillion) return std::wstring();
  return FormatW(L"%lldM %ls", static_cast<long long>(n / kMillion), texts.unit.c_str());
}

std::wstring FormatShotDate(const std::wstring& date, const TitleTexts& texts) {
  const std::vector<std::wstring> parts = basic_lib::SplitSkipEmpty(date, L" :");
  if (parts.size() != 6 || !texts.cjk) return date;
  return parts[0] + texts.afterYear + parts[1] + texts.afterMonth + parts[2] + texts.afterDay;
}

std::wstring FormatPosition(int index, int count, const TitleTexts& texts) {
  return FormatW(L"%ls%d/%d%ls", texts.beforePosition.c_str(), index + 1, count,
                 texts.afterPosition.c_str());
}

std::wstring BuildTitle(const TitleFields& fields, const TitleTexts& texts) {
  if (fields.fileName.empty()) return std::wstring();
  if (fields.width == 0) {
    return FormatW(L"%ls - %ls", fields.fileName.c_str(), fields.positionText.c_str());
  }
  std::wstring line = FormatW(L"%ls ( %dx%d", ShortenFileName(fields.fileName).c_str(),
                              fields.width, fields.height);
  const std::wstring megapixels = FormatMegapixels(fields.width, fields.height, texts);
  if (!megapixels.empty()) line += L" , " + megapixels;
  if (!fields.dateText.empty()) line += L" , " + fields.dateText;
  line += FormatW(L" ) - %ls %d%%", fields.positionText.c_str(), fields.zoomPercent);
  return line;
}

}  // namespace wnd_main_toolbar

const wnd_main_toolbar::TitleTexts& TitleInfo::Texts() {
  const std::wstring language = lang::GetCurrentLanguageName();
  if (texts_language_.empty() || language != texts_language_) {
    texts_ = wnd_main_toolbar::LoadTitleTexts();
    texts_language_ = language;
  }
  return texts_;
}

void TitleInfo::SetImageInfo(const std::wstring& path, const std::wstring& shot_date, int width,
                             int height) {
  fields_.fileName = ::PathFindFileNameW(path.c_str());
  fields_.width = width;
  fields_.height = height;
  fields_.positionText.clear();
  fields_.zoomPercent = 100;
  fields_.dateText = shot_date.empty() ? std::wstring() : FormatShotDate(shot_date);
}

void TitleInfo::SetPosition(int index, int count) {
  fields_.positionText = wnd_main_toolbar::FormatPosition(index, count, Texts());
}

void TitleInfo::SetSize(int width, int height) {
  fields_.width = width;
  fields_.height = height;
  Refresh();
}

void TitleInfo::SetZoom(float zoom) {
  const double percent = static_cast<double>(zoom) * 100.0;
  // Truncated toward zero; a broken ratio must not turn into an undefined conversion.
  if (!std::isfinite(percent)) {
    fields_.zoomPercent = 0;
  } else if (percent >= static_cast<double>(std::numeric_limits<int>::max())) {
    fields_.zoomPercent = std::numeric_limits<int>::max();
  } else if (percent <= static_cast<double>(std::numeric_limits<int>::min())) {
    fields_.zoomPercent = std::numeric_limits<int>::min();
  } else {
    fields_.zoomPercent = static_cast<int>(percent);
  }
  Refresh();
}

std::wstring TitleInfo::BuildTitle() { return wnd_main_toolbar::BuildTitle(fields_, Texts()); }

std::wstring TitleInfo::FormatMegapixels() {
  return wnd_main_toolbar::FormatMegapixels(fields_.width, fields_.height, Texts());
}

std::wstring TitleInfo::FormatShotDate(const std::wstring& date) {
  return wnd_main_toolbar::FormatShotDate(date, Texts());
}

void TitleInfo::Refresh() {
  HWND main = main_window_;
  if (!main || !::IsWindow(main)) return;
  HWND control = ::GetDlgItem(main, kTitleTextControlId);
  if (!control) return;
  const std::wstring line = BuildTitle();

  SIZE extent = {};
  {
    basic_lib::ScopedWindowDc dc(control);
    if (dc.Get()) {
      ::GetTextExtentPoint32W(dc.Get(), line.c_str(), static_cast<int>(line.size()), &extent);
    }
  }
  RECT rect = {};
  ::GetWindowRect(control, &rect);
  if (extent.cx != 0 && extent.cx != rect.right - rect.left) {
    ::SendMessageW(main, WM_TITLE_TEXT_SIZE, static_cast<WPARAM>(extent.cx), kTitleTextHeight);
  }
  ::SetWindowTextW(control, line.c_str());
  ::SetWindowTextW(main, line.empty() ? kDefaultWindowTitle : line.c_str());
}
