#include "log/my_log.h"

#include "basic_lib/path_util.h"
#include "basic_lib/singleton.h"
#include "basic_lib/string_util.h"

LogLine::LogLine(const wchar_t* level, const char* source_file, int source_line) {
  WritePrefix(level, basic_lib::AnsiToWide(source_file ? source_file : ""), source_line);
}

LogLine::LogLine(const wchar_t* level, const wchar_t* source_file, int source_line) {
  WritePrefix(level, source_file ? source_file : L"", source_line);
}

void LogLine::WritePrefix(const wchar_t* level, const std::wstring& source_file, int source_line) {
  stream_ << (level ? level : L"");
  size_t slash = source_file.find_last_of(L"\\/");
  size_t dot = source_file.rfind(L'.');
  bool has_dot = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
  std::wstring base = SourceBaseName(source_file);
  if (!has_dot) {
    stream_ << basic_lib::FormatW(L"[%4d] ", source_line);
  } else {
    stream_ << basic_lib::FormatW(L"[%4d][%ls] ", source_line, base.c_str());
  }
}

std::wstring LogLine::SourceBaseName(const std::wstring& path) {
  // Our compilers name sources with forward slashes, so both separators count.
  size_t slash = path.find_last_of(L"\\/");
  size_t start = slash == std::wstring::npos ? 0 : slash + 1;
  size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || dot < start) return std::wstring();
  return path.substr(start, dot - start);
}

LogLine& LogLine::operator<<(const char* narrow) {
  stream_ << basic_lib::AnsiToWide(narrow ? narrow : "");
  return *this;
}

LogLine& LogLine::operator<<(const std::string& narrow) {
  stream_ << basic_lib::AnsiToWide(narrow);
  return *this;
}

LogLine& LogLine::operator<<(const wchar_t* wide) {
  stream_ << (wide ? wide : L"");
  return *this;
}

CMyLog& CMyLog::Instance() { return basic_lib::CSingletonT<CMyLog>::Instance(); }
void CMyLog::DestroyInstance() { basic_lib::CSingletonT<CMyLog>::Destroy(); }

std::wstring CMyLog::LogPath(const std::wstring& data_folder) {
  return basic_lib::WithTrailingBackslash(data_folder) + L"main.log";
}

std::wstring CMyLog::MarkerPath(const std::wstring& data_folder) {
  return LogPath(data_folder) + L".on";
}

void CMyLog::Open(const std::wstring& data_folder) {
  basic_lib::CScopedLock guard(lock_);
  if (file_.IsValid() || data_folder.empty()) return;
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  {
    basic_lib::ScopedFileHandle marker(
        ::CreateFileW(MarkerPath(data_folder).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!marker) return;
  }
  // FILE_APPEND_DATA alone makes every write land at the end, even with other writers.
  file_.Reset(::CreateFileW(LogPath(data_folder).c_str(), FILE_APPEND_DATA, kShareAll, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void CMyLog::Write(const LogLine& line) {
  basic_lib::CScopedLock guard(lock_);
  line_buffer_ = line.Text();
  line_buffer_ += L'\n';
  std::string bytes = basic_lib::WideToUtf8(line_buffer_);
  DWORD written = 0;
  if (file_.IsValid()) {
    ::WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out && out != INVALID_HANDLE_VALUE) {
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  line_buffer_.clear();
}

void CMyLog::Close() {
  basic_lib::CScopedLock guard(lock_);
  file_.Reset();
}
