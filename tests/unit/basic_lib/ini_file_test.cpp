#include "basic_lib/ini_file.h"

#include <gtest/gtest.h>

#include "unit/basic_lib/scratch_folder.h"

namespace {

TEST(IniFileTest, StringsTellAbsentFromEmptyAndReadLongValues) {
  test_support::ScratchFolder dir(L"ini");
  std::wstring file = dir / L"t.ini";
  std::wstring v300(300, L'a');
  std::wstring v5000(5000, L'b');
  std::wstring v248(248, L'c');
  ASSERT_TRUE(test_support::WriteUtf16File(file, L"[s]\r\nempty=\r\nlong=" + v300 + L"\r\nhuge=" +
                                                     v5000 + L"\r\nedge=" + v248 +
                                                     L"\r\nzh=\u56fe\u7247\r\n"));
  std::wstring value = L"unchanged";
  EXPECT_FALSE(basic_lib::ReadIniString(file, L"s", L"absent", &value));
  EXPECT_EQ(L"unchanged", value);
  EXPECT_FALSE(basic_lib::ReadIniString(file, L"nosection", L"long", &value));
  EXPECT_FALSE(basic_lib::ReadIniString(dir / L"missing.ini", L"s", L"long", &value));
  EXPECT_FALSE(basic_lib::ReadIniString(file, L"", L"long", &value));
  EXPECT_TRUE(basic_lib::ReadIniString(file, L"s", L"empty", &value));
  EXPECT_EQ(L"", value);
  EXPECT_TRUE(basic_lib::ReadIniString(file, L"s", L"long", &value));
  EXPECT_EQ(v300, value);
  EXPECT_TRUE(basic_lib::ReadIniString(file, L"s", L"edge", &value));
  EXPECT_EQ(v248, value);
  // Longer than the second buffer: cut to its 4095 characters, never beyond.
  EXPECT_TRUE(basic_lib::ReadIniString(file, L"s", L"huge", &value));
  EXPECT_EQ(v5000.substr(0, 4095), value);
  EXPECT_TRUE(basic_lib::ReadIniString(file, L"s", L"zh", &value));
  EXPECT_EQ(L"\u56fe\u7247", value);
}

TEST(IniFileTest, NumbersRoundTripAndEmptyCountsAsAbsent) {
  test_support::ScratchFolder dir(L"ini");
  std::wstring file = dir / L"n.ini";
  ASSERT_TRUE(basic_lib::WriteIniNumber(file, L"s", L"neg", -5));
  ASSERT_TRUE(basic_lib::WriteIniNumber(file, L"s", L"big", 4294967304LL));
  ASSERT_TRUE(basic_lib::WriteIniString(file, L"s", L"empty", L""));
  ASSERT_TRUE(basic_lib::WriteIniString(file, L"s", L"word", L"abc"));
  int64_t v = 99;
  EXPECT_TRUE(basic_lib::ReadIniNumber(file, L"s", L"neg", &v));
  EXPECT_EQ(-5, v);
  EXPECT_TRUE(basic_lib::ReadIniNumber(file, L"s", L"big", &v));
  EXPECT_EQ(4294967304LL, v);
  EXPECT_TRUE(basic_lib::ReadIniNumber(file, L"s", L"word", &v));
  EXPECT_EQ(0, v);
  v = 99;
  EXPECT_FALSE(basic_lib::ReadIniNumber(file, L"s", L"empty", &v));
  EXPECT_FALSE(basic_lib::ReadIniNumber(file, L"s", L"absent", &v));
  EXPECT_EQ(99, v);
  // A missing folder: the write fails and creates nothing.
  EXPECT_FALSE(basic_lib::WriteIniNumber(dir / L"no\\such\\x.ini", L"s", L"k", 1));
  EXPECT_FALSE(basic_lib::PathExists(dir / L"no"));
}

}  // namespace
