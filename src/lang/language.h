#pragma once

#include <string>

namespace lang {

// Longest language file name the process-wide current-language buffer holds (32 characters
// including the terminating zero).
constexpr size_t kMaxLanguageNameLength = 31;

// The file name for the system's default locale ("cn_simp.ini", "fr.ini", ..., "en.ini").
std::wstring ChooseLanguageFromLocale();
std::wstring ChooseLanguageFromLocaleName(const std::wstring& locale_name);

// "lang\" in the executable's folder.
std::wstring GetLanguageFolder();

// The process-wide current language file name, initially "en.ini". Set once by the settings'
// language fix-up. A name that does not fit the buffer, or that is not a bare file name, is
// refused (false) and leaves the current name unchanged.
std::wstring GetCurrentLanguageName();
bool SetCurrentLanguageName(const std::wstring& name);
bool IsValidLanguageFileName(const std::wstring& name);

// Text of `key` in `section` of the current language file; empty when absent. Any thread.
std::wstring GetText(const std::wstring& section, const std::wstring& key);

bool IsChineseLanguage();  // "cn_simp.ini" or "cn_trad.ini"
bool IsCjkLanguage();      // the Chinese files, "ja.ini" or "ko.ini"

}  // namespace lang

// Base of dialogs that look their texts up by number in one section.
class CMultiLanguageLoader {
 public:
  explicit CMultiLanguageLoader(std::wstring section) : section_(std::move(section)) {}
  virtual ~CMultiLanguageLoader() = default;

  std::wstring GetText(int number) const;
  const std::wstring& Section() const { return section_; }

 private:
  std::wstring section_;
};
