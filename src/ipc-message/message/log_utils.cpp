#include "ipc-message/message/log_utils.h"

#include <atomic>
#include <mutex>

namespace LogUtils {

namespace {

std::mutex g_instance_lock;
std::atomic<Logger*> g_instance{nullptr};

}  // namespace

Logger* Logger::Instance() {
  Logger* logger = g_instance.load(std::memory_order_acquire);
  if (logger) return logger;
  std::lock_guard<std::mutex> lock(g_instance_lock);
  logger = g_instance.load(std::memory_order_relaxed);
  if (!logger) {
    static LoggerImpl instance;
    logger = &instance;
    g_instance.store(logger, std::memory_order_release);
  }
  return logger;
}

LoggerImpl::LoggerImpl(int threshold, size_t size_limit, std::unique_ptr<LogAppender> appender)
    : threshold_(threshold), size_limit_(size_limit), appender_(std::move(appender)) {}

LoggerImpl::~LoggerImpl() = default;

void LoggerImpl::Write(int level, const char* file, int line, const std::string& text) {
  if (!IsEnabled(level) || !appender_) return;
  std::lock_guard<std::mutex> lock(write_lock_);
  std::ostringstream out;
  const char* base = file ? file : "";
  for (const char* p = base; *p; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  out << '[' << level << "][" << line << "][" << base << "] " << text;
  std::string formatted = out.str();
  if (formatted.size() > size_limit_ - written_) return;
  written_ += formatted.size();
  appender_->Append(formatted);
}

}  // namespace LogUtils
