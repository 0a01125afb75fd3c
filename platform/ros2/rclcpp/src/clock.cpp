#include "rclcpp/clock.hpp"

#include <stdexcept>

#include "process_clock.hpp"
#include "rcl_clock.hpp"
#include "rclcpp/context.hpp"

namespace rclcpp {

Clock::Clock(rcl_clock_type_t clock_type) : clock_type_(clock_type) {
  if (clock_type == RCL_CLOCK_UNINITIALIZED) {
    throw std::invalid_argument("clock type must be initialized");
  }
  rcl_clock_ = std::make_shared<rcl_clock_t>(clock_type);
}

Time Clock::now() {
  rcl_time_point_value_t now = 0;
  rcl_clock_get_now(rcl_clock_.get(), &now);
  return Time(now, clock_type_);
}

bool Clock::sleep_until(Time until, Context::SharedPtr context) {
  if (until.get_clock_type() != clock_type_) {
    throw std::runtime_error("until's clock type does not match this clock's type");
  }
  auto ctx = context ? context : contexts::get_global_default_context();
  auto& process = detail::ProcessClock::instance();
  // Driven and simulated time move only when told to, and then they wake the sleepers.
  auto told = [this, &process]() {
    return process.is_driven() || rcl_clock_->ros_time_override_enabled.load();
  };
  return process.sleep_until([this]() { return now().nanoseconds(); }, until.nanoseconds(), told,
                             [ctx]() { return !ctx->is_valid(); });
}

bool Clock::sleep_for(Duration rel_time, Context::SharedPtr context) {
  return sleep_until(now() + rel_time, context);
}

bool Clock::ros_time_is_active() {
  if (clock_type_ != RCL_ROS_TIME) {
    return false;
  }
  return rcl_clock_->ros_time_override_enabled.load() ||
         detail::ProcessClock::instance().is_driven();
}

rcl_clock_t* Clock::get_clock_handle() noexcept { return rcl_clock_.get(); }

rcl_clock_type_t Clock::get_clock_type() const noexcept { return clock_type_; }

}  // namespace rclcpp
