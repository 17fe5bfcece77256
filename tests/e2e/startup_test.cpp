// Start-up, instance policy and the main window frame of the real LumoraViewer.exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "e2e/driver/e2e_driver.h"

namespace {

using namespace e2e;

constexpr wchar_t kAppName[] = L"Lumora Viewer";
constexpr wchar_t kAlwaysReceiver[] = L"IPC-2FF8B16C98D54B499063C7F270264781_Always";
constexpr wchar_t kSingleReceiver[] = L"78LA95P677T88HPV48O23RK652C";
constexpr DWORD kExitTimeoutMs = 15000;
// The text of the missing-skin message.
const std::wstring kSkinMissingText =
    L"\u56FE\u7247\u67E5\u770B\u5931\u8D25\uFF0C\u8BF7\u91CD\u65B0\u4E0B\u8F7D\u770B\u56FE\u8F6F"
    L"\u4EF6";

std::wstring ConfigFile(const TempDir& data) { return data.File(L"config.ini"); }

void SetAppKey(const TempDir& data, const wchar_t* key, const std::wstring& value) {
  ASSERT_TRUE(WriteIni(ConfigFile(data), L"app", key, value));
}

// Starts the viewer on its own data folder and waits for its visible main window.
HWND StartViewer(Process& p, const TempDir& data, const std::wstring& args = L"") {
  LaunchOptions o;
  o.data_dir = data.path();
  o.args = args;
  if (!p.Start(o)) return nullptr;
  return p.WaitWindow();
}

// Escape in the normal window closes the viewer; the window saves its settings on the way out.
bool CloseWithEscape(Process& p, HWND wnd) {
  return PressKey(wnd, VK_ESCAPE) && p.WaitExit(kExitTimeoutMs);
}

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

bool RectIs(HWND wnd, const RECT& want) {
  const RECT r = WindowRect(wnd);
  return r.left == want.left && r.top == want.top && r.right == want.right &&
         r.bottom == want.bottom;
}

// Where a stored rectangle should end up: cut to the work area's size, then pushed back
// inside it.
RECT Fitted(RECT r, const RECT& work) {
  const LONG ww = work.right - work.left, wh = work.bottom - work.top;
  r.right = r.left + std::min(r.right - r.left, ww);
  r.bottom = r.top + std::min(r.bottom - r.top, wh);
  if (r.right > work.right) {
    OffsetRect(&r, work.right - r.right, 0);
  } else if (r.left < 0) {
    OffsetRect(&r, -r.left, 0);
  }
  if (r.bottom > work.bottom) {
    OffsetRect(&r, 0, work.bottom - r.bottom);
  } else if (r.top < 0) {
    OffsetRect(&r, 0, -r.top);
  }
  return r;
}

// Closes whatever windows the process shows (its message box) until it ends.
bool DismissUntilExit(Process& p, DWORD* code, std::wstring* texts) {
  WindowFilter any;
  any.class_name = nullptr;
  any.pid = p.pid();
  const bool ended = WaitUntil(
      [&] {
        for (HWND w : FindTopLevelWindows(any)) {
          if (WindowClass(w) == kViewerClass) continue;
          if (texts) *texts += AllTexts(w);
          ::PostMessageW(w, WM_COMMAND, IDOK, 0);
          ::PostMessageW(w, WM_CLOSE, 0, 0);
        }
        return !p.Running();
      },
      kExitTimeoutMs, 50);
  return ended && p.WaitExit(0, code);
}

class ViewerStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FileExists(JoinPath(LUMORA_BIN_DIR, kViewerExe)));
    // A viewer left by someone else would take our hand-overs.
    ASSERT_TRUE(FindTopLevelWindows(WindowFilter()).empty())
        << "another viewer is running; e2e scenarios need the display to themselves";
  }
};

TEST_F(ViewerStartupTest, StartWithoutFileShowsTheEmptyWindowAndReportsUsage) {
  TempDir data(L"viewer-empty");
  Process p;
  HWND wnd = StartViewer(p, data);
  ASSERT_NE(nullptr, wnd);
  EXPECT_TRUE(WaitUntil([&] { return Caption(wnd) == kAppName; }, 5000)) << Caption(wnd);
  EXPECT_EQ(nullptr, FindMessageWindow(kSingleReceiver, p.pid()));  // only_one_instance is 0
  EXPECT_NE(nullptr, FindMessageWindow(kAlwaysReceiver, p.pid()));

  // The caption strip is the window's own light grey, framed by a white border; the view area
  // below it is not the caption grey.
  BringToForeground(wnd);
  const Capture shot = CapturePainted(wnd);
  ASSERT_FALSE(shot.Empty());
  const RECT window = WindowRect(wnd);
  const RECT client = ClientRectOnScreen(wnd);
  ASSERT_EQ(window.right - window.left, shot.width);
  const int ox = client.left - window.left, oy = client.top - window.top;
  const int cw = client.right - client.left, ch = client.bottom - client.top;
  int grey = 0, total = 0;
  for (int x = cw / 4; x < cw * 3 / 4; ++x, ++total) {
    grey += ColorNear(shot.At(ox + x, oy + 20), 248, 248, 248, 2);
  }
  EXPECT_GE(grey * 100, total * 60) << grey << " of " << total;
  EXPECT_TRUE(ColorNear(shot.At(ox + cw / 2, oy), 255, 255, 255, 2))
      << std::hex << shot.At(ox + cw / 2, oy);
  EXPECT_FALSE(ColorNear(shot.At(ox + cw / 2, oy + ch / 2), 248, 248, 248, 2));
  EXPECT_TRUE(SaveCapture(shot, JoinPath(ArtifactDir(), L"viewer_empty_window.png")));

  // StartStat and "main"/"open" at once, the start source a second later.
  const std::wstring events = data.File(L"svc_bridge_events.log");
  auto has_event = [&](const std::string& e) {
    const std::vector<std::string> lines = ReadLines(events);
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.size() >= e.size() && l.compare(l.size() - e.size(), e.size(), e) == 0;
    });
  };
  EXPECT_TRUE(WaitUntil([&] { return has_event("\tsession\tstart"); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return has_event("\tmain\topen"); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return has_event("\tmain\topen_unknown"); }, 8000));

  EXPECT_TRUE(CloseWithEscape(p, wnd));
  EXPECT_FALSE(FileExists(data.File(L"main.log")));  // no marker, no log
}

TEST_F(ViewerStartupTest, StartSourceComesFromTheFromSwitch) {
  TempDir data(L"viewer-from");
  Process p;
  HWND wnd = StartViewer(p, data, L"--from=openwith");
  ASSERT_NE(nullptr, wnd);
  const std::wstring events = data.File(L"svc_bridge_events.log");
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const std::string& l : ReadLines(events)) {
          if (l.find("\tmain\topen_shell") != std::string::npos) return true;
        }
        return false;
      },
      8000));
  EXPECT_TRUE(CloseWithEscape(p, wnd));
}

TEST_F(ViewerStartupTest, EnterTogglesFullScreenAndEscapeLeavesItThenCloses) {
  TempDir data(L"viewer-fullscreen");
  SetAppKey(data, L"last_position", L"200_150_1000_750");
  Process p;
  HWND wnd = StartViewer(p, data);
  ASSERT_NE(nullptr, wnd);
  const RECT normal = WindowRect(wnd);
  const SIZE screen = ScreenSize();

  ASSERT_TRUE(PressKey(wnd, VK_RETURN));
  EXPECT_TRUE(WaitUntil(
      [&] {
        return RectIs(wnd, RECT{0, 0, screen.cx, screen.cy});
      },
      5000))
      << RectText(WindowRect(wnd));
  SaveCapture(CaptureWindow(wnd), JoinPath(ArtifactDir(), L"viewer_full_screen.png"));

  ASSERT_TRUE(PressKey(wnd, VK_ESCAPE));
  EXPECT_TRUE(WaitUntil([&] { return RectIs(wnd, normal); }, 5000)) << RectText(WindowRect(wnd));
  EXPECT_TRUE(p.Running());

  // Enter again goes back in; the full-screen command leaves it the same way.
  ASSERT_TRUE(PressKey(wnd, VK_RETURN));
  EXPECT_TRUE(WaitUntil([&] { return RectIs(wnd, RECT{0, 0, screen.cx, screen.cy}); }, 5000));
  ASSERT_TRUE(PostCommand(wnd, 20013));
  EXPECT_TRUE(WaitUntil([&] { return RectIs(wnd, normal); }, 5000)) << RectText(WindowRect(wnd));

  EXPECT_TRUE(CloseWithEscape(p, wnd));
  // Leaving full screen before closing stores the normal rectangle.
  EXPECT_EQ(RectText(normal), ReadIni(ConfigFile(data), L"app", L"last_position"));
}

TEST_F(ViewerStartupTest, PlacementIsRestoredFromTheSettings) {
  const RECT work = WorkArea();
  const LONG ww = work.right - work.left, wh = work.bottom - work.top;
  struct Case {
    std::wstring stored;
    bool maximised;
    RECT expected;
  };
  const RECT default_rect = {work.left + ww / 6, work.top + wh / 10, work.right - ww / 6,
                             work.bottom - wh / 10};
  const std::vector<Case> cases = {
      {L"MAX", true, {}},
      {L"100_100_700_900", true, {}},  // 600 x 800: too narrow
      {L"100_100_900_550", true, {}},  // 800 x 450: too low
      {L"1_2_3", true, {}},
      {L"garbage", true, {}},
      {L"", false, default_rect},
      {L"200_150_1000_750", false, {200, 150, 1000, 750}},
      {L"1000_100_1800_700", false, Fitted({1000, 100, 1800, 700}, work)},  // off the right
      {L"-300_-200_500_400", false, Fitted({-300, -200, 500, 400}, work)},  // off the top left
      {L"2000_1500_2900_2100", false, Fitted({2000, 1500, 2900, 2100}, work)},
      {L"0_0_5000_4000", false, Fitted({0, 0, 5000, 4000}, work)},  // larger than the screen
      {L"__300__200_1100_800_", false, {300, 200, 1100, 800}},      // empty parts are skipped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.empty() ? std::string("<empty>")
                                  : std::string(c.stored.begin(), c.stored.end()));
    TempDir data(L"viewer-place");
    SetAppKey(data, L"last_position", c.stored);
    Process p;
    HWND wnd = StartViewer(p, data);
    ASSERT_NE(nullptr, wnd);
    if (c.maximised) {
      EXPECT_TRUE(WaitUntil([&] { return IsMaximized(wnd); }, 3000));
    } else {
      EXPECT_FALSE(IsMaximized(wnd));
      EXPECT_TRUE(WaitUntil([&] { return RectIs(wnd, c.expected); }, 3000))
          << RectText(WindowRect(wnd)) << " wanted " << RectText(c.expected);
    }
    EXPECT_TRUE(CloseWithEscape(p, wnd));
  }
}

TEST_F(ViewerStartupTest, PlacementIsSavedOnClose) {
  {
    TempDir data(L"viewer-save");
    SetAppKey(data, L"last_position", L"200_150_1000_750");
    Process p;
    HWND wnd = StartViewer(p, data);
    ASSERT_NE(nullptr, wnd);
    ASSERT_TRUE(SetWindowRect(wnd, RECT{50, 60, 950, 760}));
    ASSERT_TRUE(WaitUntil([&] { return RectIs(wnd, RECT{50, 60, 950, 760}); }, 3000));
    ASSERT_TRUE(CloseWithEscape(p, wnd));
    EXPECT_EQ(L"50_60_950_760", ReadIni(ConfigFile(data), L"app", L"last_position"));
  }
  {
    TempDir data(L"viewer-save-max");
    SetAppKey(data, L"last_position", L"MAX");
    Process p;
    HWND wnd = StartViewer(p, data);
    ASSERT_NE(nullptr, wnd);
    ASSERT_TRUE(CloseWithEscape(p, wnd));
    EXPECT_EQ(L"MAX", ReadIni(ConfigFile(data), L"app", L"last_position"));
  }
  {
    // Maximised through the caption button's command, then saved as such.
    TempDir data(L"viewer-save-maxcmd");
    SetAppKey(data, L"last_position", L"200_150_1000_750");
    Process p;
    HWND wnd = StartViewer(p, data);
    ASSERT_NE(nullptr, wnd);
    ASSERT_TRUE(PostCommand(wnd, 1026));
    ASSERT_TRUE(WaitUntil([&] { return IsMaximized(wnd); }, 3000));
    ASSERT_TRUE(CloseWithEscape(p, wnd));
    EXPECT_EQ(L"MAX", ReadIni(ConfigFile(data), L"app", L"last_position"));
  }
}

TEST_F(ViewerStartupTest, WindowRefusesToShrinkBelowMinimumSize) {
  TempDir data(L"viewer-min");
  SetAppKey(data, L"last_position", L"200_150_1000_750");
  Process p;
  HWND wnd = StartViewer(p, data);
  ASSERT_NE(nullptr, wnd);
  const std::pair<RECT, RECT> cases[] = {
      {{200, 150, 800, 550}, {200, 150, 900, 650}},    // 600 x 400 -> 700 x 500
      {{200, 150, 850, 850}, {200, 150, 900, 850}},    // only too narrow
      {{200, 150, 1100, 500}, {200, 150, 1100, 650}},  // only too low
      {{200, 150, 900, 650}, {200, 150, 900, 650}},    // exactly the minimum
  };
  for (const auto& c : cases) {
    SetWindowRect(wnd, c.first);
    EXPECT_TRUE(WaitUntil([&] { return RectIs(wnd, c.second); }, 3000))
        << RectText(c.first) << " became " << RectText(WindowRect(wnd));
  }
  EXPECT_TRUE(CloseWithEscape(p, wnd));
}

TEST_F(ViewerStartupTest, MissingSkinArchiveShowsTheMessageAndEndsWithMinusOne) {
  for (const wchar_t* removed : {L"resources\\res.zip", L"resources"}) {
    SCOPED_TRACE(std::string(removed, removed + wcslen(removed)));
    TempDir data(L"viewer-noskin");
    Process p;
    LaunchOptions o;
    o.data_dir = data.path();
    o.copy_bin = true;
    o.remove = {removed};
    ASSERT_TRUE(p.Start(o));
    DWORD code = 0;
    std::wstring texts;
    ASSERT_TRUE(DismissUntilExit(p, &code, &texts));
    EXPECT_EQ(0xFFFFFFFFu, code);
    EXPECT_NE(std::wstring::npos, texts.find(kSkinMissingText));
  }
}

TEST_F(ViewerStartupTest, MissingServiceBridgeEndsSilentlyWithZero) {
  TempDir data(L"viewer-nobridge");
  Process p;
  LaunchOptions o;
  o.data_dir = data.path();
  o.copy_bin = true;
  o.remove = {L"SvcBridge.dll"};
  ASSERT_TRUE(p.Start(o));
  DWORD code = 99;
  bool saw_window = true;
  ASSERT_TRUE(p.WaitExitWatchingWindows(kStartTimeoutMs, &code, &saw_window));
  EXPECT_EQ(0u, code);
  EXPECT_FALSE(saw_window);
}

TEST_F(ViewerStartupTest, InstallAndUninstallEndWithoutWindowOrReceiver) {
  for (const wchar_t* mode : {L"/install", L"/uninstall"}) {
    SCOPED_TRACE(std::string(mode, mode + wcslen(mode)));
    TempDir data(L"viewer-mode");
    SetAppKey(data, L"last_position", L"MAX");
    Process p;
    LaunchOptions o;
    o.data_dir = data.path();
    o.args = mode;
    ASSERT_TRUE(p.Start(o));
    bool saw_window = false, saw_receiver = false;
    WindowFilter any;
    any.class_name = nullptr;
    any.pid = p.pid();
    ASSERT_TRUE(WaitUntil(
        [&] {
          saw_window = saw_window || !FindTopLevelWindows(any).empty();
          saw_receiver = saw_receiver || FindMessageWindow(kAlwaysReceiver, p.pid()) ||
                         FindMessageWindow(kSingleReceiver, p.pid());
          return !p.Running();
        },
        kStartTimeoutMs, 5));
    EXPECT_FALSE(saw_window);
    EXPECT_FALSE(saw_receiver);
    if (std::wstring(mode) == L"/install") {
      EXPECT_EQ(L"1", ReadIni(ConfigFile(data), L"app", L"user_set_default_viewer"));
    } else {
      EXPECT_FALSE(DirectoryExists(data.path()));  // the data folder is gone with the settings
    }
  }
}

// A second start hands over to the running viewer, which comes up, and ends without a window.
void ExpectHandOver(const TempDir& data, const std::wstring& first_args,
                    const std::wstring& second_args) {
  Process first;
  HWND wnd = StartViewer(first, data, first_args);
  ASSERT_NE(nullptr, wnd);
  EXPECT_TRUE(WaitUntil([&] { return FindMessageWindow(kAlwaysReceiver, first.pid()); }, 3000));
  ::ShowWindow(wnd, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(wnd) != FALSE; }, 3000));

  Process second;
  LaunchOptions o;
  o.data_dir = data.path();
  o.args = second_args;
  ASSERT_TRUE(second.Start(o));
  bool saw_window = true;
  DWORD code = 0;
  ASSERT_TRUE(second.WaitExitWatchingWindows(kStartTimeoutMs, &code, &saw_window));
  EXPECT_FALSE(saw_window);
  EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(wnd); }, 5000)) << "not brought up";
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(kAppName, Caption(wnd));
  EXPECT_TRUE(CloseWithEscape(first, wnd));
}

TEST_F(ViewerStartupTest, ShowExistingHandsOverAndEnds) {
  TempDir data(L"viewer-show");
  SetAppKey(data, L"last_position", L"200_150_1000_750");
  ExpectHandOver(data, L"", L"--show-existing");
}

TEST_F(ViewerStartupTest, SingleInstanceHandsOverAndEnds) {
  TempDir data(L"viewer-single");
  SetAppKey(data, L"last_position", L"200_150_1000_750");
  SetAppKey(data, L"only_one_instance", L"1");
  {
    Process p;
    HWND wnd = StartViewer(p, data);
    ASSERT_NE(nullptr, wnd);
    EXPECT_TRUE(WaitUntil([&] { return FindMessageWindow(kSingleReceiver, p.pid()); }, 3000));
    EXPECT_TRUE(CloseWithEscape(p, wnd));
  }
  ExpectHandOver(data, L"", L"");
}

TEST_F(ViewerStartupTest, LogMarkerMakesTheSettingsLineComeFirst) {
  TempDir data(L"viewer-log");
  ASSERT_TRUE(WriteFileBytes(data.File(L"main.log.on"), ""));
  const std::wstring config = ConfigFile(data);
  const std::wstring want = Lower(L"CAppConfig:" + config);
  size_t before = 0;
  for (int run = 0; run < 2; ++run) {  // every start appends, and starts with the settings line
    SCOPED_TRACE(run);
    Process p;
    HWND wnd = StartViewer(p, data);
    ASSERT_NE(nullptr, wnd);
    EXPECT_TRUE(CloseWithEscape(p, wnd));
    const std::vector<std::string> lines = ReadLines(data.File(L"main.log"));
    ASSERT_GT(lines.size(), before);
    // "[I][%4d][module] CAppConfig:<path>"
    const std::string& l = lines[before];
    const size_t at = l.find("] CAppConfig:");
    ASSERT_NE(std::string::npos, at) << l;
    EXPECT_EQ("[I][", l.substr(0, 4)) << l;
    EXPECT_TRUE(std::all_of(l.begin() + 4, l.begin() + 8, [](char ch) {
      return ch == ' ' || (ch >= '0' && ch <= '9');
    })) << l;
    EXPECT_EQ("][", l.substr(8, 2)) << l;
    EXPECT_GT(at, 10u) << "no module name: " << l;
    const std::string got = l.substr(at + 2);
    EXPECT_EQ(want, Lower(std::wstring(got.begin(), got.end()))) << l;
    before = lines.size();
  }
}

}  // namespace
