// The e2e driver checked against a stand-in window program of ours, so that a scenario failure
// against the viewer means the viewer, not the harness.
#include <gtest/gtest.h>

#include "e2e/driver/e2e_driver.h"

namespace {

using namespace e2e;

constexpr wchar_t kStandInClass[] = L"LumoraE2EStandInClass";

LaunchOptions StandIn(const std::wstring& args = L"") {
  LaunchOptions o;
  o.exe_name = L"e2e_standin.exe";
  o.bin_dir = LUMORA_E2E_STANDIN_DIR;
  o.args = args;
  return o;
}

bool CaptionBecomes(HWND wnd, const std::wstring& text) {
  return WaitUntil([&] { return Caption(wnd) == text; }, 5000);
}

TEST(HarnessTest, FindsTheWindowOfItsProcessAndPassesTheDataFolder) {
  TempDir data(L"standin-data");
  Process p;
  LaunchOptions o = StandIn();
  o.data_dir = data.path();
  ASSERT_TRUE(p.Start(o));
  HWND wnd = p.WaitWindow(kStartTimeoutMs, kStandInClass);
  ASSERT_NE(nullptr, wnd);
  EXPECT_EQ(p.pid(), WindowProcessId(wnd));
  // The first program of a fresh Wine prefix may answer slowly while Wine finishes starting.
  EXPECT_TRUE(WaitUntil([&] { return Caption(wnd) == L"standin"; }, 15000)) << Caption(wnd);
  EXPECT_EQ(L"100_100_740_580", RectText(WindowRect(wnd)));
  EXPECT_FALSE(IsMaximized(wnd));

  WindowFilter other;
  other.class_name = kStandInClass;
  other.pid = p.pid() + 4;  // a process id that is not ours
  EXPECT_EQ(nullptr, FindTopLevelWindow(other));

  ASSERT_TRUE(PostCommand(wnd, 1));
  EXPECT_TRUE(CaptionBecomes(wnd, L"data:" + data.path() + L"\\")) << Caption(wnd);
  ASSERT_TRUE(PostCommand(wnd, 2));
  EXPECT_TRUE(CaptionBecomes(wnd, L"exe:" + JoinPath(LUMORA_E2E_STANDIN_DIR, L"e2e_standin.exe")))
      << Caption(wnd);

  ASSERT_TRUE(SetWindowRect(wnd, RECT{50, 60, 850, 660}));
  EXPECT_TRUE(WaitUntil([&] { return RectText(WindowRect(wnd)) == L"50_60_850_660"; }, 3000));
}

TEST(HarnessTest, RealKeysCharactersWheelAndClicksArrive) {
  Process p;
  ASSERT_TRUE(p.Start(StandIn()));
  HWND wnd = p.WaitWindow(kStartTimeoutMs, kStandInClass);
  ASSERT_NE(nullptr, wnd);

  ASSERT_TRUE(PressKey(wnd, VK_F5));
  EXPECT_TRUE(CaptionBecomes(wnd, L"key:116")) << Caption(wnd);
  ASSERT_TRUE(TypeChar(wnd, L'x'));
  EXPECT_TRUE(CaptionBecomes(wnd, L"char:120")) << Caption(wnd);
  ASSERT_TRUE(Wheel(ClientToScreenPoint(wnd, 200, 150), -240));
  EXPECT_TRUE(CaptionBecomes(wnd, L"wheel:-240")) << Caption(wnd);
  ASSERT_TRUE(Click(ClientToScreenPoint(wnd, 10, 20)));
  EXPECT_TRUE(CaptionBecomes(wnd, L"click:10,20")) << Caption(wnd);

  ASSERT_TRUE(PressKey(wnd, VK_ESCAPE));
  DWORD code = 0;
  ASSERT_TRUE(p.WaitExit(10000, &code));
  EXPECT_EQ(7u, code);
}

TEST(HarnessTest, CapturesTheWindowPixelsToPngAndBmp) {
  Process p;
  ASSERT_TRUE(p.Start(StandIn()));
  HWND wnd = p.WaitWindow(kStartTimeoutMs, kStandInClass);
  ASSERT_NE(nullptr, wnd);
  BringToForeground(wnd);
  const RECT client = ClientRectOnScreen(wnd);
  const RECT window = WindowRect(wnd);
  const int cx = (client.left + client.right) / 2 - window.left;
  const int cy = (client.top + client.bottom) / 2 - window.top;
  Capture shot;
  // The first paint lands a little after the window maps.
  ASSERT_TRUE(WaitUntil(
      [&] {
        shot = CaptureWindow(wnd);
        return !shot.Empty() && ColorNear(shot.At(cx, cy), 10, 200, 30);
      },
      5000))
      << std::hex << (shot.Empty() ? 0u : shot.At(cx, cy));
  EXPECT_EQ(window.right - window.left, shot.width);
  EXPECT_EQ(window.bottom - window.top, shot.height);

  const std::wstring png = JoinPath(ArtifactDir(), L"harness_standin.png");
  const std::wstring bmp = JoinPath(ArtifactDir(), L"harness_standin.bmp");
  ::DeleteFileW(png.c_str());
  ::DeleteFileW(bmp.c_str());
  ASSERT_TRUE(SaveCapture(shot, png));
  ASSERT_TRUE(SaveCapture(shot, bmp));
  EXPECT_EQ(0u, ReadFileBytes(png).find("\x89PNG"));
  const std::string b = ReadFileBytes(bmp);
  EXPECT_EQ(0u, b.find("BM"));
  const size_t stride = (static_cast<size_t>(shot.width) * 3 + 3) & ~size_t{3};
  EXPECT_EQ(54 + stride * shot.height, b.size());
}

TEST(HarnessTest, ExitCodesAndWindowlessRunsAreSeen) {
  for (const auto& c : {std::make_pair(L"--exit=-1", 0xFFFFFFFFu), std::make_pair(L"--exit=0", 0u),
                        std::make_pair(L"--exit=3", 3u)}) {
    Process p;
    ASSERT_TRUE(p.Start(StandIn(c.first)));
    DWORD code = 12345;
    bool saw = true;
    ASSERT_TRUE(p.WaitExitWatchingWindows(kStartTimeoutMs, &code, &saw));
    EXPECT_EQ(c.second, code) << c.first;
    EXPECT_FALSE(saw);
  }
  // A program that shows a window is seen doing so.
  Process p;
  ASSERT_TRUE(p.Start(StandIn()));
  ASSERT_NE(nullptr, p.WaitWindow(kStartTimeoutMs, kStandInClass));
  bool saw = false;
  EXPECT_FALSE(p.WaitExitWatchingWindows(200, nullptr, &saw));  // still running
  EXPECT_TRUE(saw);
}

TEST(HarnessTest, RunsFromAPrivateCopyWithFilesRemovedAndAlwaysEndsTheProgram) {
  std::wstring copy;
  DWORD pid = 0;
  {
    Process p;
    LaunchOptions o = StandIn();
    o.copy_bin = true;
    o.remove = {L"resources\\marker.txt"};
    ASSERT_TRUE(p.Start(o));
    copy = p.bin_dir();
    pid = p.pid();
    EXPECT_NE(NormalizePath(LUMORA_E2E_STANDIN_DIR), copy);
    EXPECT_FALSE(FileExists(JoinPath(copy, L"resources\\marker.txt")));
    EXPECT_TRUE(DirectoryExists(JoinPath(copy, L"resources")));
    EXPECT_TRUE(FileExists(JoinPath(LUMORA_E2E_STANDIN_DIR, L"resources\\marker.txt")));
    HWND wnd = p.WaitWindow(kStartTimeoutMs, kStandInClass);
    ASSERT_NE(nullptr, wnd);
    ASSERT_TRUE(PostCommand(wnd, 2));
    EXPECT_TRUE(CaptionBecomes(wnd, L"exe:" + JoinPath(copy, L"e2e_standin.exe"))) << Caption(wnd);
    EXPECT_EQ(std::vector<DWORD>{pid}, FindProcessesByName(L"E2E_STANDIN.EXE"));
    EXPECT_EQ(pid, ResolveProcess(L"e2e_standin.exe"));
    EXPECT_EQ(pid, ResolveProcess(std::to_wstring(pid)));
  }
  // Leaving the scope ended the program and removed its copy.
  EXPECT_TRUE(FindProcessesByName(L"e2e_standin.exe").empty());
  EXPECT_FALSE(DirectoryExists(copy));
}

// driver.exe lives beside this test executable.
DWORD RunDriverCli(const std::wstring& args) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  folder.resize(folder.find_last_of(L"\\/"));
  Process cli;
  LaunchOptions o;
  o.exe_name = L"driver.exe";
  o.bin_dir = folder;
  o.args = args;
  DWORD code = 0xDEAD;
  if (!cli.Start(o) || !cli.WaitExit(30000, &code)) return 0xDEAD;
  return code;
}

TEST(HarnessTest, DriverCliWaitsForWindowsAndTakesScreenshots) {
  Process p;
  ASSERT_TRUE(p.Start(StandIn()));
  ASSERT_NE(nullptr, p.WaitWindow(kStartTimeoutMs, kStandInClass));
  EXPECT_EQ(0u, RunDriverCli(L"wait-window " + std::to_wstring(p.pid()) +
                             L" 5000 LumoraE2EStandInClass"));
  EXPECT_EQ(0u, RunDriverCli(L"wait-window e2e_standin.exe 5000 LumoraE2EStandInClass"));
  EXPECT_EQ(1u, RunDriverCli(L"wait-window e2e_standin.exe 200"));  // it has no viewer window
  EXPECT_EQ(1u, RunDriverCli(L"wait-window no_such_program.exe 200"));
  EXPECT_EQ(2u, RunDriverCli(L"frobnicate"));

  const std::wstring shot = JoinPath(ArtifactDir(), L"harness_screen.bmp");
  ::DeleteFileW(shot.c_str());
  EXPECT_EQ(0u, RunDriverCli(L"screenshot \"" + shot + L"\" --screen"));
  const SIZE s = ScreenSize();
  const size_t stride = (static_cast<size_t>(s.cx) * 3 + 3) & ~size_t{3};
  EXPECT_EQ(54 + stride * s.cy, ReadFileBytes(shot).size());
}

TEST(HarnessTest, WaitUntilHonoursItsDeadline) {
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_FALSE(WaitUntil([] { return false; }, 300));
  const ULONGLONG spent = ::GetTickCount64() - start;
  EXPECT_GE(spent, 290u);
  EXPECT_LT(spent, 3000u);
  int calls = 0;
  EXPECT_TRUE(WaitUntil([&] { return ++calls == 3; }, 5000, 1));
}

TEST(HarnessTest, IniAndPathHelpers) {
  TempDir dir(L"helpers");
  EXPECT_TRUE(DirectoryExists(dir.path()));
  const std::wstring ini = dir.File(L"config.ini");
  EXPECT_EQ(L"<absent>", ReadIni(ini, L"app", L"last_position"));
  ASSERT_TRUE(WriteIni(ini, L"app", L"last_position", L"MAX"));
  EXPECT_EQ(L"MAX", ReadIni(ini, L"app", L"last_position"));
  ASSERT_TRUE(WriteFileBytes(dir.File(L"lines.txt"), "a\r\nb\nc"));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), ReadLines(dir.File(L"lines.txt")));
  EXPECT_EQ(L"Z:\\tmp\\x", NormalizePath(L"/tmp/x/"));
  EXPECT_EQ(L"C:\\a\\b", NormalizePath(L"C:/a/b"));
  EXPECT_EQ(L"C:\\a\\b.txt", JoinPath(L"C:\\a\\", L"b.txt"));
}

}  // namespace
