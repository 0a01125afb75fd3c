// The logger with none of its environment variables set. The environment is
// read once per process, so this file is its own test executable.
#include <gtest/gtest.h>
#include <spdlog/sinks/ansicolor_sink.h>

#include <cstdlib>
#include <string>

#include "logger/logger.hpp"
#include "support/log_capture.hpp"

namespace {

using vantrell::Logger;

class DefaultLogger : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("SPDLOG_STDOUT");
    unsetenv("SPDLOG_SYSTEMD");
    unsetenv("SPDLOG_LEVEL");
    ::testing::internal::CaptureStdout();
    Logger::Instance("spdlog");
    notes() = ::testing::internal::GetCapturedStdout();
  }

  // What the first use of the logger wrote to standard output.
  static std::string& notes() {
    static std::string text;
    return text;
  }
};

std::string numberOf(const std::string& text) { return text.substr(0, 3); }

TEST_F(DefaultLogger, WritesThreeNotesInOrderAndKeepsTheDefaults) {
  EXPECT_EQ(notes(),
            "environment variable SPDLOG_STDOUT is not set, and set true\n"
            "environment variable SPDLOG_SYSTEMD is not set, and set false\n"
            "environment variable SPDLOG_LEVEL is not set, and set default level\n");

  Logger& logger = Logger::Instance("another name");
  EXPECT_EQ(&logger, &Logger::Instance("spdlog"));
  EXPECT_EQ(logger.logger_->name(), "spdlog");
  EXPECT_EQ(logger.level_, 2);
  EXPECT_EQ(logger.logger_->level(), spdlog::level::info);
  ASSERT_EQ(logger.logger_->sinks().size(), 1u);
  EXPECT_NE(dynamic_cast<spdlog::sinks::ansicolor_stdout_sink<spdlog::details::console_mutex>*>(
                logger.logger_->sinks().front().get()),
            nullptr);
}

TEST_F(DefaultLogger, ConsoleShowsPrefixAndTextOnlyAndDebugIsNeitherShownNorCounted) {
  Logger& logger = Logger::Instance("spdlog");
  const int before = logger.count_.load();

  ::testing::internal::CaptureStdout();
  LOG_DEBUG("hidden {}", 1);
  LOG_INFO("distance {} of {}", 2.5, "path");
  LOG_WARN("warned");
  LOG_ERROR("error code {}", 101100007);
  const std::string console = ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(console, fmt::format("{:3d} [INFO] distance 2.5 of path\n{:3d} [WARN] warned\n"
                                 "{:3d} [ERROR] error code 101100007\n",
                                 (before + 1) % 128, (before + 2) % 128, (before + 3) % 128));
  EXPECT_EQ(logger.count_.load(), static_cast<std::uint8_t>(before + 3));
}

TEST_F(DefaultLogger, NumbersPassingRecordsFromOneAndWrapsAfter127) {
  auto capture = test_support::captureLog();
  Logger& logger = Logger::Instance("spdlog");
  // Bring the counter to a known place: the next passing record is number 1.
  while (logger.count_.load() % 128 != 0) {
    LOG_INFO("filler");
  }
  capture->clear();

  for (int i = 0; i < 130; ++i) {
    LOG_INFO("record {}", i);
    LOG_DEBUG("not counted {}", i);
  }
  const auto texts = capture->texts();
  ASSERT_EQ(texts.size(), 130u);
  EXPECT_EQ(texts[0], "  1 [INFO] record 0");
  EXPECT_EQ(texts[6], "  7 [INFO] record 6");
  EXPECT_EQ(texts[126], "127 [INFO] record 126");
  EXPECT_EQ(texts[127], "  0 [INFO] record 127");
  EXPECT_EQ(texts[128], "  1 [INFO] record 128");
  EXPECT_EQ(numberOf(texts[129]), "  2");
}

TEST_F(DefaultLogger, PassesBracesInTheFormattedTextThrough) {
  auto capture = test_support::captureLog();
  capture->clear();
  const std::string with_braces = "{} and {0} stay";
  LOG_WARN("value {}", with_braces);
  // A text used whole as the format, with braces that match no argument.
  LOG_ERROR(std::string("unexpected token '{' in goal"));

  const auto texts = capture->texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].substr(3), " [WARN] value {} and {0} stay");
  EXPECT_EQ(texts[1].substr(3), " [ERROR] unexpected token '{' in goal");
}

TEST_F(DefaultLogger, RecordCarriesTheCallSiteLocation) {
  auto capture = test_support::captureLog();
  capture->clear();
  const int line = __LINE__ + 1;
  LOG_INFO("located");

  const auto records = capture->records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, spdlog::level::info);
  EXPECT_EQ(records[0].line, line);
  EXPECT_EQ(records[0].function, "TestBody");
  EXPECT_NE(records[0].file.find("logger_defaults_test.cpp"), std::string::npos);
}

}  // namespace
