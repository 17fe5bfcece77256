#include "lang/language.h"

#include <gtest/gtest.h>

#include "basic_lib/path_util.h"
#include "unit/basic_lib/scratch_folder.h"

namespace {

TEST(LanguageTest, LocaleNamesMapToFiles) {
  const struct {
    const wchar_t* locale;
    const wchar_t* file;
  } cases[] = {
      {L"zh-CN", L"cn_simp.ini"},
      {L"ZH-sg", L"cn_simp.ini"},
      {L"zh-Hans", L"cn_simp.ini"},
      {L"zh", L"cn_simp.ini"},
      {L"zh-Hans-CN", L"cn_trad.ini"},
      {L"zh-TW", L"cn_trad.ini"},
      {L"zh-HK", L"cn_trad.ini"},
      {L"fr-CA", L"fr.ini"},
      {L"fr", L"en.ini"},
      {L"de-DE", L"de.ini"},
      {L"de", L"en.ini"},
      {L"es-ES", L"es.ini"},
      {L"pt-BR", L"pt.ini"},
      {L"ru-RU", L"ru.ini"},
      {L"ru", L"ru.ini"},
      {L"ar-SA", L"ar.ini"},
      {L"it-IT", L"it.ini"},
      {L"ja-JP", L"ja.ini"},
      {L"ko-KR", L"ko.ini"},
      {L"nl-NL", L"en.ini"},
      {L"en-US", L"en.ini"},
      {L"", L"en.ini"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.file, lang::ChooseLanguageFromLocaleName(c.locale)) << c.locale;
  }
  // Wine's system locale is en-US.
  EXPECT_EQ(L"en.ini", lang::ChooseLanguageFromLocale());
}

class LanguageFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CreateDirectoryW((dir_ / L"lang").c_str(), nullptr);
    basic_lib::SetExeFolderOverride(dir_.Path());
  }
  void TearDown() override {
    basic_lib::SetExeFolderOverride(L"");
    lang::SetCurrentLanguageName(L"en.ini");
  }
  test_support::ScratchFolder dir_{L"lang"};
};

TEST_F(LanguageFolderTest, GetTextReadsLongEmptyAndAbsentValues) {
  std::wstring v300(300, L'x');
  std::wstring v5000(5000, L'y');
  ASSERT_TRUE(test_support::WriteUtf16File(
      dir_ / L"lang\\en.ini", L"[app]\r\nNAME=Lumora Viewer\r\nEMPTY=\r\nLONG=" + v300 +
                                  L"\r\nHUGE=" + v5000 + L"\r\n[DLG_SETTING]\r\n10=Hardware\r\n"));
  ASSERT_TRUE(
      test_support::WriteUtf16File(dir_ / L"lang\\cn_simp.ini", L"[app]\r\nNAME=\u770b\u56fe\r\n"));
  EXPECT_EQ(L"en.ini", lang::GetCurrentLanguageName());
  EXPECT_EQ(L"Lumora Viewer", lang::GetText(L"app", L"NAME"));
  EXPECT_EQ(L"", lang::GetText(L"app", L"EMPTY"));
  EXPECT_EQ(L"", lang::GetText(L"app", L"ABSENT"));
  EXPECT_EQ(L"", lang::GetText(L"NOSECTION", L"NAME"));
  EXPECT_EQ(v300, lang::GetText(L"app", L"LONG"));
  EXPECT_EQ(4095u, lang::GetText(L"app", L"HUGE").size());
  CMultiLanguageLoader loader(L"DLG_SETTING");
  EXPECT_EQ(L"Hardware", loader.GetText(10));
  EXPECT_EQ(L"", loader.GetText(11));

  ASSERT_TRUE(lang::SetCurrentLanguageName(L"cn_simp.ini"));
  EXPECT_EQ(L"\u770b\u56fe", lang::GetText(L"app", L"NAME"));
  EXPECT_EQ(L"", lang::GetText(L"app", L"LONG"));  // no per-key fallback to English
}

TEST_F(LanguageFolderTest, MissingFolderOrFileGivesEmptyTexts) {
  basic_lib::SetExeFolderOverride(dir_ / L"nowhere");
  EXPECT_EQ(L"", lang::GetText(L"app", L"NAME"));
  basic_lib::SetExeFolderOverride(dir_.Path());
  ASSERT_TRUE(lang::SetCurrentLanguageName(L"fr.ini"));
  EXPECT_EQ(L"", lang::GetText(L"app", L"NAME"));
}

TEST_F(LanguageFolderTest, CurrentNameIsBoundedAndDrivesThePredicates) {
  const struct {
    const wchar_t* name;
    bool chinese;
    bool cjk;
  } cases[] = {
      {L"cn_simp.ini", true, true}, {L"cn_trad.ini", true, true}, {L"ja.ini", false, true},
      {L"ko.ini", false, true},     {L"en.ini", false, false},    {L"CN_SIMP.INI", false, false},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(lang::SetCurrentLanguageName(c.name));
    EXPECT_EQ(c.chinese, lang::IsChineseLanguage()) << c.name;
    EXPECT_EQ(c.cjk, lang::IsCjkLanguage()) << c.name;
  }
  ASSERT_TRUE(lang::SetCurrentLanguageName(L"en.ini"));
  std::wstring longest(27, L'a');
  EXPECT_TRUE(lang::SetCurrentLanguageName(longest + L".ini"));  // 31 characters fit
  EXPECT_EQ(longest + L".ini", lang::GetCurrentLanguageName());
  for (const std::wstring& bad :
       {std::wstring(28, L'a') + L".ini", std::wstring(L""), std::wstring(L"..\\x.ini"),
        std::wstring(L"C:x.ini"), std::wstring(L"a/b.ini"), std::wstring(L"..")}) {
    EXPECT_FALSE(lang::SetCurrentLanguageName(bad)) << bad;
    EXPECT_EQ(longest + L".ini", lang::GetCurrentLanguageName());
  }
}

}  // namespace
