#pragma once

#include <cstdint>
#include <string>

namespace basic_lib {

// INI access goes only through the platform's profile functions. An absent key is told apart
// from an empty value by the default text "\n", which no stored value can hold.

// Text value: 256 characters first, a second read with 4096 when 249 or more came back (so the
// longest value returned is 4095 characters). False when the key is absent.
bool ReadIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                   std::wstring* value);
// Numeric value read into 32 characters and converted as a signed decimal 64-bit integer. False
// when the key is absent or its value is empty.
bool ReadIniNumber(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                   int64_t* value);

bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value);
bool WriteIniNumber(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    int64_t value);

}  // namespace basic_lib
