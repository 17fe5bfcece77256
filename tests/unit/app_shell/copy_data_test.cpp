#include "app/copy_data.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

COPYDATASTRUCT Make(const void* data, DWORD bytes) {
  COPYDATASTRUCT cds = {};
  cds.dwData = 0x22678201;
  cds.cbData = bytes;
  cds.lpData = const_cast<void*>(data);
  return cds;
}

TEST(CopyDataTest, ReadsOnlyWithinTheGivenBytes) {
  std::wstring text;
  // Terminated, as the program sends it.
  const wchar_t sent[] = L"C:\\a.jpg";
  COPYDATASTRUCT cds = Make(sent, sizeof(sent));
  ASSERT_TRUE(ReadCopyDataText(&cds, &text));
  EXPECT_EQ(L"C:\\a.jpg", text);

  // No terminator: a buffer of letters followed by more letters that are not part of the data.
  const wchar_t unterminated[] = L"abcdXYZ";
  cds = Make(unterminated, 4 * sizeof(wchar_t));
  ASSERT_TRUE(ReadCopyDataText(&cds, &text));
  EXPECT_EQ(L"abcd", text);

  // An odd byte count: the half character is dropped.
  cds = Make(unterminated, 5);
  ASSERT_TRUE(ReadCopyDataText(&cds, &text));
  EXPECT_EQ(L"ab", text);

  // The text ends at the first zero.
  const wchar_t embedded[] = L"ab\0cd";
  cds = Make(embedded, sizeof(embedded));
  ASSERT_TRUE(ReadCopyDataText(&cds, &text));
  EXPECT_EQ(L"ab", text);

  cds = Make(sent, 0);
  ASSERT_TRUE(ReadCopyDataText(&cds, &text));
  EXPECT_EQ(L"", text);
}

TEST(CopyDataTest, RefusesNullAndOverlongTexts) {
  std::wstring text = L"old";
  EXPECT_FALSE(ReadCopyDataText(nullptr, &text));
  EXPECT_EQ(L"", text);
  COPYDATASTRUCT cds = Make(nullptr, 100);
  EXPECT_FALSE(ReadCopyDataText(&cds, &text));

  std::vector<wchar_t> longest(kMaxHandOverChars, L'x');
  cds = Make(longest.data(), static_cast<DWORD>(longest.size() * sizeof(wchar_t)));
  ASSERT_TRUE(ReadCopyDataText(&cds, &text));
  EXPECT_EQ(kMaxHandOverChars, text.size());

  std::vector<wchar_t> too_long(kMaxHandOverChars + 1, L'x');
  cds = Make(too_long.data(), static_cast<DWORD>(too_long.size() * sizeof(wchar_t)));
  EXPECT_FALSE(ReadCopyDataText(&cds, &text));
}

}  // namespace
