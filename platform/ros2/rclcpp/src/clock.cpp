#include "rclcpp/clock.hpp"

#include <stdexcept>

#include "rclcpp/context.hpp"
#include "time_source.hpp"

namespace rclcpp {

Clock::Clock(rcl_clock_type_t clock_type) : clock_type_(clock_type) {
  if (clock_type == RCL_CLOCK_UNINITIALIZED) {
    throw std::invalid_argument("clock type must be initialized");
  }
}

Time Clock::now() { return Time(detail::TimeSource::instance().now(clock_type_), clock_type_); }

bool Clock::sleep_until(Time until, Context::SharedPtr context) {
  if (until.get_clock_type() != clock_type_) {
    throw std::runtime_error("until's clock type does not match this clock's type");
  }
  auto ctx = context ? context : contexts::get_global_default_context();
  return detail::TimeSource::instance().sleep_until(clock_type_, until.nanoseconds(),
                                                    [ctx]() { return !ctx->is_valid(); });
}

bool Clock::sleep_for(Duration rel_time, Context::SharedPtr context) {
  return sleep_until(now() + rel_time, context);
}

bool Clock::ros_time_is_active() {
  return clock_type_ == RCL_ROS_TIME && detail::TimeSource::instance().is_driven();
}

rcl_clock_type_t Clock::get_clock_type() const noexcept { return clock_type_; }

}  // namespace rclcpp
