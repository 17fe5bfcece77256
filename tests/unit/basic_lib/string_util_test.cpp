#include "basic_lib/string_util.h"

#include <gtest/gtest.h>

#include <limits>

#include "basic_lib/path_util.h"

namespace {

TEST(StringUtilTest, ParseInt64FollowsSignedDecimalRules) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  const struct {
    const wchar_t* text;
    int64_t expected;
  } cases[] = {
      {L"", 0},
      {L"abc", 0},
      {L"-", 0},
      {L"42", 42},
      {L"  \t42", 42},
      {L"+5", 5},
      {L"-7x9", -7},
      {L"12 34", 12},
      {L"9223372036854775807", kMax},
      {L"-9223372036854775808", kMin},
      {L"9223372036854775808", kMax},
      {L"99999999999999999999999", kMax},
      {L"-99999999999999999999999", kMin},
      {L"4294967304", 4294967304LL},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, basic_lib::ParseInt64(c.text)) << "text: " << c.text;
  }
}

TEST(StringUtilTest, SplittingAndCaseHelpers) {
  using V = std::vector<std::wstring>;
  EXPECT_EQ((V{L"1", L"2", L"3"}), basic_lib::SplitSkipEmpty(L"1,,2,3,", L","));
  EXPECT_EQ((V{}), basic_lib::SplitSkipEmpty(L"", L","));
  EXPECT_EQ((V{L"2019", L"05", L"04", L"13", L"02", L"09"}),
            basic_lib::SplitSkipEmpty(L"2019:05:04 13:02:09", L" :"));
  EXPECT_EQ((V{L"a", L"", L"b"}), basic_lib::SplitKeepEmpty(L"a//b", L'/'));
  EXPECT_EQ((V{L""}), basic_lib::SplitKeepEmpty(L"", L'/'));
  EXPECT_TRUE(basic_lib::StartsWithNoCase(L"ZH-cn", L"zh-CN"));
  EXPECT_FALSE(basic_lib::StartsWithNoCase(L"zh", L"zh-"));
  EXPECT_TRUE(basic_lib::ContainsNoCase(L"fr.INI", L".ini"));
  EXPECT_EQ(L"JPG", basic_lib::ToUpper(L"jpg"));
  EXPECT_EQ(L"a b 12", basic_lib::FormatW(L"%ls %hs %d", L"a", "b", 12));
  std::wstring long_text(5000, L'x');
  EXPECT_EQ(long_text, basic_lib::FormatW(L"%ls", long_text.c_str()));
  EXPECT_EQ(L"\u56fe\u7247", basic_lib::Utf8ToWide("\xE5\x9B\xBE\xE7\x89\x87"));
  EXPECT_EQ("\xE5\x9B\xBE", basic_lib::WideToUtf8(L"\u56fe"));
}

TEST(PathUtilTest, ExtensionsQuotesAndRoots) {
  EXPECT_EQ(L".jpg", basic_lib::FindExtension(L"C:\\a.b\\c.jpg"));
  EXPECT_EQ(L"", basic_lib::FindExtension(L"C:\\a.b\\c"));
  EXPECT_EQ(L".EXE", basic_lib::FindExtension(L"x.EXE"));
  EXPECT_EQ(L"C:\\a b\\c.jpg", basic_lib::UnquotePath(L"\"C:\\a b\\c.jpg\""));
  EXPECT_EQ(L"\"", basic_lib::UnquotePath(L"\""));
  EXPECT_EQ(L"\"abc", basic_lib::UnquotePath(L"\"abc"));
  for (const wchar_t* root : {L"", L"C:", L"C:\\", L"Z:/", L"\\", L"\\\\server\\share\\"}) {
    EXPECT_TRUE(basic_lib::IsRootOrEmptyPath(root)) << root;
  }
  EXPECT_FALSE(basic_lib::IsRootOrEmptyPath(L"C:\\users\\x\\Lumora\\"));
  EXPECT_EQ(L"C:\\x\\", basic_lib::WithTrailingBackslash(L"C:\\x"));
  EXPECT_EQ(L"C:\\x", basic_lib::WithoutTrailingBackslash(L"C:\\x\\\\"));
}

TEST(PathUtilTest, ExeFolderOverrideAndRealFolder) {
  std::wstring real = basic_lib::GetExeFolder();
  ASSERT_FALSE(real.empty());
  EXPECT_EQ(L'\\', real.back());
  EXPECT_TRUE(basic_lib::FolderExists(real));
  basic_lib::SetExeFolderOverride(L"Z:\\tmp\\fake");
  EXPECT_EQ(L"Z:\\tmp\\fake\\", basic_lib::GetExeFolder());
  basic_lib::SetExeFolderOverride(L"");
  EXPECT_EQ(real, basic_lib::GetExeFolder());
}

}  // namespace
