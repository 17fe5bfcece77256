// The language files the build installs beside the program.
#include <gtest/gtest.h>

#include "basic_lib/ini_file.h"
#include "basic_lib/string_util.h"
#include "unit/basic_lib/scratch_folder.h"

namespace {

struct Required {
  const wchar_t* section;
  std::vector<std::wstring> keys;
};

std::vector<Required> RequiredKeys() {
  auto numbers = [](std::initializer_list<int> list) {
    std::vector<std::wstring> keys;
    for (int n : list) keys.push_back(std::to_wstring(n));
    return keys;
  };
  return {
      {L"app", {L"NAME", L"LOAD_IMAGE_ERROR_TIP"}},
      {L"FILE", {L"SUPPORT_FILE", L"SAVE_ERROR"}},
      {L"TOOLBAR", numbers({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 17, 18})},
      {L"TITLE", numbers({10, 11, 12, 13, 30, 31, 40, 41})},
      {L"DLG_SETTING", numbers({1,   2,   3,   10,  11,  12,  13,  14,  15,  16,  19,  20,  21, 100,
                                101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 113, 114, 115})},
      {L"EXIF", numbers({80, 81, 82, 83})},
  };
}

class LanguageFileTest : public ::testing::TestWithParam<const wchar_t*> {
 protected:
  std::wstring Path() const { return std::wstring(LUMORA_BIN_DIR) + L"/lang/" + GetParam(); }
  std::wstring Text(const wchar_t* section, const std::wstring& key) const {
    std::wstring value;
    EXPECT_TRUE(basic_lib::ReadIniString(Path(), section, key, &value))
        << GetParam() << " [" << section << "] " << key;
    return value;
  }
};

TEST_P(LanguageFileTest, IsUtf16WithByteOrderMark) {
  std::string bytes = test_support::ReadBytes(Path());
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2));
  EXPECT_EQ(0u, bytes.size() % 2);
}

TEST_P(LanguageFileTest, HoldsEveryKeyWithText) {
  for (const Required& r : RequiredKeys()) {
    for (const std::wstring& key : r.keys) {
      EXPECT_FALSE(Text(r.section, key).empty()) << GetParam() << " [" << r.section << "] " << key;
    }
  }
  // Present even where a language leaves it empty (used only for East Asian dates).
  Text(L"TITLE", L"32");
}

TEST_P(LanguageFileTest, ExifListsHaveTheExpectedItemCounts) {
  const struct {
    const wchar_t* key;
    size_t items;
  } lists[] = {{L"80", 7}, {L"81", 2}, {L"82", 2}, {L"83", 9}};
  for (const auto& list : lists) {
    std::vector<std::wstring> items = basic_lib::SplitKeepEmpty(Text(L"EXIF", list.key), L'/');
    EXPECT_EQ(list.items, items.size()) << GetParam() << " EXIF " << list.key;
    for (const std::wstring& item : items) EXPECT_FALSE(item.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Installed, LanguageFileTest, ::testing::Values(L"en.ini", L"cn_simp.ini"));

TEST(LanguageFileContentTest, ChineseTextsSurviveTheEncoding) {
  std::wstring path = std::wstring(LUMORA_BIN_DIR) + L"/lang/cn_simp.ini";
  std::wstring value;
  ASSERT_TRUE(basic_lib::ReadIniString(path, L"TITLE", L"30", &value));
  EXPECT_EQ(L"\u5e74", value);  // 年
  ASSERT_TRUE(basic_lib::ReadIniString(path, L"EXIF", L"81", &value));
  EXPECT_EQ(L"\u95ea\u5149/\u672a\u95ea\u5149", value);  // 闪光/未闪光
  std::wstring en = std::wstring(LUMORA_BIN_DIR) + L"/lang/en.ini";
  ASSERT_TRUE(basic_lib::ReadIniString(en, L"app", L"NAME", &value));
  EXPECT_EQ(L"Lumora Viewer", value);
  // White balance: item 1 is shown for 0 (automatic), item 0 otherwise.
  ASSERT_TRUE(basic_lib::ReadIniString(en, L"EXIF", L"82", &value));
  EXPECT_EQ(L"Manual/Auto", value);
}

}  // namespace
