#include "basic_lib/ini_file.h"

#include <windows.h>

#include <vector>

#include "basic_lib/string_util.h"

namespace basic_lib {

namespace {
constexpr wchar_t kAbsentMarker[] = L"\n";

std::wstring ReadRaw(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                     DWORD size) {
  std::vector<wchar_t> buf(size, L'\0');
  DWORD n = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), kAbsentMarker, buf.data(),
                                       size, file.c_str());
  if (n >= size) n = size - 1;
  return std::wstring(buf.data(), n);
}

// A null section or key would list sections or keys instead of reading a value.
bool Usable(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
  return !file.empty() && !section.empty() && !key.empty();
}
}  // namespace

bool ReadIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                   std::wstring* value) {
  if (!Usable(file, section, key)) return false;
  std::wstring text = ReadRaw(file, section, key, 256);
  if (text.size() >= 249) text = ReadRaw(file, section, key, 4096);
  if (text == kAbsentMarker) return false;
  *value = std::move(text);
  return true;
}

bool ReadIniNumber(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                   int64_t* value) {
  if (!Usable(file, section, key)) return false;
  std::wstring text = ReadRaw(file, section, key, 32);
  if (text.empty() || text == kAbsentMarker) return false;
  *value = ParseInt64(text);
  return true;
}

bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value) {
  if (!Usable(file, section, key)) return false;
  return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()) !=
         FALSE;
}

bool WriteIniNumber(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    int64_t value) {
  return WriteIniString(file, section, key, FormatW(L"%lld", static_cast<long long>(value)));
}

}  // namespace basic_lib
