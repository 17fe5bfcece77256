#include "basic_lib/string_util.h"

#include <windows.h>
// The shell headers need the base Windows declarations first.
#include <shlwapi.h>

#include <cstdarg>
#include <cwchar>
#include <limits>

namespace basic_lib {

std::vector<std::wstring> SplitSkipEmpty(const std::wstring& text, const std::wstring& separators) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(separators, start);
    if (end == std::wstring::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::vector<std::wstring> SplitKeepEmpty(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    if (end == std::wstring::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

namespace {
std::wstring Fold(std::wstring text, DWORD flag) {
  if (text.empty()) return text;
  // LCMapStringEx with the invariant locale keeps the length for simple case mapping.
  int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, flag, text.data(), static_cast<int>(text.size()),
                          nullptr, 0, nullptr, nullptr, 0);
  if (n <= 0) return text;
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::LCMapStringEx(LOCALE_NAME_INVARIANT, flag, text.data(), static_cast<int>(text.size()),
                  out.data(), n, nullptr, nullptr, 0);
  return out;
}
}  // namespace

std::wstring ToUpper(std::wstring text) { return Fold(std::move(text), LCMAP_UPPERCASE); }
std::wstring ToLower(std::wstring text) { return Fold(std::move(text), LCMAP_LOWERCASE); }

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && ToLower(a) == ToLower(b);
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(const std::wstring& text, const std::wstring& needle) {
  return ToLower(text).find(ToLower(needle)) != std::wstring::npos;
}

int64_t ParseInt64(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  // Accumulate as a negative number so INT64_MIN is reachable.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  bool overflow = false;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    int digit = text[i] - L'0';
    if (!overflow) {
      if (value < (kMin + digit) / 10) {
        overflow = true;
      } else {
        value = value * 10 - digit;
      }
    }
  }
  if (overflow) return negative ? kMin : std::numeric_limits<int64_t>::max();
  if (negative) return value;
  return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

int StrToIntValue(const std::wstring& text) { return ::StrToIntW(text.c_str()); }

std::wstring FormatW(const wchar_t* format, ...) {
  std::wstring out(128, L'\0');
  for (;;) {
    va_list args;
    va_start(args, format);
    int n = std::vswprintf(out.data(), out.size(), format, args);
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < out.size()) {
      out.resize(static_cast<size_t>(n));
      return out;
    }
    if (out.size() > (1u << 24)) return std::wstring();
    out.resize(out.size() * 2);
  }
}

namespace {
std::wstring MultiToWide(UINT code_page, const std::string& text) {
  if (text.empty()) return std::wstring();
  int n =
      ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}
}  // namespace

std::wstring Utf8ToWide(const std::string& text) { return MultiToWide(CP_UTF8, text); }
std::wstring AnsiToWide(const std::string& text) { return MultiToWide(CP_ACP, text); }

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

}  // namespace basic_lib
