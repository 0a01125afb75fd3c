#ifndef RCLCPP__SRC__RCL_CLOCK_HPP_
#define RCLCPP__SRC__RCL_CLOCK_HPP_

#include <atomic>
#include <memory>

#include "process_clock.hpp"
#include "rcl/time.h"

// What a clock handle holds: its kind and, for ROS time, the override that simulated time sets.
// Read on every now(), set by the time source's "/clock" callback: atomics, no lock.
struct rcl_clock_s {
  explicit rcl_clock_s(rcl_clock_type_t clock_type)
      : type(clock_type), process(rclcpp::detail::ProcessClock::shared_instance()) {}

  const rcl_clock_type_t type;
  // The process's time, held so that a clock kept past the process's statics still reads it.
  const std::shared_ptr<rclcpp::detail::ProcessClock> process;
  std::atomic_bool ros_time_override_enabled{false};
  std::atomic<rcl_time_point_value_t> ros_time_override{0};
};

#endif  // RCLCPP__SRC__RCL_CLOCK_HPP_
