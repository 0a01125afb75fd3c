// The logger without any sink and with an unknown level name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "logger/logger.hpp"

namespace {

using vantrell::Logger;

class SilentLogger : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SPDLOG_STDOUT", "false", 1);
    setenv("SPDLOG_SYSTEMD", "false", 1);
    setenv("SPDLOG_LEVEL", "warn", 1);
    ::testing::internal::CaptureStdout();
    Logger::Instance("spdlog");
    notes() = ::testing::internal::GetCapturedStdout();
  }

  static std::string& notes() {
    static std::string text;
    return text;
  }
};

TEST_F(SilentLogger, UnknownLevelNameGetsANoteAndTheDefaultLevel) {
  EXPECT_EQ(notes(), "environment variable SPDLOG_LEVEL is invalid, and set default level\n");
  EXPECT_EQ(Logger::Instance("spdlog").level_, 2);
}

TEST_F(SilentLogger, WritesNothingButStillNumbersPassingRecords) {
  Logger& logger = Logger::Instance("spdlog");
  EXPECT_TRUE(logger.logger_->sinks().empty());
  const std::uint8_t before = logger.count_.load();

  ::testing::internal::CaptureStdout();
  LOG_INFO("info");
  LOG_DEBUG("debug");
  LOG_ERROR("error");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(logger.count_.load(), static_cast<std::uint8_t>(before + 2));
}

TEST_F(SilentLogger, CountsEveryRecordMadeOnSeveralThreadsAtOnce) {
  Logger& logger = Logger::Instance("spdlog");
  const std::uint8_t before = logger.count_.load();
  constexpr int kThreads = 4;
  constexpr int kRecordsPerThread = 1001;

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kRecordsPerThread; ++i) {
        LOG_WARN("thread {} record {}", t, i);
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(logger.count_.load(), static_cast<std::uint8_t>(before + kThreads * kRecordsPerThread));
}

// Last in this file: its thread logs until the process ends. The logger is released at exit
// while that thread still takes it for a record; the release must be neither a crash nor a data
// race (which the thread sanitizer run would report).
TEST_F(SilentLogger, AThreadStillLoggingAtExitFindsTheLoggerWholeOrGone) {
  std::promise<void> started;
  auto logging = started.get_future();
  std::thread([promise = std::move(started)]() mutable {
    // Below the threshold, so the numbers the other tests count stay as they are.
    LOG_DEBUG("still logging");
    promise.set_value();
    for (;;) {
      LOG_DEBUG("still logging");
    }
  }).detach();
  logging.wait();
}

}  // namespace
