// The logger with invalid console and journal settings and the debug level.
#include <gtest/gtest.h>
#include <spdlog/sinks/ansicolor_sink.h>

#include <cstdlib>
#include <string>

#include "logger/logger.hpp"

namespace {

using vantrell::Logger;

TEST(DebugLogger, FallsBackOnInvalidValuesAndShowsAllFourLevels) {
  setenv("SPDLOG_STDOUT", "yes", 1);
  setenv("SPDLOG_SYSTEMD", "TRUE", 1);
  setenv("SPDLOG_LEVEL", "debug", 1);

  ::testing::internal::CaptureStdout();
  Logger& logger = Logger::Instance("first");
  LOG_DEBUG("debug {}", 1);
  LOG_INFO("info {}", 2);
  LOG_WARN("warn {}", 3);
  LOG_ERROR("error {}", 4);
  const std::string console = ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(console,
            "environment variable SPDLOG_STDOUT is invalid, and set true\n"
            "environment variable SPDLOG_SYSTEMD is invalid, and set false\n"
            "  1 [DEBUG] debug 1\n"
            "  2 [INFO] info 2\n"
            "  3 [WARN] warn 3\n"
            "  4 [ERROR] error 4\n");
  EXPECT_EQ(logger.logger_->name(), "first");
  EXPECT_EQ(logger.level_, 1);
  ASSERT_EQ(logger.logger_->sinks().size(), 1u);
  EXPECT_NE(dynamic_cast<spdlog::sinks::ansicolor_stdout_sink<spdlog::details::console_mutex>*>(
                logger.logger_->sinks().front().get()),
            nullptr);
}

}  // namespace
