#include "rclcpp_testing/manual_clock.hpp"

#include "time_source.hpp"

namespace rclcpp_testing {

ManualClock::ManualClock() { rclcpp::detail::TimeSource::instance().take_over(-1); }

ManualClock::ManualClock(const rclcpp::Time& start) {
  rclcpp::detail::TimeSource::instance().take_over(start.nanoseconds());
}

ManualClock::~ManualClock() { rclcpp::detail::TimeSource::instance().release(); }

void ManualClock::advance(const rclcpp::Duration& duration) {
  rclcpp::detail::TimeSource::instance().advance(duration.nanoseconds());
}

rclcpp::Time ManualClock::now() const {
  return rclcpp::Time(rclcpp::detail::TimeSource::instance().now(RCL_ROS_TIME), RCL_ROS_TIME);
}

}  // namespace rclcpp_testing
