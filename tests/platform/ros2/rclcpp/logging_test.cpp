#include "rclcpp/logging.hpp"

#include <gtest/gtest.h>

#include <string>

#include "rclcpp/node.hpp"
#include "rclcpp_testing/log_capture.hpp"
#include "rclcpp_testing/manual_clock.hpp"

namespace {

using Level = rclcpp::Logger::Level;

TEST(Logging, CapturesFormattedRecordsWithLevelAndName) {
  rclcpp_testing::LogCapture capture;
  const auto logger = rclcpp::get_logger("capture_test");
  RCLCPP_INFO(logger, "value %d of %s", 3, "three");
  RCLCPP_WARN(logger, "careful");
  RCLCPP_ERROR_STREAM(logger, "stream " << 1.5);
  const auto records = capture.records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].level, Level::Info);
  EXPECT_EQ(records[0].logger_name, "capture_test");
  EXPECT_EQ(records[0].message, "value 3 of three");
  EXPECT_EQ(records[1].level, Level::Warn);
  EXPECT_EQ(records[2].message, "stream 1.5");
  EXPECT_EQ(capture.count(Level::Warn, "careful"), 1u);
}

TEST(Logging, DebugIsHiddenByDefaultAndShownAfterSetLevel) {
  rclcpp_testing::LogCapture capture;
  auto logger = rclcpp::get_logger("debug_test");
  RCLCPP_DEBUG(logger, "hidden");
  EXPECT_FALSE(capture.contains("hidden"));
  logger.set_level(Level::Debug);
  RCLCPP_DEBUG(logger, "shown");
  EXPECT_TRUE(capture.contains("shown"));
  logger.set_level(Level::Error);
  RCLCPP_WARN(logger, "suppressed warning");
  EXPECT_FALSE(capture.contains("suppressed warning"));
}

TEST(Logging, ChildLoggersInheritTheParentLevel) {
  rclcpp_testing::LogCapture capture;
  auto parent = rclcpp::get_logger("parent_level");
  auto child = parent.get_child("child");
  EXPECT_STREQ(child.get_name(), "parent_level.child");
  parent.set_level(Level::Error);
  RCLCPP_WARN(child, "child warning");
  EXPECT_FALSE(capture.contains("child warning"));
  child.set_level(Level::Debug);
  RCLCPP_DEBUG(child, "child debug");
  EXPECT_TRUE(capture.contains("child debug"));
}

TEST(Logging, OnceLogsOnlyTheFirstTime) {
  rclcpp_testing::LogCapture capture;
  const auto logger = rclcpp::get_logger("once_test");
  for (int i = 0; i < 3; ++i) {
    RCLCPP_INFO_ONCE(logger, "only once %d", i);
  }
  EXPECT_EQ(capture.count("only once"), 1u);
  EXPECT_TRUE(capture.contains("only once 0"));
}

TEST(Logging, ConsoleLineHasTheDefaultRosFormat) {
  testing::internal::CaptureStderr();
  RCLCPP_ERROR(rclcpp::get_logger("format_test"), "broken %s", "thing");
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out.rfind("[ERROR] [", 0), 0u) << out;
  EXPECT_NE(out.find("] [format_test]: broken thing\n"), std::string::npos) << out;
}

}  // namespace

namespace {

TEST(Logging, ThrottleFollowsTheGivenClock) {
  rclcpp_testing::ManualClock manual;
  rclcpp_testing::LogCapture capture;
  rclcpp::Clock clock(RCL_ROS_TIME);
  const auto logger = rclcpp::get_logger("throttle_test");
  // The throttle state belongs to the call site, as in rclcpp: one site here.
  auto log_at_site = [&](int i) { RCLCPP_WARN_THROTTLE(logger, clock, 1000, "throttled %d", i); };
  for (int i = 0; i < 5; ++i) {
    log_at_site(i);
    manual.advance(std::chrono::milliseconds(400));
  }
  // Calls at 0, 400, 800, 1200 and 1600 ms: those at 0 and 1200 ms pass.
  EXPECT_EQ(capture.count("throttled"), 2u);
  EXPECT_TRUE(capture.contains("throttled 0"));
  EXPECT_TRUE(capture.contains("throttled 3"));
}

TEST(Logging, NodeLoggerIsNamedAfterNamespaceAndNode) {
  rclcpp_testing::LogCapture capture;
  auto node = std::make_shared<rclcpp::Node>("planner", "/robot/nav");
  RCLCPP_INFO(node->get_logger(), "hello");
  const auto records = capture.records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].logger_name, "robot.nav.planner");
}

}  // namespace
