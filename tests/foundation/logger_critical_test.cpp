// The logger at the critical level: none of the library's levels passes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "logger/logger.hpp"

namespace {

using vantrell::Logger;

TEST(CriticalLogger, ShowsNothingAndNeverAdvancesTheNumber) {
  setenv("SPDLOG_STDOUT", "true", 1);
  setenv("SPDLOG_SYSTEMD", "false", 1);
  setenv("SPDLOG_LEVEL", "critical", 1);

  ::testing::internal::CaptureStdout();
  Logger& logger = Logger::Instance("spdlog");
  for (int i = 0; i < 3; ++i) {
    LOG_DEBUG("debug {}", i);
    LOG_INFO("info {}", i);
    LOG_WARN("warn {}", i);
    LOG_ERROR("error {}", i);
  }
  const std::string console = ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(console, "");
  EXPECT_EQ(logger.count_.load(), 0);
  EXPECT_EQ(logger.level_, 5);
  EXPECT_EQ(logger.logger_->level(), spdlog::level::critical);
}

}  // namespace
