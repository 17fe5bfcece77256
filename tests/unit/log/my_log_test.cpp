#include "log/my_log.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>

#include "unit/basic_lib/scratch_folder.h"

namespace {

TEST(LogLineTest, PrefixCarriesLevelRightAlignedLineAndModuleName) {
  const struct {
    const wchar_t* file;
    int line;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\src\\app\\app_config.cpp", 42, L"[I][  42][app_config] msg 7"},
      {L"/work/src/log/my_log.cpp", 7, L"[I][   7][my_log] msg 7"},
      {L"C:\\a.b\\Makefile", 12, L"[I][  12] msg 7"},
      {L"x.tar.gz", 12345, L"[I][12345][x.tar] msg 7"},
      {L"", 1, L"[I][   1] msg 7"},
  };
  for (const auto& c : cases) {
    LogLine line(L"[I]", c.file, c.line);
    line << "msg " << 7;
    EXPECT_EQ(c.expected, line.Text()) << c.file;
  }
  LogLine narrow(L"[I]", "C:\\src\\view.cpp", 3);
  narrow << L"wide " << std::wstring(L"\u56fe") << " " << std::string("narrow");
  EXPECT_EQ(L"[I][   3][view] wide \u56fe narrow", narrow.Text());
}

TEST(MyLogTest, WithoutMarkerNothingReachesTheDisk) {
  test_support::ScratchFolder dir(L"log");
  CMyLog log;
  log.Open(dir.Path());
  EXPECT_FALSE(log.IsOpen());
  log.Write(LogLine(L"[I]", __FILE__, __LINE__) << "dropped");
  EXPECT_FALSE(basic_lib::PathExists(CMyLog::LogPath(dir.Path())));

  CMyLog missing_folder;
  missing_folder.Open(dir / L"no_such_folder");
  EXPECT_FALSE(missing_folder.IsOpen());
}

TEST(MyLogTest, MarkerTurnsLoggingOnAndEveryRunAppends) {
  test_support::ScratchFolder dir(L"log");
  ASSERT_TRUE(test_support::WriteBytes(CMyLog::MarkerPath(dir.Path()), ""));
  {
    CMyLog log;
    log.Open(dir.Path());
    ASSERT_TRUE(log.IsOpen());
    log.Write(LogLine(L"[I]", L"C:\\src\\app_config.cpp", 10) << "CAppConfig:" << L"C:\\x.ini");
  }
  {
    CMyLog log;
    log.Open(dir.Path());
    log.Open(dir.Path());  // a second Open keeps the file it has
    log.Write(LogLine(L"[I]", L"C:\\src\\main.cpp", 5) << L"\u56fe\u7247");
  }
  EXPECT_EQ(
      "[I][  10][app_config] CAppConfig:C:\\x.ini\n[I][   5][main] \xE5\x9B\xBE\xE7\x89\x87\n",
      test_support::ReadBytes(CMyLog::LogPath(dir.Path())));
}

TEST(MyLogTest, ConcurrentWritersNeverInterleaveLines) {
  test_support::ScratchFolder dir(L"log");
  ASSERT_TRUE(test_support::WriteBytes(CMyLog::MarkerPath(dir.Path()), ""));
  CMyLog log;
  log.Open(dir.Path());
  ASSERT_TRUE(log.IsOpen());
  constexpr int kLines = 300;
  const std::wstring payload(200, L'p');
  auto writer = [&](int id) {
    for (int i = 0; i < kLines; ++i) {
      log.Write(LogLine(L"[I]", L"w.cpp", id) << L"thread" << id << L" n" << i << L" " << payload);
    }
  };
  std::thread a(writer, 1), b(writer, 2);
  a.join();
  b.join();
  log.Close();

  std::istringstream in(test_support::ReadBytes(CMyLog::LogPath(dir.Path())));
  std::set<std::string> seen;
  std::string line;
  int count = 0;
  std::string tail(200, 'p');
  while (std::getline(in, line)) {
    ++count;
    ASSERT_TRUE(line.rfind("[I][   1][w] thread1 n", 0) == 0 ||
                line.rfind("[I][   2][w] thread2 n", 0) == 0)
        << line.substr(0, 40);
    ASSERT_EQ(tail, line.substr(line.size() - 200));
    seen.insert(line.substr(0, line.size() - 200));
  }
  EXPECT_EQ(2 * kLines, count);
  EXPECT_EQ(static_cast<size_t>(2 * kLines), seen.size());
}

TEST(MyLogTest, MacroStampsTheCallingSource) {
  test_support::ScratchFolder dir(L"log");
  ASSERT_TRUE(test_support::WriteBytes(CMyLog::MarkerPath(dir.Path()), ""));
  CMyLog::Instance().Open(dir.Path());
  const int line = __LINE__ + 1;
  LUMORA_LOG_I("value:" << 5);
  CMyLog::DestroyInstance();  // closes the file
  char expected[64];
  snprintf(expected, sizeof(expected), "[I][%4d][my_log_test] value:5\n", line);
  EXPECT_EQ(expected, test_support::ReadBytes(CMyLog::LogPath(dir.Path())));
}

}  // namespace
