#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace basic_lib {

// Splits at any of the separator characters; empty pieces are dropped.
std::vector<std::wstring> SplitSkipEmpty(const std::wstring& text, const std::wstring& separators);
// Splits at every separator, keeping empty pieces ("a//b" gives three).
std::vector<std::wstring> SplitKeepEmpty(const std::wstring& text, wchar_t separator);

// Ordinal comparisons after simple (invariant) case folding.
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix);
bool ContainsNoCase(const std::wstring& text, const std::wstring& needle);
std::wstring ToUpper(std::wstring text);
std::wstring ToLower(std::wstring text);

// Signed decimal: leading white space and one sign allowed, stops at the first non-digit, no
// digits gives 0; values beyond 64 bits saturate at INT64_MIN/INT64_MAX.
int64_t ParseInt64(const std::wstring& text);
// The platform's StrToIntW (leading sign and digits; anything else stops; no digits gives 0).
int StrToIntValue(const std::wstring& text);

// printf-style formatting into a wide string (no length limit).
std::wstring FormatW(const wchar_t* format, ...);

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);

}  // namespace basic_lib
