#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "basic_lib/scoped_handle.h"
#include "companions/tray/tray_core.h"
#include "ipc-message/message/channel.h"
#include "ipc-message/message/channelimpl.h"
#include "unit/ipc_message/test_util.h"

namespace {

using ipc_test::PumpUntil;
using ipc_test::UniqueName;

IPC::Message Make(int32_t routing, uint32_t type) {
  return IPC::Message(routing, type, IPC::Message::PRIORITY_NORMAL);
}

TEST(TrayRecordTest, FormatsEveryMessageType) {
  struct Case {
    IPC::Message message;
    const char* expected;
  };
  auto with_int = [](uint32_t type, int v) {
    IPC::Message m = Make(1, type);
    m.WriteInt(v);
    return m;
  };
  auto assoc = [](const std::string& s, int state) {
    IPC::Message m = Make(1, 4);
    m.WriteString(s);
    m.WriteInt(state);
    return m;
  };
  IPC::Message long_length = Make(1, 4);
  long_length.WriteInt(1000);
  long_length.WriteInt(1);
  IPC::Message extra = with_int(5, 1);
  extra.WriteInt(9);
  IPC::Message unknown = Make(0, 77);
  unknown.WriteBytes("\x01\xff", 2);
  const Case cases[] = {
      {with_int(1, 1), "type=1 routing=1 priority=2 value=1"},
      {Make(1, 2), "type=2 routing=1 priority=2"},
      {with_int(3, 0x241), "type=3 routing=1 priority=2 value=577"},
      {assoc("open", 1), "type=4 routing=1 priority=2 text=\"open\" state=1"},
      {assoc("jpg", 0), "type=4 routing=1 priority=2 text=\"jpg\" state=0"},
      {assoc("a\"b\n", 1), "type=4 routing=1 priority=2 text=\"a\\x22b\\x0a\" state=1"},
      {with_int(5, 0), "type=5 routing=1 priority=2 value=0"},
      {with_int(6, 15), "type=6 routing=1 priority=2 value=15"},
      {Make(1, 1), "type=1 routing=1 priority=2 malformed size=0 bytes="},
      {long_length, "type=4 routing=1 priority=2 malformed size=8 bytes=e803000001000000"},
      {extra, "type=5 routing=1 priority=2 value=1 extra size=8 bytes=0100000009000000"},
      {unknown, "type=77 routing=0 priority=2 size=4 bytes=01ff0000"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, lumora_tray::FormatRecord(c.message));
}

TEST(TrayRecordTest, Switches) {
  lumora_tray::Options o = lumora_tray::ParseCommandLine(
      L"LumoraTray.exe \"C:\\pics\\a b.jpg\" --need-upgrade-privilege-now --entry=main "
      L"--from=main --data-dir=C:\\data --instance=X1 --quit-viewers");
  EXPECT_EQ(L"C:\\data", o.data_dir);
  EXPECT_EQ(L"X1", o.instance);
  EXPECT_TRUE(o.quit_viewers);
  o = lumora_tray::ParseCommandLine(L"LumoraTray.exe --from=main");
  EXPECT_TRUE(o.data_dir.empty());
  EXPECT_TRUE(o.instance.empty());
  EXPECT_FALSE(o.quit_viewers);
  o = lumora_tray::ParseCommandLine((L"x --data-dir=" + std::wstring(5000, L'a')).c_str());
  EXPECT_TRUE(o.data_dir.empty());
}

std::wstring WindowsPath(std::wstring p) {
  for (auto& c : p) {
    if (c == L'/') c = L'\\';
  }
  return p;
}

// A fresh folder under the run's temporary folder.
std::wstring MakeTempFolder(const std::wstring& leaf) {
  wchar_t buf[MAX_PATH] = {};
  std::wstring root;
  if (::GetEnvironmentVariableW(L"LUMORA_TEST_TMP", buf, MAX_PATH) > 0) {
    root = L"Z:" + WindowsPath(buf);
  } else {
    ::GetTempPathW(MAX_PATH, buf);
    root = buf;
  }
  if (root.back() != L'\\') root += L'\\';
  std::wstring folder = root + leaf;
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  std::vector<std::string> lines;
  basic_lib::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
  if (!file) return lines;
  std::string text;
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(file.Get(), buf, sizeof(buf), &n, nullptr) && n > 0) text.append(buf, n);
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

bool MutexExists(const std::wstring& name) {
  basic_lib::ScopedKernelHandle h(::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
  return h.IsValid();
}

class TrayProcess {
 public:
  bool Start(const std::wstring& args) {
    std::wstring exe = WindowsPath(std::wstring(LUMORA_BIN_DIR) + L"/LumoraTray.exe");
    std::wstring command = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi)) {
      return false;
    }
    ::CloseHandle(pi.hThread);
    process_.Reset(pi.hProcess);
    return true;
  }
  // Pumps our own messages while waiting, so the tray's sends to us are answered.
  bool WaitExit(DWORD timeout_ms, DWORD* code) {
    bool ended =
        PumpUntil([&] { return ::WaitForSingleObject(process_.Get(), 0) == 0; }, timeout_ms);
    if (ended && code) ::GetExitCodeProcess(process_.Get(), code);
    return ended;
  }
  ~TrayProcess() {
    if (process_ && ::WaitForSingleObject(process_.Get(), 0) != WAIT_OBJECT_0) {
      ::TerminateProcess(process_.Get(), 1);
      ::WaitForSingleObject(process_.Get(), 5000);
    }
  }

 private:
  basic_lib::ScopedKernelHandle process_;
};

class ViewerSide : public IChannelListener2 {
 public:
  void OnMessageReceived(const IPC::Message& message) override { types.push_back(message.type()); }
  int GetRoutingId() override { return lumora_tray::kViewerRoutingId; }
  void OnPeerLost(bool) override { ++peer_lost; }
  std::vector<uint32_t> types;
  int peer_lost = 0;
};

// The test process plays the viewer against the real tray program.
TEST(TrayProcessTest, QueuedSendsRecordedQuitBroadcastAndExit) {
  std::wstring tag = UniqueName(L"tray");
  std::wstring data = MakeTempFolder(tag);
  std::wstring channel_name = std::wstring(lumora_tray::kChannelName) + tag;
  std::wstring server_name = std::wstring(CChannel::kServerPrefix) + channel_name;

  TrayProcess tray;
  ASSERT_TRUE(tray.Start(L"--from=main --instance=" + tag + L" --data-dir=\"" + data + L"\""));
  ASSERT_TRUE(
      PumpUntil([&] { return CChannelImpl::FindPeerWindow(server_name) != nullptr; }, 10000));
  EXPECT_TRUE(MutexExists(std::wstring(lumora_tray::kTrayMutex) + tag));
  EXPECT_TRUE(MutexExists(std::wstring(lumora_tray::kUpgradeMutex) + tag));

  // A second tray of the same session sees the mutex and leaves at once.
  {
    TrayProcess second;
    ASSERT_TRUE(second.Start(L"--instance=" + tag));
    DWORD code = 99;
    ASSERT_TRUE(second.WaitExit(10000, &code));
    EXPECT_EQ(0u, code);
  }

  CChannel viewer;
  ASSERT_TRUE(viewer.Connect(channel_name, true));
  ViewerSide listener;
  viewer.AddListener(&listener);

  IPC::Message quick = Make(1, 1);
  quick.WriteInt(1);
  IPC::Message hotkey = Make(1, 3);
  hotkey.WriteInt(0x0241);
  IPC::Message assoc = Make(1, 4);
  assoc.WriteString("open");
  assoc.WriteInt(1);
  IPC::Message ext = Make(1, 4);
  ext.WriteString("webp");
  ext.WriteInt(0);
  IPC::Message lock = Make(1, 5);
  lock.WriteInt(1);
  IPC::Message lock_time = Make(1, 6);
  lock_time.WriteInt(15);
  for (const IPC::Message* m : {&quick, &hotkey, &assoc, &ext, &lock, &lock_time}) {
    EXPECT_EQ(1, viewer.Send(*m, true, false));
  }
  std::wstring record = data + L"\\" + lumora_tray::kRecordFileName;
  const std::vector<std::string> expected = {
      "type=1 routing=1 priority=2 value=1",
      "type=3 routing=1 priority=2 value=577",
      "type=4 routing=1 priority=2 text=\"open\" state=1",
      "type=4 routing=1 priority=2 text=\"webp\" state=0",
      "type=5 routing=1 priority=2 value=1",
      "type=6 routing=1 priority=2 value=15",
  };
  ASSERT_TRUE(PumpUntil([&] { return ReadLines(record).size() >= expected.size(); }, 10000));
  EXPECT_EQ(expected, ReadLines(record));

  // The tray's own switch tells the viewers to quit.
  {
    TrayProcess quitter;
    ASSERT_TRUE(quitter.Start(L"--quit-viewers --instance=" + tag));
    DWORD code = 99;
    ASSERT_TRUE(quitter.WaitExit(10000, &code));
    EXPECT_EQ(0u, code);
  }
  ASSERT_TRUE(PumpUntil([&] { return !listener.types.empty(); }));
  EXPECT_EQ(std::vector<uint32_t>{2}, listener.types);

  // The exit message is recorded and ends the tray, which lets go of its mutexes.
  EXPECT_EQ(1, viewer.Send(Make(1, 2), true, false));
  DWORD code = 99;
  ASSERT_TRUE(tray.WaitExit(10000, &code));
  EXPECT_EQ(0u, code);
  EXPECT_EQ("type=2 routing=1 priority=2", ReadLines(record).back());
  EXPECT_FALSE(MutexExists(std::wstring(lumora_tray::kTrayMutex) + tag));
  EXPECT_FALSE(MutexExists(std::wstring(lumora_tray::kUpgradeMutex) + tag));
  ASSERT_TRUE(PumpUntil([&] { return listener.peer_lost == 1; }, 4000));

  // Nobody left to tell: the quit switch reports failure.
  TrayProcess quitter;
  ASSERT_TRUE(quitter.Start(L"--quit-viewers --instance=" + tag + L"-none"));
  ASSERT_TRUE(quitter.WaitExit(10000, &code));
  EXPECT_EQ(1u, code);
}

}  // namespace
