#pragma once

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "basic_lib/path_util.h"
#include "basic_lib/string_util.h"
#include "basic_lib/win32_system.h"

namespace test_support {

// A fresh folder under $LUMORA_TEST_TMP (a Linux path, seen as Z:\...) or the Windows temp
// folder, removed with its contents when the object goes out of scope. Path ends with "\".
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& tag = L"t") {
    static std::atomic<int> counter{0};
    std::wstring base;
    if (const char* tmp = std::getenv("LUMORA_TEST_TMP"); tmp && *tmp == '/') {
      base = L"Z:" + basic_lib::Utf8ToWide(tmp);
      for (wchar_t& c : base) {
        if (c == L'/') c = L'\\';
      }
    } else {
      wchar_t temp[MAX_PATH] = {};
      ::GetTempPathW(MAX_PATH, temp);
      base = temp;
    }
    path_ = basic_lib::WithTrailingBackslash(base) +
            basic_lib::FormatW(L"%ls_%lu_%d\\", tag.c_str(), ::GetCurrentProcessId(), counter++);
    basic_lib::DeleteFolderTree(path_);
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { basic_lib::DeleteFolderTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

// Writes raw bytes to a file (replacing it).
inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  size_t n = fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  return n == bytes.size();
}

inline std::string ReadBytes(const std::wstring& path) {
  std::string out;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.append(buf, n);
  fclose(f);
  return out;
}

// A text file in UTF-16 LE with a byte-order mark: how the profile functions read Unicode.
inline bool WriteUtf16File(const std::wstring& path, const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return WriteBytes(path, bytes);
}

}  // namespace test_support
