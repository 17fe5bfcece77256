#include "lang/language.h"

#include <windows.h>

#include "basic_lib/ini_file.h"
#include "basic_lib/path_util.h"
#include "basic_lib/string_util.h"

namespace lang {

namespace {
SRWLOCK g_language_lock = SRWLOCK_INIT;
wchar_t g_language_name[kMaxLanguageNameLength + 1] = L"en.ini";
}  // namespace

std::wstring ChooseLanguageFromLocaleName(const std::wstring& locale) {
  using basic_lib::EqualsNoCase;
  using basic_lib::StartsWithNoCase;
  if (StartsWithNoCase(locale, L"zh-CN") || StartsWithNoCase(locale, L"zh-SG") ||
      EqualsNoCase(locale, L"zh-Hans") || EqualsNoCase(locale, L"zh")) {
    return L"cn_simp.ini";
  }
  static const struct {
    const wchar_t* prefix;
    const wchar_t* file;
  } kTable[] = {
      {L"zh", L"cn_trad.ini"}, {L"fr-", L"fr.ini"}, {L"de-", L"de.ini"}, {L"es-", L"es.ini"},
      {L"pt-", L"pt.ini"},     {L"ru", L"ru.ini"},  {L"ar", L"ar.ini"},  {L"it", L"it.ini"},
      {L"ja", L"ja.ini"},      {L"ko", L"ko.ini"},
  };
  for (const auto& entry : kTable) {
    if (StartsWithNoCase(locale, entry.prefix)) return entry.file;
  }
  return L"en.ini";
}

std::wstring ChooseLanguageFromLocale() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  int n = ::GetSystemDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
  return ChooseLanguageFromLocaleName(n > 0 ? std::wstring(name) : std::wstring());
}

std::wstring GetLanguageFolder() { return basic_lib::GetExeFolder() + L"lang\\"; }

std::wstring GetCurrentLanguageName() {
  ::AcquireSRWLockShared(&g_language_lock);
  std::wstring name(g_language_name);
  ::ReleaseSRWLockShared(&g_language_lock);
  return name;
}

bool IsValidLanguageFileName(const std::wstring& name) {
  if (name.empty() || name.size() > kMaxLanguageNameLength) return false;
  // Only a file inside the language folder: no separators, drive colons or parent references.
  if (name.find_first_of(L"\\/:") != std::wstring::npos) return false;
  if (name == L"." || name == L"..") return false;
  return name.find(L'\0') == std::wstring::npos;
}

bool SetCurrentLanguageName(const std::wstring& name) {
  if (!IsValidLanguageFileName(name)) return false;
  ::AcquireSRWLockExclusive(&g_language_lock);
  wcsncpy(g_language_name, name.c_str(), kMaxLanguageNameLength);
  g_language_name[kMaxLanguageNameLength] = L'\0';
  ::ReleaseSRWLockExclusive(&g_language_lock);
  return true;
}

std::wstring GetText(const std::wstring& section, const std::wstring& key) {
  std::wstring text;
  if (!basic_lib::ReadIniString(GetLanguageFolder() + GetCurrentLanguageName(), section, key,
                                &text)) {
    return std::wstring();
  }
  return text;
}

bool IsChineseLanguage() {
  std::wstring name = GetCurrentLanguageName();
  return name == L"cn_simp.ini" || name == L"cn_trad.ini";
}

bool IsCjkLanguage() {
  std::wstring name = GetCurrentLanguageName();
  return name == L"cn_simp.ini" || name == L"cn_trad.ini" || name == L"ja.ini" || name == L"ko.ini";
}

}  // namespace lang

std::wstring CMultiLanguageLoader::GetText(int number) const {
  return lang::GetText(section_, std::to_wstring(number));
}
