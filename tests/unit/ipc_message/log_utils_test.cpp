#include "ipc-message/message/log_utils.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class Collect : public LogUtils::LogAppender {
 public:
  explicit Collect(std::vector<std::string>* lines) : lines_(lines) {}
  void Append(const std::string& line) override { lines_->push_back(line); }

 private:
  std::vector<std::string>* lines_;
};

int g_evaluations = 0;
int Expensive() {
  ++g_evaluations;
  return 1;
}

TEST(LogUtilsTest, LibraryLoggerStaysSilentAndCheap) {
  LogUtils::Logger* logger = LogUtils::Logger::Instance();
  ASSERT_NE(nullptr, logger);
  EXPECT_EQ(logger, LogUtils::Logger::Instance());
  EXPECT_FALSE(logger->IsEnabled(1));
  EXPECT_FALSE(logger->IsEnabled(2));
  EXPECT_TRUE(logger->IsEnabled(3));
  // The line is never built at level 1.
  IPC_LOG(1, "value " << Expensive());
  EXPECT_EQ(0, g_evaluations);
}

TEST(LogUtilsTest, ThresholdAndSizeLimit) {
  std::vector<std::string> lines;
  LogUtils::LoggerImpl logger(3, 60, std::make_unique<Collect>(&lines));
  logger.Write(1, "C:\\src\\channelimpl.cpp", 12, "dropped");
  logger.Write(3, "C:\\src\\channelimpl.cpp", 12, "kept");
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("[3][12][channelimpl.cpp] kept", lines[0]);
  // 29 bytes written; another 29 fit under 60, a third does not.
  logger.Write(3, "C:\\src\\channelimpl.cpp", 12, "kept");
  logger.Write(3, "C:\\src\\channelimpl.cpp", 12, "kept");
  EXPECT_EQ(2u, lines.size());
  EXPECT_EQ(58u, logger.written());
}

}  // namespace
