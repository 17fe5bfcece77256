// Drives the real "SvcBridge.dll" from the runnable folder through its exports.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "service_bridge/plib_wrapper.h"

namespace {

std::wstring TestTempRoot() {
  wchar_t buf[MAX_PATH] = {};
  DWORD n = ::GetEnvironmentVariableW(L"LUMORA_TEST_TMP", buf, MAX_PATH);
  std::wstring root;
  if (n > 0 && n < MAX_PATH) {
    root = buf;
    if (root[0] == L'/') root = L"Z:" + root;
  } else {
    ::GetTempPathW(MAX_PATH, buf);
    root = buf;
  }
  for (wchar_t& c : root) {
    if (c == L'/') c = L'\\';
  }
  if (root.back() != L'\\') root += L'\\';
  return root;
}

std::string ReadAll(const std::wstring& path) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  std::string out;
  char buf[4096];
  DWORD got = 0;
  while (::ReadFile(f, buf, sizeof(buf), &got, nullptr) && got > 0) out.append(buf, got);
  ::CloseHandle(f);
  return out;
}

// The last two tab-separated fields of every line ("category", "event").
std::vector<std::string> Events(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t t1 = line.find('\t');
    size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
    out.push_back(t2 == std::string::npos ? "<malformed>" : line.substr(t2 + 1));
  }
  return out;
}

class SvcBridgeDllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring dll = std::wstring(LUMORA_BIN_DIR) + L"/SvcBridge.dll";
    module_ = ::LoadLibraryW(dll.c_str());
    ASSERT_NE(nullptr, module_) << "cannot load the companion, error " << ::GetLastError();
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    data_ = TestTempRoot() + L"svc_bridge_" + std::wstring(name.begin(), name.end()) + L"\\";
    ::CreateDirectoryW(TestTempRoot().c_str(), nullptr);
    ::DeleteFileW((data_ + L"svc_bridge_events.log").c_str());
    ::DeleteFileW((data_ + L"svc_bridge.ini").c_str());
    ::RemoveDirectoryW(data_.c_str());
    ::SetEnvironmentVariableW(L"LUMORA_DATA_DIR", data_.c_str());
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"LUMORA_DATA_DIR", nullptr);
    if (module_) ::FreeLibrary(module_);
  }
  template <typename Fn>
  Fn Get(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
  }

  HMODULE module_ = nullptr;
  std::wstring data_;
};

TEST_F(SvcBridgeDllTest, RecordsUsageEventsAsLinesInTheDataFolder) {
  auto start = Get<StartStatFn>("StartStat");
  auto send = Get<SendStatUrlFn>("SendStatUrl");
  ASSERT_TRUE(start && send);
  EXPECT_TRUE(start());  // creates the missing data folder
  EXPECT_TRUE(send(L"main", L"open"));
  EXPECT_TRUE(send(L"main", L"open_unknown"));
  EXPECT_TRUE(send(L"feature", L"line\nbreak\tand tab"));
  EXPECT_FALSE(send(L"main", L""));
  EXPECT_FALSE(send(nullptr, L"open"));
  EXPECT_FALSE(send(L"main", nullptr));
  std::wstring huge(5000, L'e');
  EXPECT_TRUE(send(L"feature", huge.c_str()));
  EXPECT_TRUE(send(L"main", L"\u00f6ffnen"));

  const std::vector<std::string> expected = {"session\tstart",
                                             "main\topen",
                                             "main\topen_unknown",
                                             "feature\tline_break_and tab",
                                             "feature\t" + std::string(256, 'e'),
                                             "main\t\xc3\xb6"
                                             "ffnen"};
  EXPECT_EQ(expected, Events(ReadAll(data_ + L"svc_bridge_events.log")));
}

TEST_F(SvcBridgeDllTest, VersionTextIsTheRealSystemVersion) {
  auto version = Get<GetOsVersionFn>("GetOsVersion");
  ASSERT_TRUE(version);
  const wchar_t* text = version();
  ASSERT_NE(nullptr, text);
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto rtl = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  ASSERT_TRUE(rtl);
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_EQ(0, rtl(&info));
  const std::wstring prefix = L"Windows " + std::to_wstring(info.dwMajorVersion) + L"." +
                              std::to_wstring(info.dwMinorVersion) + L"." +
                              std::to_wstring(info.dwBuildNumber) + L" ";
  EXPECT_EQ(0u, std::wstring(text).find(prefix)) << text;
  EXPECT_EQ(text, version());  // the same buffer for the library's lifetime
}

TEST_F(SvcBridgeDllTest, QuickIndexStateLivesInItsOwnIni) {
  auto create = Get<CreatePLibWrapperFn>("CreatePLibWrapper");
  ASSERT_TRUE(create);
  IPLibWrapper* a = create();
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(0, a->Initialize(0, L"lumora", 0));
  EXPECT_EQ(1, a->GetQuickIndexState());  // on by default
  EXPECT_EQ(0, a->SetQuickIndexState(0));
  a->Release();

  IPLibWrapper* b = create();
  ASSERT_NE(nullptr, b);
  b->Initialize(0, L"lumora", 0);
  EXPECT_EQ(0, b->GetQuickIndexState());
  EXPECT_EQ(1, b->SetQuickIndexState(7));  // any non-zero value switches it on
  b->Release();

  const std::string ini = ReadAll(data_ + L"svc_bridge.ini");
  EXPECT_NE(std::string::npos, ini.find("[lumora]")) << ini;
  EXPECT_NE(std::string::npos, ini.find("quick_index=1")) << ini;
}

}  // namespace
