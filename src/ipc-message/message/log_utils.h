#pragma once

#include <stddef.h>

#include <memory>
#include <mutex>
#include <sstream>
#include <string>

// The channel library's own diagnostic logger. Lines are built only after IsEnabled says yes,
// so with the default threshold the library's calls cost one check and produce nothing.
namespace LogUtils {

// Where enabled lines go. Nothing in the viewer installs one.
class LogAppender {
 public:
  virtual ~LogAppender() = default;
  virtual void Append(const std::string& line) = 0;
};

class Logger {
 public:
  static constexpr int kDefaultThreshold = 3;
  static constexpr size_t kDefaultSizeLimit = 104857600;  // 100 MiB

  virtual ~Logger() = default;
  // A level is enabled when it is at least the threshold.
  virtual bool IsEnabled(int level) const = 0;
  virtual void Write(int level, const char* file, int line, const std::string& text) = 0;

  // The process-wide logger, made on first use.
  static Logger* Instance();
};

class LoggerImpl : public Logger {
 public:
  explicit LoggerImpl(int threshold = kDefaultThreshold, size_t size_limit = kDefaultSizeLimit,
                      std::unique_ptr<LogAppender> appender = nullptr);
  ~LoggerImpl() override;

  bool IsEnabled(int level) const override { return level >= threshold_; }
  // Drops the line when no appender is set or the size limit would be passed.
  void Write(int level, const char* file, int line, const std::string& text) override;
  size_t written() const { return written_; }

 private:
  const int threshold_;
  const size_t size_limit_;
  std::unique_ptr<LogAppender> appender_;
  std::mutex write_lock_;
  size_t written_ = 0;
};

}  // namespace LogUtils

// Streams `expr` into a line only when `level` is enabled.
#define IPC_LOG(level, expr)                                                  \
  do {                                                                        \
    ::LogUtils::Logger* ipc_log_logger_ = ::LogUtils::Logger::Instance();     \
    if (ipc_log_logger_->IsEnabled(level)) {                                  \
      std::ostringstream ipc_log_line_;                                       \
      ipc_log_line_ << expr;                                                  \
      ipc_log_logger_->Write(level, __FILE__, __LINE__, ipc_log_line_.str()); \
    }                                                                         \
  } while (0)
