// The viewer and the real companion tray program on their message channel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/driver/e2e_driver.h"

namespace {

using namespace e2e;

constexpr wchar_t kTrayExe[] = L"LumoraTray.exe";
constexpr wchar_t kClientWindow[] = L"Lumora.Client.MsgClass.DiSVO-qd0s5dnr97138p58";
constexpr wchar_t kServerWindow[] = L"Lumora.Server.MsgClass.DiSVO-qd0s5dnr97138p58";
constexpr wchar_t kRecordFile[] = L"tray_messages.txt";
constexpr WORD kCloseButton = 1023;
constexpr DWORD kExitTimeoutMs = 15000;
const std::string kExitRecord = "type=2 routing=1 priority=2";

// A 1 x 1 white 24-bit BMP.
std::string TinyBitmap() {
  std::string b = "BM";
  auto put32 = [&b](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  put32(58);
  put32(0);
  put32(54);
  put32(40);
  put32(1);
  put32(1);
  b += std::string("\x01\x00\x18\x00", 4);
  put32(0);
  put32(4);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  b += std::string("\xFF\xFF\xFF\x00", 4);
  return b;
}

class TrayChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FileExists(JoinPath(LUMORA_BIN_DIR, kTrayExe)));
    ASSERT_TRUE(FindTopLevelWindows(WindowFilter()).empty())
        << "another viewer is running; e2e scenarios need the display to themselves";
    ASSERT_TRUE(FindProcessesByName(kTrayExe).empty())
        << "another tray program is running and would serve the channel";
  }

  void SetAppKey(const wchar_t* key, const wchar_t* value) {
    ASSERT_TRUE(WriteIni(data_.File(L"config.ini"), L"app", key, value));
  }

  // The tray program on the scenario's data folder, with its channel window up.
  void StartTray() {
    LaunchOptions o;
    o.exe_name = kTrayExe;
    o.args = L"--from=main";
    o.data_dir = data_.path();
    ASSERT_TRUE(tray_.Start(o));
    ASSERT_TRUE(WaitUntil([] { return FindMessageWindow(kServerWindow) != nullptr; }, 20000));
  }

  // A viewer whose end of the channel is connected.
  HWND StartViewer(Process& p, const std::wstring& args = L"") {
    LaunchOptions o;
    o.data_dir = data_.path();
    o.args = args;
    if (!p.Start(o)) return nullptr;
    HWND wnd = p.WaitWindow();
    if (!wnd) return nullptr;
    const DWORD pid = p.pid();
    if (!WaitUntil([pid] { return FindMessageWindow(kClientWindow, pid) != nullptr; }, 10000)) {
      return nullptr;
    }
    return wnd;
  }

  std::vector<std::string> Records() { return ReadLines(data_.File(kRecordFile)); }

  TempDir data_{L"tray"};
  Process tray_;
};

TEST_F(TrayChannelTest, TrayQuitRequestClosesTheRunningViewer) {
  SetAppKey(L"completely_exit", L"0");
  StartTray();
  Process viewer;
  ASSERT_NE(nullptr, StartViewer(viewer));

  Process quitter;
  LaunchOptions o;
  o.exe_name = kTrayExe;
  o.args = L"--quit-viewers";
  o.data_dir = data_.path();
  ASSERT_TRUE(quitter.Start(o));
  DWORD code = 99;
  ASSERT_TRUE(quitter.WaitExit(kExitTimeoutMs, &code));
  EXPECT_EQ(0u, code);  // one viewer reached

  ASSERT_TRUE(viewer.WaitExit(kExitTimeoutMs, &code));
  EXPECT_EQ(0u, code);
  // Without completely_exit the tray program is left running and hears no exit message.
  EXPECT_TRUE(tray_.Running());
  for (const std::string& line : Records()) EXPECT_NE(kExitRecord, line);
}

TEST_F(TrayChannelTest, ClosingTheLastViewerCompletelyEndsTheTray) {
  SetAppKey(L"completely_exit", L"1");
  SetAppKey(L"only_one_instance", L"0");
  StartTray();
  Process first, second;
  // A viewer that shows a picture is not handed a new start; its caption says which.
  const std::wstring picture = data_.File(L"a.bmp");
  ASSERT_TRUE(WriteFileBytes(picture, TinyBitmap()));
  HWND first_wnd = StartViewer(first, L"\"" + picture + L"\"");
  ASSERT_NE(nullptr, first_wnd);
  ASSERT_TRUE(WaitUntil([&] { return Caption(first_wnd).rfind(L"a.bmp", 0) == 0; }, 10000))
      << Caption(first_wnd);
  HWND second_wnd = StartViewer(second);
  ASSERT_NE(nullptr, second_wnd);
  ASSERT_NE(first.pid(), WindowProcessId(second_wnd));

  // Closing one of two: the other viewer remains, so the tray program stays.
  ASSERT_TRUE(PostCommand(second_wnd, kCloseButton));
  ASSERT_TRUE(second.WaitExit(kExitTimeoutMs));
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(tray_.Running());
  for (const std::string& line : Records()) EXPECT_NE(kExitRecord, line);

  // Closing the last one sends the exit message and ends the tray program.
  ASSERT_TRUE(PostCommand(first_wnd, kCloseButton));
  ASSERT_TRUE(first.WaitExit(kExitTimeoutMs));
  DWORD code = 99;
  ASSERT_TRUE(tray_.WaitExit(kExitTimeoutMs, &code));
  EXPECT_EQ(0u, code);
  std::vector<std::string> records = Records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(kExitRecord, records.back());
  EXPECT_TRUE(FindProcessesByName(kTrayExe).empty());
}

}  // namespace
