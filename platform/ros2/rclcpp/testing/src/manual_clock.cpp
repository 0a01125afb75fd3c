#include "rclcpp_testing/manual_clock.hpp"

#include "process_clock.hpp"

namespace rclcpp_testing {

ManualClock::ManualClock() { rclcpp::detail::ProcessClock::instance().take_over(-1); }

ManualClock::ManualClock(const rclcpp::Time& start) {
  rclcpp::detail::ProcessClock::instance().take_over(start.nanoseconds());
}

ManualClock::~ManualClock() { rclcpp::detail::ProcessClock::instance().release(); }

void ManualClock::advance(const rclcpp::Duration& duration) {
  rclcpp::detail::ProcessClock::instance().advance(duration.nanoseconds());
}

rclcpp::Time ManualClock::now() const {
  return rclcpp::Time(rclcpp::detail::ProcessClock::instance().now(RCL_ROS_TIME), RCL_ROS_TIME);
}

}  // namespace rclcpp_testing
