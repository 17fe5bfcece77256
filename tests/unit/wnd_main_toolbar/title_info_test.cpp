#include "wnd_main_toolbar/title_info.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "basic_lib/path_util.h"
#include "lang/language.h"

using wnd_main_toolbar::TitleFields;
using wnd_main_toolbar::TitleTexts;

namespace {

// Texts that show which key went where.
TitleTexts MarkerTexts(bool chinese, bool cjk) {
  TitleTexts t;
  t.unit = L"<10>";
  t.tenMillionsAnd = L"<11>";
  t.millionUnit = L"<12>";
  t.about = L"<13>";
  t.afterYear = L"<30>";
  t.afterMonth = L"<31>";
  t.afterDay = L"<32>";
  t.beforePosition = L"[";
  t.afterPosition = L"]";
  t.chinese = chinese;
  t.cjk = cjk;
  return t;
}

TEST(TitleText, BuildTitleRules) {
  const TitleTexts en = MarkerTexts(false, false);
  struct Case {
    const wchar_t* name;
    int width, height;
    const wchar_t* position;
    int zoom;
    const wchar_t* date;
    const wchar_t* expected;
  } cases[] = {
      {L"", 4000, 3000, L"[1/2]", 100, L"", L""},
      // Not decoded: the whole name, however long, and the position.
      {L"broken_file_name.jpg", 0, 0, L"[3/25]", 100, L"", L"broken_file_name.jpg - [3/25]"},
      {L"broken.jpg", 0, 0, L"", 100, L"", L"broken.jpg - "},
      // Exactly 10 characters stay, 11 are shortened.
      {L"abcdef.jpg", 640, 480, L"[1/1]", 100, L"", L"abcdef.jpg ( 640x480 ) - [1/1] 100%"},
      {L"abcdefg.jpg", 640, 480, L"[1/1]", 100, L"", L"abcdefg.jp...jpg ( 640x480 ) - [1/1] 100%"},
      {L"holiday_photo_at_the_sea.jpeg", 800, 600, L"", 25, L"",
       L"holiday_ph...jpeg ( 800x600 ) -  25%"},
      {L"name.with.many.dots.png", 10, 10, L"[2/3]", 7, L"",
       L"name.with....png ( 10x10 ) - [2/3] 7%"},
      {L"abcdefghijklmnop", 10, 10, L"", 100, L"", L"abcdefghij... ( 10x10 ) -  100%"},
      // Every piece in its place.
      {L"IMG_01.JPG", 4000, 3000, L"[3/25]", 47, L"2019:05:04 13:02:09",
       L"IMG_01.JPG ( 4000x3000 , 12M <10> , 2019:05:04 13:02:09 ) - [3/25] 47%"},
      {L"IMG_01.JPG", 100, 100, L"[3/25]", 300, L"2019",
       L"IMG_01.JPG ( 100x100 , 2019 ) - [3/25] 300%"},
      // A name with %-signs is text, not a format.
      {L"%s%d%n.png", 10, 10, L"", 100, L"", L"%s%d%n.png ( 10x10 ) -  100%"},
  };
  for (const Case& c : cases) {
    TitleFields f;
    f.fileName = c.name;
    f.width = c.width;
    f.height = c.height;
    f.positionText = c.position;
    f.zoomPercent = c.zoom;
    f.dateText = c.date;
    EXPECT_EQ(wnd_main_toolbar::BuildTitle(f, en), c.expected) << c.name;
  }
}

TEST(TitleText, ShorteningKeepsSurrogatePairsWhole) {
  // Nine letters, then a pair (U+1F600) straddling the 10th and 11th units.
  std::wstring name = L"abcdefghi";
  name += static_cast<wchar_t>(0xD83D);
  name += static_cast<wchar_t>(0xDE00);
  name += L"x.png";
  EXPECT_EQ(wnd_main_toolbar::ShortenFileName(name), L"abcdefghi...png");
}

TEST(TitleText, MegapixelsBothLanguageFamilies) {
  const TitleTexts en = MarkerTexts(false, false);
  const TitleTexts ja = MarkerTexts(false, true);  // Japanese follows the non-Chinese rule
  const TitleTexts cn = MarkerTexts(true, true);
  struct Case {
    int width, height;
    const wchar_t* english;
    const wchar_t* chinese;
  } cases[] = {
      {0, 0, L"", L""},
      {900, 1000, L"", L""},
      {999999, 1, L"", L""},
      {1000, 1000, L"", L"<13>1<12>"},
      {1000001, 1, L"1M <10>", L"<13>1<12>"},
      {9999999, 1, L"9M <10>", L"<13>9<12>"},
      {10000000, 1, L"10M <10>", L"1<10>"},
      {4000, 3000, L"12M <10>", L"1<11>2<12>"},
      {5000, 4000, L"20M <10>", L"2<10>"},
      {10999999, 1, L"10M <10>", L"1<10>"},
      {11000000, 1, L"11M <10>", L"1<11>1<12>"},
      // Beyond 32 bits: no overflow into a negative count.
      {50000, 50000, L"2500M <10>", L"250<10>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wnd_main_toolbar::FormatMegapixels(c.width, c.height, en), c.english)
        << c.width << "x" << c.height;
    EXPECT_EQ(wnd_main_toolbar::FormatMegapixels(c.width, c.height, ja), c.english)
        << c.width << "x" << c.height;
    EXPECT_EQ(wnd_main_toolbar::FormatMegapixels(c.width, c.height, cn), c.chinese)
        << c.width << "x" << c.height;
  }
}

TEST(TitleText, ShotDateAndPosition) {
  const TitleTexts en = MarkerTexts(false, false);
  const TitleTexts cjk = MarkerTexts(false, true);
  struct Case {
    const wchar_t* date;
    const wchar_t* cjk;
  } cases[] = {
      {L"2019:05:04 13:02:09", L"2019<30>05<31>04<32>"},
      {L"2019:05:04 13:02", L"2019:05:04 13:02"},              // five pieces
      {L"2019:05:04 13:02:09:11", L"2019:05:04 13:02:09:11"},  // seven
      {L"2019-05-04", L"2019-05-04"},
      {L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wnd_main_toolbar::FormatShotDate(c.date, cjk), c.cjk) << c.date;
    EXPECT_EQ(wnd_main_toolbar::FormatShotDate(c.date, en), c.date) << c.date;
  }
  EXPECT_EQ(wnd_main_toolbar::FormatPosition(0, 25, en), L"[1/25]");
  EXPECT_EQ(wnd_main_toolbar::FormatPosition(24, 25, en), L"[25/25]");
}

// A private program folder with lang\*.ini, so the record reads real language files.
class TitleInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder_ =
        std::wstring(temp) + L"lumora_title_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    ::CreateDirectoryW((folder_ + L"lang").c_str(), nullptr);
    WriteLanguage(L"en.ini", {{L"10", L"pixels"}, {L"40", L"["}, {L"41", L"]"}});
    WriteLanguage(L"cn_simp.ini", {{L"10", L"QW"},
                                   {L"11", L"Q"},
                                   {L"12", L"BW"},
                                   {L"13", L"Y"},
                                   {L"30", L"N"},
                                   {L"31", L"Y"},
                                   {L"32", L"R"},
                                   {L"40", L"D"},
                                   {L"41", L"Z"}});
    basic_lib::SetExeFolderOverride(folder_);
    lang::SetCurrentLanguageName(L"en.ini");
  }
  void TearDown() override {
    basic_lib::SetExeFolderOverride(L"");
    lang::SetCurrentLanguageName(L"en.ini");
    for (const wchar_t* name : {L"lang\\en.ini", L"lang\\cn_simp.ini"}) {
      ::DeleteFileW((folder_ + name).c_str());
    }
    ::RemoveDirectoryW((folder_ + L"lang").c_str());
    ::RemoveDirectoryW(folder_.c_str());
  }
  void WriteLanguage(const wchar_t* file,
                     const std::vector<std::pair<std::wstring, std::wstring>>& entries) {
    const std::wstring path = folder_ + L"lang\\" + file;
    for (const auto& e : entries) {
      ::WritePrivateProfileStringW(L"TITLE", e.first.c_str(), e.second.c_str(), path.c_str());
    }
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
  }

  std::wstring folder_;
};

TEST_F(TitleInfoTest, RecordFollowsTheLanguageFile) {
  TitleInfo info;
  info.SetImageInfo(L"C:\\photos\\trip\\IMG_0001.JPG", L"2019:05:04 13:02:09", 4000, 3000);
  info.SetPosition(2, 25);
  EXPECT_EQ(info.FileName(), L"IMG_0001.JPG");
  EXPECT_EQ(info.BuildTitle(),
            L"IMG_0001.J...JPG ( 4000x3000 , 12M pixels , 2019:05:04 13:02:09 ) - [3/25] 100%");

  ASSERT_TRUE(lang::SetCurrentLanguageName(L"cn_simp.ini"));
  info.SetImageInfo(L"C:\\photos\\trip\\IMG_0001.JPG", L"2019:05:04 13:02:09", 4000, 3000);
  info.SetPosition(0, 25);
  EXPECT_EQ(info.BuildTitle(),
            L"IMG_0001.J...JPG ( 4000x3000 , 1Q2BW , 2019N05Y04R ) - D1/25Z 100%");

  // A new image empties the position and the date, and starts at 100 %.
  info.SetImageInfo(L"D:\\x.png", L"", 0, 0);
  EXPECT_EQ(info.BuildTitle(), L"x.png - ");
  EXPECT_EQ(info.Fields().zoomPercent, 100);
  EXPECT_TRUE(info.Fields().dateText.empty());
}

// Main window stand-in: records the caption-size message and applies it like the real one.
struct MainWindowLog {
  std::vector<std::pair<WPARAM, LPARAM>> sizes;
};

LRESULT CALLBACK MainProc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TITLE_TEXT_SIZE) {
    auto* log = reinterpret_cast<MainWindowLog*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (log) log->sizes.emplace_back(wparam, lparam);
    ::SetWindowPos(::GetDlgItem(wnd, kTitleTextControlId), nullptr, 0, 0, static_cast<int>(wparam),
                   static_cast<int>(lparam), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  return ::DefWindowProcW(wnd, message, wparam, lparam);
}

std::wstring WindowText(HWND wnd) {
  wchar_t buffer[512] = {};
  ::GetWindowTextW(wnd, buffer, 512);
  return buffer;
}

TEST_F(TitleInfoTest, RefreshPutsTheLineOnTheWindow) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = &MainProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TitleInfoTestMain";
  ::RegisterClassW(&wc);
  HWND main = ::CreateWindowExW(0, wc.lpszClassName, L"start", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600,
                                nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(main, nullptr);
  MainWindowLog log;
  ::SetWindowLongPtrW(main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&log));

  TitleInfo info;
  // No main window, or no control 1025: nothing happens.
  info.Refresh();
  info.SetMainWindow(main);
  info.Refresh();
  EXPECT_EQ(WindowText(main), L"start");

  HWND control = ::CreateWindowExW(
      0, L"STATIC", L"old", WS_CHILD | WS_VISIBLE, 0, 0, 10, 29, main,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTitleTextControlId)), wc.hInstance, nullptr);
  ASSERT_NE(control, nullptr);

  // Nothing open: empty control, default caption, nothing to measure.
  info.Refresh();
  EXPECT_EQ(WindowText(control), L"");
  EXPECT_EQ(WindowText(main), kDefaultWindowTitle);
  EXPECT_TRUE(log.sizes.empty());

  info.SetImageInfo(L"C:\\a\\sunset.jpg", L"", 1600, 1200);
  info.SetPosition(4, 9);
  info.SetZoom(0.5f);
  const std::wstring line = L"sunset.jpg ( 1600x1200 , 1M pixels ) - [5/9] 50%";
  EXPECT_EQ(WindowText(control), line);
  EXPECT_EQ(WindowText(main), line);
  ASSERT_EQ(log.sizes.size(), 1u);
  EXPECT_GT(log.sizes[0].first, 10u);
  EXPECT_EQ(log.sizes[0].second, 29);

  // Same text, control already that wide: no second size message.
  info.Refresh();
  EXPECT_EQ(log.sizes.size(), 1u);

  // Truncated toward zero; a rotation swaps the size and refreshes.
  info.SetZoom(0.999f);
  EXPECT_EQ(info.Fields().zoomPercent, 99);
  info.SetSize(1200, 1600);
  EXPECT_EQ(WindowText(main), L"sunset.jpg ( 1200x1600 , 1M pixels ) - [5/9] 99%");

  ::DestroyWindow(main);
}

}  // namespace
