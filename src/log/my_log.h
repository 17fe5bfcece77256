#pragma once

#include <windows.h>

#include <sstream>
#include <string>

#include "basic_lib/critical_section.h"
#include "basic_lib/scoped_handle.h"

// One line of the diagnostic log: "<level>[<line, 4 wide>][<source base name>] " and then the
// caller's message.
class LogLine {
 public:
  LogLine(const wchar_t* level, const char* source_file, int source_line);
  LogLine(const wchar_t* level, const wchar_t* source_file, int source_line);

  template <typename T>
  LogLine& operator<<(const T& value) {
    stream_ << value;
    return *this;
  }
  LogLine& operator<<(const char* narrow);  // the thread's ANSI code page
  LogLine& operator<<(const std::string& narrow);
  LogLine& operator<<(const wchar_t* wide);

  std::wstring Text() const { return stream_.str(); }

  // The text between the last path separator and the last dot; empty when there is no dot.
  static std::wstring SourceBaseName(const std::wstring& path);

 private:
  void WritePrefix(const wchar_t* level, const std::wstring& source_file, int source_line);
  std::wostringstream stream_;
};

// The viewer's optional log file "main.log" in the per-user data folder. It is written only when
// the marker file "main.log.on" exists when Open runs; otherwise nothing reaches the disk.
class CMyLog {
 public:
  static CMyLog& Instance();
  static void DestroyInstance();

  CMyLog() = default;
  ~CMyLog() = default;
  CMyLog(const CMyLog&) = delete;
  CMyLog& operator=(const CMyLog&) = delete;

  // Decides once whether logging is on; `data_folder` is the per-user folder.
  void Open(const std::wstring& data_folder);
  bool IsOpen() const { return file_.IsValid(); }
  // Appends the whole line (UTF-8) under the lock, then echoes it on standard output.
  void Write(const LogLine& line);
  void Close();

  static std::wstring LogPath(const std::wstring& data_folder);
  static std::wstring MarkerPath(const std::wstring& data_folder);

 private:
  basic_lib::CCriticalSection lock_;
  std::wstring line_buffer_;
  basic_lib::ScopedFileHandle file_;
};

// LUMORA_LOG_I("text " << number) writes one "[I]" line stamped with the caller's file and line.
#define LUMORA_LOG_I(message) \
  CMyLog::Instance().Write(LogLine(L"[I]", __FILE__, __LINE__) << message)
