#include "builtin_interfaces/msg/time.hpp"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

#include "rclcpp/clock.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp_testing/manual_clock.hpp"

namespace {

TEST(Duration, ConvertsBetweenSecondsAndNanoseconds) {
  EXPECT_EQ(rclcpp::Duration::from_seconds(1.5).nanoseconds(), 1500000000);
  EXPECT_DOUBLE_EQ(rclcpp::Duration(2, 250000000).seconds(), 2.25);
  EXPECT_EQ(rclcpp::Duration(std::chrono::milliseconds(30)).nanoseconds(), 30000000);
  EXPECT_EQ(rclcpp::Duration::from_seconds(-0.5).to_chrono<std::chrono::milliseconds>().count(),
            -500);
}

TEST(Duration, NegativeDurationBecomesMessageWithPositiveNanoseconds) {
  const builtin_interfaces::msg::Duration msg = rclcpp::Duration::from_seconds(-1.25);
  EXPECT_EQ(msg.sec, -2);
  EXPECT_EQ(msg.nanosec, 750000000u);
  EXPECT_EQ(rclcpp::Duration(msg).nanoseconds(), -1250000000);
}

TEST(Time, ArithmeticKeepsTheClockType) {
  const rclcpp::Time start(10, 500, RCL_ROS_TIME);
  const rclcpp::Time later = start + rclcpp::Duration::from_seconds(2.0);
  EXPECT_EQ(later.get_clock_type(), RCL_ROS_TIME);
  EXPECT_EQ((later - start).nanoseconds(), 2000000000);
  EXPECT_EQ((later - rclcpp::Duration::from_seconds(2.0)), start);
  EXPECT_TRUE(start < later);
  EXPECT_DOUBLE_EQ(rclcpp::Time(1, 500000000).seconds(), 1.5);
}

TEST(Time, MixingClockTypesThrows) {
  const rclcpp::Time ros(5, 0, RCL_ROS_TIME);
  const rclcpp::Time system(5, 0, RCL_SYSTEM_TIME);
  EXPECT_THROW((void)(ros - system), std::runtime_error);
  EXPECT_THROW((void)(ros < system), std::runtime_error);
  EXPECT_THROW((void)(ros == system), std::runtime_error);
}

TEST(Time, RoundTripsThroughTheMessage) {
  builtin_interfaces::msg::Time msg;
  msg.sec = 42;
  msg.nanosec = 7;
  const rclcpp::Time time(msg);
  EXPECT_EQ(time.get_clock_type(), RCL_ROS_TIME);
  EXPECT_EQ(time.nanoseconds(), 42000000007);
  const builtin_interfaces::msg::Time back = time;
  EXPECT_EQ(back.sec, 42);
  EXPECT_EQ(back.nanosec, 7u);
}

TEST(Time, RejectsNegativeTimePoints) {
  EXPECT_THROW(rclcpp::Time(-1, 0), std::runtime_error);
  EXPECT_THROW(rclcpp::Time(int64_t{-5}), std::runtime_error);
}

TEST(ManualClock, DrivesEveryClockKindUntilReleased) {
  rclcpp::Clock ros(RCL_ROS_TIME);
  rclcpp::Clock system(RCL_SYSTEM_TIME);
  rclcpp::Clock steady(RCL_STEADY_TIME);
  {
    rclcpp_testing::ManualClock manual(rclcpp::Time(1000, 0, RCL_ROS_TIME));
    EXPECT_EQ(ros.now().nanoseconds(), 1000000000000);
    EXPECT_EQ(system.now().nanoseconds(), 1000000000000);
    EXPECT_EQ(ros.now().get_clock_type(), RCL_ROS_TIME);
    const rclcpp::Time steady_before = steady.now();
    manual.advance(std::chrono::seconds(60));
    EXPECT_EQ(ros.now().nanoseconds(), 1060000000000);
    EXPECT_EQ((steady.now() - steady_before).seconds(), 60.0);
    EXPECT_TRUE(ros.ros_time_is_active());
    EXPECT_THROW(rclcpp_testing::ManualClock second, std::logic_error);
  }
  // Real time again: far beyond the driven epoch.
  EXPECT_GT(system.now().seconds(), 1.5e9);
  EXPECT_FALSE(ros.ros_time_is_active());
}

TEST(ManualClock, RefusesToGoBackwards) {
  rclcpp_testing::ManualClock manual;
  EXPECT_THROW(manual.advance(rclcpp::Duration::from_seconds(-1.0)), std::invalid_argument);
}

}  // namespace

namespace {

TEST(ManualClock, WakesAClockSleeperWhenTimeIsAdvanced) {
  rclcpp_testing::ManualClock manual;
  auto node_less_context = rclcpp::contexts::get_global_default_context();
  if (!node_less_context->is_valid()) {
    node_less_context->init(0, nullptr);
  }
  rclcpp::Clock clock(RCL_ROS_TIME);
  const rclcpp::Time until = clock.now() + rclcpp::Duration::from_seconds(30.0);
  std::promise<bool> slept;
  std::thread sleeper([&]() { slept.set_value(clock.sleep_until(until)); });
  manual.advance(std::chrono::seconds(10));
  manual.advance(std::chrono::seconds(20));
  auto result = slept.get_future();
  EXPECT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(result.get());
  sleeper.join();
  EXPECT_GE(clock.now(), until);
}

TEST(Clock, SleepUntilAnotherClockKindThrows) {
  rclcpp::Clock clock(RCL_STEADY_TIME);
  EXPECT_THROW(clock.sleep_until(rclcpp::Time(0, 0, RCL_ROS_TIME)), std::runtime_error);
}

}  // namespace
