#ifndef RCLCPP__CLOCK_HPP_
#define RCLCPP__CLOCK_HPP_

#include <memory>

#include "rcl/time.h"
#include "rclcpp/duration.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/time.hpp"

namespace rclcpp {

class Context;

// A clock of one kind, read through its handle (copies share it). A ROS-time
// clock whose ROS time override is enabled (a node's clock while the node
// uses simulated time, see rclcpp/time_source.hpp) reads the override;
// otherwise every clock follows the process's time: the machine's clocks,
// unless a test has taken time over (rclcpp_testing/manual_clock.hpp), in
// which case every kind reads the driven time.
class Clock {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(Clock)

  explicit Clock(rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);

  Time now();

  // Sleeps until the clock reads `until`; driven or simulated time that moves
  // wakes it as well.
  // Returns false when the context shuts down first; throws
  // std::runtime_error when `until` is of another clock kind.
  bool sleep_until(Time until, std::shared_ptr<Context> context = nullptr);
  bool sleep_for(Duration rel_time, std::shared_ptr<Context> context = nullptr);

  // Whether this ROS-time clock reads simulated or driven time.
  bool ros_time_is_active();
  rcl_clock_t* get_clock_handle() noexcept;
  rcl_clock_type_t get_clock_type() const noexcept;

 private:
  rcl_clock_type_t clock_type_;
  std::shared_ptr<rcl_clock_t> rcl_clock_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLOCK_HPP_
