#include "app/command_line.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "app/app_config.h"
#include "app/app_folders.h"
#include "basic_lib/ini_file.h"
#include "basic_lib/path_util.h"
#include "unit/basic_lib/scratch_folder.h"

namespace {

using Switches = std::map<std::wstring, std::wstring>;
using Args = std::vector<std::wstring>;

TEST(CommandLineTest, TokensBecomeSwitchesAndArguments) {
  const struct {
    const wchar_t* text;
    Args args;
    Switches switches;
  } cases[] = {
      {L"", {}, {}},
      {L"   ", {}, {}},
      {L"a.jpg", {L"a.jpg"}, {}},
      {L"\"C:\\my pics\\a b.jpg\"", {L"\"C:\\my pics\\a b.jpg\""}, {}},
      {L"/install", {}, {{L"install", L""}}},
      {L"-x --y /z /-w", {}, {{L"x", L""}, {L"y", L""}, {L"z", L""}, {L"w", L""}}},
      {L"--from=desktop x.png", {L"x.png"}, {{L"from", L"desktop"}}},
      {L"/path=\"C:\\a b\\c.jpg\"", {}, {{L"path", L"C:\\a b\\c.jpg"}}},
      {L"/path=\"C:\\a b\\c.jpg", {}, {{L"path", L"\"C:\\a b\\c.jpg"}}},  // quote never closed
      {L"-k=\"", {}, {{L"k", L"\""}}},  // a lone quote is not a pair
      {L"-a=b=c", {}, {{L"a", L"b=c"}}},
      {L"-\"x=1\"", {}, {{L"\"x", L"1\""}}},  // value starts without a quote: kept
      {L"\"C:\\dir\\\" file.jpg", {L"\"C:\\dir\\\" file.jpg"}, {}},  // \" does not close
      {L"- / --", {L"-", L"/"}, {}},
      {L"/-", {}, {}},  // prefix "/-" leaves no name
      {L"-n=1 -n=2", {}, {{L"n", L"2"}}},
      {L"a\tb c", {L"a\tb", L"c"}, {}},  // only spaces separate
      {L"-=v", {}, {{L"", L"v"}}},
      {L"x  \"y z\"  -q", {L"x", L"\"y z\""}, {{L"q", L""}}},
  };
  for (const auto& c : cases) {
    CCommandLine cl;
    ASSERT_TRUE(cl.Parse(c.text));
    EXPECT_EQ(c.text, cl.GetRawText());
    Args args;
    cl.GetArguments(&args);
    EXPECT_EQ(c.args, args) << c.text;
    for (const auto& [name, value] : c.switches) {
      std::wstring got = L"unset";
      EXPECT_TRUE(cl.GetSwitchValue(name, &got)) << c.text << " / " << name;
      EXPECT_EQ(value, got) << c.text << " / " << name;
    }
  }
}

TEST(CommandLineTest, NameMatchingIgnoresTheCallersPrefixButNotLetterCase) {
  CCommandLine cl;
  cl.Parse(L"/install --setting -LockscreenSet");
  for (const wchar_t* name : {L"/install", L"--install", L"install", L"-install", L"/-install"}) {
    EXPECT_TRUE(cl.HasSwitch(name)) << name;
  }
  EXPECT_TRUE(cl.HasSwitch(L"--setting"));
  EXPECT_TRUE(cl.HasSwitch(L"setting"));
  EXPECT_TRUE(cl.HasSwitch(L"--LockscreenSet"));
  EXPECT_FALSE(cl.HasSwitch(L"--lockscreenset"));
  EXPECT_FALSE(cl.HasSwitch(L"-"));
  std::wstring value = L"x";
  EXPECT_FALSE(cl.GetSwitchValue(L"from", &value));
  EXPECT_EQ(L"", value);

  CCommandLine capital;
  capital.Parse(L"/Install");
  for (const wchar_t* name : {L"/install", L"--install", L"install"}) {
    EXPECT_FALSE(capital.HasSwitch(name)) << name;
  }
  EXPECT_TRUE(capital.HasSwitch(L"Install"));
}

TEST(CommandLineTest, LongTextParsesWhole) {
  std::wstring path(32760, L'p');
  std::wstring text = L"-v=" + path + L" x";
  ASSERT_EQ(32765u, text.size());
  CCommandLine cl;
  cl.Parse(text);
  std::wstring value;
  ASSERT_TRUE(cl.GetSwitchValue(L"v", &value));
  EXPECT_EQ(path, value);
  Args args;
  cl.GetArguments(&args);
  EXPECT_EQ((Args{L"x"}), args);
  CCommandLine unbalanced;
  unbalanced.Parse(L"\"" + std::wstring(32766, L'q'));
  unbalanced.GetArguments(&args);
  ASSERT_EQ(1u, args.size());
  EXPECT_EQ(32767u, args[0].size());
  EXPECT_EQ(L"", unbalanced.GetFilePath());
}

TEST(CommandLineTest, FilePathIsTheFirstExistingNonExeArgument) {
  test_support::ScratchFolder dir(L"cmdline");
  std::wstring pic = dir / L"my pic.jpg";
  std::wstring prog = dir / L"viewer.exe";
  std::wstring caps = dir / L"PICTURE.EXE";
  ASSERT_TRUE(test_support::WriteBytes(pic, "x"));
  ASSERT_TRUE(test_support::WriteBytes(prog, "x"));
  ASSERT_TRUE(test_support::WriteBytes(caps, "x"));
  std::wstring folder = dir / L"sub.folder";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const struct {
    std::wstring text;
    std::wstring expected;
  } cases[] = {
      {L"\"" + prog + L"\" \"" + pic + L"\"", pic},
      {L"\"" + dir.Path() + L"missing.jpg\" \"" + pic + L"\"", pic},
      {L"\"" + caps + L"\"", caps},  // ".EXE" is not ".exe"
      {L"\"" + prog + L"\"", L""},
      {L"--from=x", L""},
      {L"", L""},
      {L"\"" + folder + L"\" \"" + pic + L"\"", folder},
      {L"/open=\"" + pic + L"\"", L""},  // a switch value is not an argument
  };
  for (const auto& c : cases) {
    CCommandLine cl;
    cl.Parse(c.text);
    EXPECT_EQ(c.expected, cl.GetFilePath()) << c.text;
  }
}

// A message-only window standing in for a running viewer's receiver, or a top-level window
// standing in for its main window. It records every WM_COPYDATA and answers as told.
struct Receiver {
  LRESULT answer = 1;
  struct Message {
    ULONG_PTR tag;
    DWORD bytes;
    std::wstring text;
  };
  std::vector<Message> received;
  HWND wnd = nullptr;

  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Receiver*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (msg == WM_COPYDATA && self) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
      std::wstring text(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
      if (!text.empty() && text.back() == L'\0') text.pop_back();
      self->received.push_back({data->dwData, data->cbData, text});
      return self->answer;
    }
    return ::DefWindowProcW(wnd, msg, wp, lp);
  }

  Receiver(const std::wstring& window_class, const std::wstring& name, bool message_only,
           LRESULT answer_value)
      : answer(answer_value) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = window_class.c_str();
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
    wnd = ::CreateWindowExW(0, window_class.c_str(), name.c_str(), message_only ? 0 : WS_OVERLAPPED,
                            0, 0, 10, 10, message_only ? HWND_MESSAGE : nullptr, nullptr,
                            wc.hInstance, nullptr);
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Receiver() { ::DestroyWindow(wnd); }
};

class StartupModesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    suffix_ = std::to_wstring(::GetCurrentProcessId());
    targets_.always_receiver = L"TestAlways-" + suffix_;
    targets_.single_instance_receiver = L"TestSingle-" + suffix_;
    targets_.main_window_class = L"TestMainFrame-" + suffix_;
    ::CreateDirectoryW((dir_ / L"data").c_str(), nullptr);
    app::SetDataFolderOverride(dir_ / L"data");
    config_ = std::make_unique<CAppConfig>(app::GetConfigPath(), dir_.Path());
    config_->LoadAtStartup();
    pic_ = dir_ / L"shot 1.jpg";
    ASSERT_TRUE(test_support::WriteBytes(pic_, "x"));
  }
  void TearDown() override {
    app::SetDataFolderOverride(L"");
    ::SetEnvironmentVariableW(L"LUMORA_EXTBIND_LOG", nullptr);
  }

  bool Run(const std::wstring& text, DWORD own_pid = 0) {
    CCommandLine cl;
    cl.SetHandoverTargetsForTest(targets_);
    // Our own windows stand in for another process's unless told otherwise.
    cl.SetOwnProcessIdForTest(own_pid ? own_pid : ::GetCurrentProcessId() + 4);
    cl.Parse(text);
    return cl.RunStartupModes(*config_);
  }
  std::unique_ptr<Receiver> Always(LRESULT answer) {
    return std::make_unique<Receiver>(L"TestReceiverClass", targets_.always_receiver, true, answer);
  }
  std::unique_ptr<Receiver> Single(LRESULT answer) {
    return std::make_unique<Receiver>(L"TestReceiverClass", targets_.single_instance_receiver, true,
                                      answer);
  }
  std::unique_ptr<Receiver> MainWindow(const std::wstring& caption, LRESULT answer) {
    return std::make_unique<Receiver>(targets_.main_window_class, caption, false, answer);
  }

  test_support::ScratchFolder dir_{L"startup"};
  std::wstring suffix_;
  CCommandLine::HandoverTargets targets_;
  std::unique_ptr<CAppConfig> config_;
  std::wstring pic_;
};

TEST_F(StartupModesTest, SwitchesGoToTheAlwaysOnReceiver) {
  auto always = Always(1);
  EXPECT_FALSE(Run(L"--setting"));
  std::wstring show = L"--show-existing \"" + pic_ + L"\"";
  EXPECT_FALSE(Run(show));
  EXPECT_FALSE(Run(L"/LockscreenSet --from=tray"));
  ASSERT_EQ(3u, always->received.size());
  EXPECT_EQ(L"--setting", always->received[0].text);
  EXPECT_EQ(handover::kOpenRequestTag, always->received[0].tag);
  EXPECT_EQ((9u + 1) * 2, always->received[0].bytes);
  EXPECT_EQ(show, always->received[1].text);
  EXPECT_EQ((show.size() + 1) * 2, always->received[1].bytes);
  EXPECT_EQ(L"/LockscreenSet --from=tray", always->received[2].text);
}

TEST_F(StartupModesTest, ZeroAnswerOrNoReceiverLetsStartUpGoOn) {
  EXPECT_TRUE(Run(L"--setting"));  // nobody there
  auto always = Always(0);
  EXPECT_TRUE(Run(L"--setting"));
  EXPECT_EQ(1u, always->received.size());
  EXPECT_TRUE(Run(L"--Setting"));  // other letter case: not the switch
  EXPECT_EQ(1u, always->received.size());
}

TEST_F(StartupModesTest, SingleInstanceGetsThePathOnlyWhenTheSettingIsOn) {
  auto single = Single(1);
  std::wstring text = L"\"" + pic_ + L"\"";
  config_->onlyOneInstance = 0;
  EXPECT_TRUE(Run(text));
  EXPECT_TRUE(single->received.empty());
  config_->onlyOneInstance = 1;
  EXPECT_FALSE(Run(text));
  EXPECT_FALSE(Run(L""));  // no file: the running viewer just comes to the front
  ASSERT_EQ(2u, single->received.size());
  EXPECT_EQ(pic_, single->received[0].text);
  EXPECT_EQ(L"", single->received[1].text);
  EXPECT_EQ(2u, single->received[1].bytes);
}

TEST_F(StartupModesTest, FailedSwitchHandOverFallsThroughToTheNextAttempt) {
  auto always = Always(0);
  auto single = Single(1);
  config_->onlyOneInstance = 1;
  EXPECT_FALSE(Run(L"--setting \"" + pic_ + L"\""));
  EXPECT_EQ(1u, always->received.size());
  ASSERT_EQ(1u, single->received.size());
  EXPECT_EQ(pic_, single->received[0].text);
}

TEST_F(StartupModesTest, MainWindowsShowingNoImageTakeTheFile) {
  auto busy = MainWindow(L"a.jpg ( 10x10 ) - 100%", 1);
  auto refusing = MainWindow(handover::kDisplayName, 0);
  EXPECT_TRUE(Run(L"\"" + pic_ + L"\""));
  EXPECT_TRUE(busy->received.empty());
  EXPECT_EQ(1u, refusing->received.size());

  auto idle = MainWindow(handover::kDisplayName, 1);
  EXPECT_FALSE(Run(L"\"" + pic_ + L"\""));
  ASSERT_EQ(1u, idle->received.size());
  EXPECT_EQ(pic_, idle->received[0].text);
  EXPECT_EQ(handover::kOpenRequestTag, idle->received[0].tag);
  EXPECT_TRUE(busy->received.empty());

  // This process's own windows never count.
  EXPECT_TRUE(Run(L"\"" + pic_ + L"\"", ::GetCurrentProcessId()));
  EXPECT_EQ(1u, idle->received.size());
}

TEST_F(StartupModesTest, InstallSavesTheChoiceCallsTheLibraryAndReleasesTheMutex) {
  std::wstring log = dir_ / L"calls.txt";
  ::SetEnvironmentVariableW(L"LUMORA_EXTBIND_LOG", log.c_str());
  basic_lib::SetExeFolderOverride(FAKE_EXT_BIND_DIR);
  basic_lib::ScopedKernelHandle held(
      ::CreateMutexW(nullptr, FALSE, handover::kAssociationMutexName));
  auto always = Always(1);
  EXPECT_FALSE(Run(L"/install --setting"));
  basic_lib::SetExeFolderOverride(L"");
  EXPECT_TRUE(always->received.empty());  // install decides before any hand-over
  EXPECT_EQ("SetDefaultImageViewer 0\n", test_support::ReadBytes(log));
  int64_t stored = 0;
  ASSERT_TRUE(
      basic_lib::ReadIniNumber(app::GetConfigPath(), L"app", L"user_set_default_viewer", &stored));
  EXPECT_EQ(1, stored);
  // Another thread can take the mutex at once, and it was not abandoned.
  DWORD wait = 0;
  std::thread([&] {
    wait = ::WaitForSingleObject(held.Get(), 0);
    if (wait == WAIT_OBJECT_0) ::ReleaseMutex(held.Get());
  }).join();
  EXPECT_EQ(WAIT_OBJECT_0, wait);
}

TEST_F(StartupModesTest, UninstallCallsTheLibraryAndDeletesTheDataFolder) {
  std::wstring log = dir_ / L"calls.txt";
  ::SetEnvironmentVariableW(L"LUMORA_EXTBIND_LOG", log.c_str());
  config_->Save();
  ASSERT_TRUE(basic_lib::FileExists(app::GetConfigPath()));
  basic_lib::SetExeFolderOverride(FAKE_EXT_BIND_DIR);
  EXPECT_FALSE(Run(L"-uninstall"));
  basic_lib::SetExeFolderOverride(L"");
  EXPECT_EQ("UnInstall 80000001\n", test_support::ReadBytes(log));
  EXPECT_FALSE(basic_lib::PathExists(dir_ / L"data"));
  EXPECT_TRUE(basic_lib::FileExists(pic_));
}

TEST_F(StartupModesTest, MissingAssociationLibraryStillEndsInstallAndUninstall) {
  basic_lib::SetExeFolderOverride(dir_ / L"no_library_here");
  EXPECT_FALSE(Run(L"/install"));
  EXPECT_FALSE(Run(L"/uninstall"));
  basic_lib::SetExeFolderOverride(L"");
  EXPECT_FALSE(basic_lib::PathExists(dir_ / L"data"));
}

}  // namespace
