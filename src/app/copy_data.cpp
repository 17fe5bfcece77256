#include "app/copy_data.h"

#include <cwchar>

bool ReadCopyDataText(const COPYDATASTRUCT* data, std::wstring* text) {
  text->clear();
  if (!data || !data->lpData) return false;
  const size_t units = data->cbData / sizeof(wchar_t);  // an odd last byte is not a character
  const auto* chars = static_cast<const wchar_t*>(data->lpData);
  size_t length = 0;
  while (length < units && chars[length] != L'\0') {
    if (length == kMaxHandOverChars) return false;
    ++length;
  }
  text->assign(chars, length);
  return true;
}
