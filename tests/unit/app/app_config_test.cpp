#include "app/app_config.h"

#include <gtest/gtest.h>

#include "basic_lib/ini_file.h"
#include "lang/language.h"
#include "unit/basic_lib/scratch_folder.h"

namespace {

class AppConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CreateDirectoryW((dir_ / L"exe").c_str(), nullptr);
    ::CreateDirectoryW((dir_ / L"exe\\lang").c_str(), nullptr);
  }
  void TearDown() override { lang::SetCurrentLanguageName(L"en.ini"); }

  std::wstring ConfigPath() const { return dir_ / L"config.ini"; }
  std::wstring ExeFolder() const { return dir_ / L"exe\\"; }
  void Put(const wchar_t* key, const wchar_t* value, const wchar_t* section = L"app") {
    ASSERT_TRUE(basic_lib::WriteIniString(ConfigPath(), section, key, value));
  }
  void AddLanguageFile(const std::wstring& name) {
    ASSERT_TRUE(test_support::WriteUtf16File(ExeFolder() + L"lang\\" + name, L"[app]\r\n"));
  }
  // A settings object as start-up makes it, on this test's files.
  std::unique_ptr<CAppConfig> Loaded() {
    auto config = std::make_unique<CAppConfig>(ConfigPath(), ExeFolder());
    config->LoadAtStartup();
    return config;
  }

  test_support::ScratchFolder dir_{L"config"};
};

TEST_F(AppConfigTest, AbsentFileKeepsEveryDefault) {
  auto c = Loaded();
  EXPECT_EQ(L"", c->lastPosition);
  EXPECT_EQ(8, c->maxZoomRatio);
  EXPECT_EQ(24, c->viewMargin);
  EXPECT_EQ(RGB(255, 255, 255), c->canvasBackColor);
  EXPECT_EQ(0, c->hardwareZoom);
  EXPECT_EQ(1, c->toolbarDock);
  EXPECT_EQ(1, c->showDeleteConfirm);
  EXPECT_EQ(99, c->mouseWheelAction);
  EXPECT_EQ(1, c->showWheelFavorite);
  EXPECT_EQ(80, c->saveJpegQuality);
  EXPECT_EQ(1, c->preloadEnable);
  EXPECT_EQ(1, c->defaultViewerStartTip);
  EXPECT_EQ(0, c->lockscreenEnable);
  EXPECT_EQ(210, c->lockscreenTime);
  EXPECT_EQ(210, c->lockscreenDefaultOptTime);
  EXPECT_EQ(1, c->quickIndex);
  EXPECT_EQ(1, c->zoomIsFit);
  EXPECT_EQ(0, c->viewEnhancement);
  EXPECT_EQ(L"en.ini", c->languageId);  // locale en-US, and then only if the file exists
  EXPECT_NE(nullptr, c->BackgroundBrush());
  EXPECT_EQ(0, c->ReadSnipHotkey());
  EXPECT_FALSE(basic_lib::PathExists(ConfigPath()));  // loading never creates the file
}

TEST_F(AppConfigTest, NumbersAreClampedAndMalformedValuesFollowTheRules) {
  const struct {
    const wchar_t* key;
    const wchar_t* text;
    int CAppConfig::*field;
    int expected;
  } cases[] = {
      {L"max_zoom_ratio", L"3", &CAppConfig::maxZoomRatio, 4},
      {L"max_zoom_ratio", L"40", &CAppConfig::maxZoomRatio, 32},
      {L"max_zoom_ratio", L"32", &CAppConfig::maxZoomRatio, 32},
      {L"max_zoom_ratio", L"abc", &CAppConfig::maxZoomRatio, 4},  // reads as 0
      {L"max_zoom_ratio", L"", &CAppConfig::maxZoomRatio, 8},     // empty keeps the default
      {L"max_zoom_ratio", L" 12xyz", &CAppConfig::maxZoomRatio, 12},
      {L"max_zoom_ratio", L"4294967304", &CAppConfig::maxZoomRatio, 8},  // low 32 bits
      {L"max_zoom_ratio", L"99999999999999999999", &CAppConfig::maxZoomRatio, 4},
      {L"view_margin", L"-5", &CAppConfig::viewMargin, 0},
      {L"view_margin", L"64", &CAppConfig::viewMargin, 64},
      {L"view_margin", L"100", &CAppConfig::viewMargin, 64},
      {L"view_margin", L"10", &CAppConfig::viewMargin, 10},
      {L"save_jpeg_quality", L"150", &CAppConfig::saveJpegQuality, 100},
      {L"save_jpeg_quality", L"-1", &CAppConfig::saveJpegQuality, 0},
      {L"gps_map_vendor", L"7", &CAppConfig::gpsMapVendor, 1},
      {L"toolbar_dock", L"0", &CAppConfig::toolbarDock, 0},
      {L"show_delete_confirm", L"no", &CAppConfig::showDeleteConfirm, 0},
      {L"double_click_action", L"-3", &CAppConfig::doubleClickAction, 1},
      {L"only_one_instance", L"4294967296", &CAppConfig::onlyOneInstance, 1},
      {L"completely_exit", L"1", &CAppConfig::completelyExit, 1},
      {L"user_set_default_viewer", L"2", &CAppConfig::userSetDefaultViewer, 1},
  };
  for (const auto& c : cases) {
    ::DeleteFileW(ConfigPath().c_str());
    Put(c.key, c.text);
    auto config = Loaded();
    EXPECT_EQ(c.expected, (*config).*(c.field)) << c.key << "=" << c.text;
  }
}

TEST_F(AppConfigTest, WheelActionDependsOnTheFavouriteQuestion) {
  const struct {
    const wchar_t* favorite;
    const wchar_t* action;
    int expected;
  } cases[] = {
      {L"0", L"5", 1}, {L"0", L"99", 99}, {L"0", L"0", 0}, {L"1", L"0", 99}, {L"1", L"1", 99},
  };
  for (const auto& c : cases) {
    Put(L"show_wheel_favorite", c.favorite);
    Put(L"mouse_wheel_action", c.action);
    EXPECT_EQ(c.expected, Loaded()->mouseWheelAction) << c.favorite << " " << c.action;
  }
  // LoadWheelSettings sees what another instance saved, and nothing else.
  auto config = Loaded();
  Put(L"show_wheel_favorite", L"0");
  Put(L"mouse_wheel_action", L"0");
  Put(L"view_margin", L"5");
  config->LoadWheelSettings();
  EXPECT_EQ(0, config->showWheelFavorite);
  EXPECT_EQ(0, config->mouseWheelAction);
  EXPECT_EQ(24, config->viewMargin);
}

TEST_F(AppConfigTest, BackgroundColourNeedsExactlyThreeParts) {
  const struct {
    const wchar_t* text;
    COLORREF expected;
  } cases[] = {
      {L"0,0,0", RGB(0, 0, 0)},    {L"300,0,0", RGB(44, 0, 0)},  {L"10,20,30", RGB(10, 20, 30)},
      {L"-1,0,0", RGB(255, 0, 0)}, {L"1,2", RGB(255, 255, 255)}, {L"1,2,3,4", RGB(255, 255, 255)},
      {L"", RGB(255, 255, 255)},   {L"a,b,c", RGB(0, 0, 0)},     {L"1,,2,,3", RGB(1, 2, 3)},
  };
  for (const auto& c : cases) {
    Put(L"canvas_back_color", c.text);
    EXPECT_EQ(c.expected, Loaded()->canvasBackColor) << c.text;
  }
}

TEST_F(AppConfigTest, LockScreenKeysAndSnipHotkey) {
  Put(L"enable", L"2", L"lockscreen");
  Put(L"time", L"-60", L"lockscreen");
  Put(L"default_opt_time", L"180", L"lockscreen");
  Put(L"user_changed_time", L"5", L"lockscreen");
  Put(L"sniptool_hotkey", L"1092", L"Default");
  auto c = Loaded();
  EXPECT_EQ(0, c->lockscreenEnable);  // only exactly 1 switches it on
  EXPECT_EQ(-60, c->lockscreenTime);
  EXPECT_EQ(180, c->lockscreenDefaultOptTime);
  EXPECT_EQ(1, c->lockscreenUserChangedTime);
  EXPECT_EQ(0, c->loadedLockscreenEnable);
  EXPECT_EQ(-60, c->loadedLockscreenTime);
  EXPECT_EQ(1092, c->ReadSnipHotkey());
  Put(L"enable", L"1", L"lockscreen");
  c->Load();
  EXPECT_EQ(1, c->lockscreenEnable);
  EXPECT_EQ(1, c->loadedLockscreenEnable);
}

TEST_F(AppConfigTest, LanguageFixUpAcceptsOnlyExistingBoundedFileNames) {
  std::wstring too_long = std::wstring(30, L'x') + L".ini";  // 34 characters
  AddLanguageFile(L"cn_simp.ini");
  AddLanguageFile(L"en.ini");
  AddLanguageFile(too_long);
  const struct {
    const wchar_t* stored;  // null: key absent
    std::wstring expected;
  } cases[] = {
      {L"cn_simp.ini", L"cn_simp.ini"},
      {L"fr.ini", L"en.ini"},  // no such file
      {L"", L"en.ini"},
      {L"cn_simp", L"en.ini"},  // not an .ini name
      {too_long.c_str(), L"en.ini"},
      {L"..\\lang\\cn_simp.ini", L"en.ini"},
      {nullptr, L"en.ini"},  // locale choice for en-US
  };
  for (const auto& c : cases) {
    ::DeleteFileW(ConfigPath().c_str());
    if (c.stored) Put(L"language_id", c.stored);
    lang::SetCurrentLanguageName(L"en.ini");
    auto config = Loaded();
    EXPECT_EQ(c.expected, config->languageId) << (c.stored ? c.stored : L"(absent)");
    EXPECT_EQ(c.expected, lang::GetCurrentLanguageName());
  }
}

TEST_F(AppConfigTest, LongTextValuesAreBounded) {
  Put(L"last_position", std::wstring(5000, L'1').c_str());
  Put(L"language_id", (std::wstring(300, L'a') + L".ini").c_str());
  auto c = Loaded();
  EXPECT_EQ(4095u, c->lastPosition.size());
  EXPECT_EQ(L"en.ini", c->languageId);
  RECT placed;
  EXPECT_FALSE(CAppConfig::ComputeRestoredPlacement(c->lastPosition, {0, 0, 1920, 1040}, &placed));
}

// The [app] keys in file order, read back from the bytes Save wrote.
std::vector<std::string> AppKeysInFileOrder(const std::string& bytes) {
  std::vector<std::string> keys;
  bool in_app = false;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = end + 1;
    if (!line.empty() && line[0] == '[') {
      in_app = line == "[app]";
    } else if (in_app && !line.empty()) {
      keys.push_back(line);
    }
  }
  return keys;
}

TEST_F(AppConfigTest, SaveWritesEveryKeyInOrder) {
  AddLanguageFile(L"cn_simp.ini");
  Put(L"language_id", L"cn_simp.ini");
  auto c = Loaded();
  ::DeleteFileW(ConfigPath().c_str());
  c->lastPosition = L"10_20_1000_800";
  c->canvasBackColor = RGB(1, 2, 3);
  c->saveJpegQuality = -7;
  c->Save();
  std::vector<std::string> expected = {
      "last_position=10_20_1000_800",
      "max_zoom_ratio=8",
      "view_margin=24",
      "canvas_back_color=1,2,3",
      "hardware_zoom=0",
      "gps_map_vendor=0",
      "toolbar_dock=1",
      "language_id=cn_simp.ini",
      "show_delete_confirm=1",
      "mouse_wheel_action=99",
      "show_wheel_favorite=1",
      "double_click_action=0",
      "view_folder_loop=0",
      "rotate_auto_save=0",
      "long_image_mode=0",
      "save_jpeg_quality=-7",
      "preload_enable=1",
      "preload_thread=3",
      "orientation_by_tag=0",
      "ignore_embedded_icc=0",
      "only_one_instance=0",
      "set_default_viewer=0",
      "default_viewer_start_tip=1",
      "completely_exit=0",
      "user_set_default_viewer=0",
  };
  std::string bytes = test_support::ReadBytes(ConfigPath());
  EXPECT_EQ(expected, AppKeysInFileOrder(bytes));
  // Nothing changed on the lock screen and no earlier change stored: no such section.
  EXPECT_EQ(std::string::npos, bytes.find("[lockscreen]"));

  auto again = Loaded();
  EXPECT_EQ(L"10_20_1000_800", again->lastPosition);
  EXPECT_EQ(RGB(1, 2, 3), again->canvasBackColor);
  EXPECT_EQ(0, again->saveJpegQuality);
}

TEST_F(AppConfigTest, LockScreenSectionIsWrittenOnlyAfterAChange) {
  auto c = Loaded();
  c->Save();
  std::wstring value;
  EXPECT_FALSE(basic_lib::ReadIniString(ConfigPath(), L"lockscreen", L"enable", &value));

  c->lockscreenTime = 900;
  c->lockscreenUserChangedTime = 1;
  c->Save();
  const struct {
    const wchar_t* key;
    const wchar_t* value;
  } written[] = {{L"enable", L"0"},
                 {L"time", L"900"},
                 {L"user_changed_time", L"1"},
                 {L"user_changed_setting", L"1"},
                 {L"default_opt_time", L"210"}};
  for (const auto& w : written) {
    ASSERT_TRUE(basic_lib::ReadIniString(ConfigPath(), L"lockscreen", w.key, &value)) << w.key;
    EXPECT_EQ(w.value, value) << w.key;
  }

  // A stored earlier change keeps the section in step even without a change in this run.
  auto reloaded = Loaded();
  ASSERT_TRUE(basic_lib::WriteIniString(ConfigPath(), L"lockscreen", L"time", L"60"));
  reloaded->Save();
  ASSERT_TRUE(basic_lib::ReadIniString(ConfigPath(), L"lockscreen", L"time", &value));
  EXPECT_EQ(L"900", value);
}

TEST_F(AppConfigTest, SaveIntoAMissingFolderWritesNothing) {
  CAppConfig c(dir_ / L"gone\\config.ini", ExeFolder());
  c.LoadAtStartup();
  c.lockscreenEnable = 1;
  c.Save();
  EXPECT_FALSE(basic_lib::PathExists(dir_ / L"gone"));
}

TEST(PlacementTest, RestoredRectanglesAreFittedToTheWorkArea) {
  const RECT work = {0, 0, 1920, 1040};
  const struct {
    const wchar_t* stored;
    bool placed;
    RECT expected;
  } cases[] = {
      {L"", true, {320, 104, 1600, 936}},  // default: a sixth and a tenth in from each edge
      {L"100_50_1100_850", true, {100, 50, 1100, 850}},
      {L"MAX", false, {}},
      {L"1_2_3", false, {}},
      {L"1_2_3_4_5", false, {}},
      {L"100_100_700_900", false, {}},  // 600 wide
      {L"100_100_900_550", false, {}},  // 450 high
      {L"1500_100_2500_900", true, {920, 100, 1920, 900}},
      {L"-300_-50_700_650", true, {0, 0, 1000, 700}},
      {L"0_0_5000_5000", true, {0, 0, 1920, 1040}},
      {L"100__200___1100_900", true, {100, 200, 1100, 900}},
      {L"a_b_c_d", false, {}},
      {L"-2147483648_0_2147483647_800", true, {0, 0, 1920, 800}},
      {L"900_0_100_800", false, {}},  // right before left
  };
  for (const auto& c : cases) {
    RECT placed = {};
    ASSERT_EQ(c.placed, CAppConfig::ComputeRestoredPlacement(c.stored, work, &placed)) << c.stored;
    if (!c.placed) continue;
    EXPECT_EQ(c.expected.left, placed.left) << c.stored;
    EXPECT_EQ(c.expected.top, placed.top) << c.stored;
    EXPECT_EQ(c.expected.right, placed.right) << c.stored;
    EXPECT_EQ(c.expected.bottom, placed.bottom) << c.stored;
  }
  // A work area that does not start at 0 (a taskbar on the left).
  RECT placed = {};
  ASSERT_TRUE(
      CAppConfig::ComputeRestoredPlacement(L"-100_0_900_700", {60, 0, 1280, 1024}, &placed));
  EXPECT_EQ(60, placed.left);
  EXPECT_EQ(1060, placed.right);
}

TEST(PlacementTest, WindowIsPlacedOrMaximisedAndStoredBack) {
  HWND wnd = ::CreateWindowExW(0, L"STATIC", L"placement", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                               nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, wnd);
  CAppConfig c(L"", L"");
  c.lastPosition = L"100_100_900_700";
  c.RestoreWindowPlacement(wnd);
  c.StoreWindowPlacement(wnd);
  EXPECT_EQ(L"100_100_900_700", c.lastPosition);
  EXPECT_FALSE(::IsZoomed(wnd));

  c.lastPosition = L"MAX";
  c.RestoreWindowPlacement(wnd);
  EXPECT_TRUE(::IsZoomed(wnd));
  c.lastPosition.clear();
  c.StoreWindowPlacement(wnd);
  EXPECT_EQ(L"MAX", c.lastPosition);
  ::DestroyWindow(wnd);
}

TEST(MapTest, CoordinatesGoIntoTheChosenMapAndBadTextOpensNothing) {
  CAppConfig c(L"", L"");
  std::vector<std::wstring> opened;
  c.SetUrlOpenerForTest([&opened](const std::wstring& url) {
    opened.push_back(url);
    return true;
  });
  c.gpsMapVendor = 1;
  EXPECT_TRUE(c.OpenMapForLocation(L"39.904202,116.407394"));
  c.gpsMapVendor = 0;
  EXPECT_TRUE(c.OpenMapForLocation(L"-33.8688,-151.2093"));
  ASSERT_EQ(2u, opened.size());
  EXPECT_EQ(L"https://www.google.com/maps/search/?api=1&query=39.904202,116.407394", opened[0]);
  EXPECT_EQ(
      L"https://www.openstreetmap.org/?mlat=-33.868800&mlon=-151.209300#map=16/-33.868800/"
      L"-151.209300",
      opened[1]);
  for (const wchar_t* bad : {L"", L"39.9", L"91,0", L"0,181", L"abc,1", L"1,2,3", L"1,2&x=y",
                             L"nan,1", L"1e999,0", L",", L"1 2,3"}) {
    EXPECT_FALSE(c.OpenMapForLocation(bad)) << bad;
  }
  EXPECT_EQ(2u, opened.size());
}

}  // namespace
