#ifndef RCLCPP_TESTING__MANUAL_CLOCK_HPP_
#define RCLCPP_TESTING__MANUAL_CLOCK_HPP_

#include <chrono>

#include "rclcpp/duration.hpp"
#include "rclcpp/time.hpp"

namespace rclcpp_testing {

// Takes over the process's time while it lives: `now()` of ROS, system and
// steady clocks, wall and ROS timers, and clock sleeps all follow the driven
// time, which stands still until `advance` moves it. Timers that fall due
// then fire on their executors at once. One at a time per process.
class ManualClock {
 public:
  // System and ROS time start at the current real reading.
  ManualClock();
  // System and ROS time start at `start`.
  explicit ManualClock(const rclcpp::Time& start);
  ~ManualClock();
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  void advance(const rclcpp::Duration& duration);
  template <class Rep, class Period>
  void advance(const std::chrono::duration<Rep, Period>& duration) {
    advance(rclcpp::Duration(duration));
  }

  // The driven ROS time.
  rclcpp::Time now() const;
};

}  // namespace rclcpp_testing

#endif  // RCLCPP_TESTING__MANUAL_CLOCK_HPP_
