// The logger with console and journal sinks and the trace level.
#include <gtest/gtest.h>
#include <spdlog/sinks/ansicolor_sink.h>

#include <cstdlib>
#include <string>

#include "logger/logger.hpp"

namespace {

using vantrell::Logger;

TEST(JournalLogger, HasConsoleThenJournalAndTraceBehavesAsDebug) {
  setenv("SPDLOG_STDOUT", "true", 1);
  setenv("SPDLOG_SYSTEMD", "true", 1);
  setenv("SPDLOG_LEVEL", "trace", 1);

  ::testing::internal::CaptureStdout();
  Logger& logger = Logger::Instance("spdlog");
  // The journal may be unreachable here; spdlog's error handler deals with that.
  LOG_DEBUG("debug {}", "shown");
  const std::string console = ::testing::internal::GetCapturedStdout();

  // No notes: every variable held a valid value.
  EXPECT_EQ(console, "  1 [DEBUG] debug shown\n");
  EXPECT_EQ(logger.level_, 0);
  ASSERT_EQ(logger.logger_->sinks().size(), 2u);
  EXPECT_NE(dynamic_cast<spdlog::sinks::ansicolor_stdout_sink<spdlog::details::console_mutex>*>(
                logger.logger_->sinks()[0].get()),
            nullptr);
  EXPECT_EQ(dynamic_cast<spdlog::sinks::ansicolor_stdout_sink<spdlog::details::console_mutex>*>(
                logger.logger_->sinks()[1].get()),
            nullptr);
}

}  // namespace
