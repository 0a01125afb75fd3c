#include "process_clock.hpp"
#include "rcl/time.h"
#include "rcl_clock.hpp"

namespace {

rcl_ret_t checkRosClock(const rcl_clock_t* clock) {
  if (clock == nullptr) {
    return RCL_RET_INVALID_ARGUMENT;
  }
  return clock->type == RCL_ROS_TIME ? RCL_RET_OK : RCL_RET_ERROR;
}

// The clock reads another time now: its sleepers and the timers on it must look again.
rcl_ret_t timeJumped() {
  rclcpp::detail::ProcessClock::instance().wake_all();
  return RCL_RET_OK;
}

}  // namespace

rcl_ret_t rcl_enable_ros_time_override(rcl_clock_t* clock) {
  if (const rcl_ret_t checked = checkRosClock(clock); checked != RCL_RET_OK) {
    return checked;
  }
  if (clock->ros_time_override_enabled.exchange(true)) {
    return RCL_RET_OK;
  }
  return timeJumped();
}

rcl_ret_t rcl_disable_ros_time_override(rcl_clock_t* clock) {
  if (const rcl_ret_t checked = checkRosClock(clock); checked != RCL_RET_OK) {
    return checked;
  }
  if (!clock->ros_time_override_enabled.exchange(false)) {
    return RCL_RET_OK;
  }
  return timeJumped();
}

rcl_ret_t rcl_is_enabled_ros_time_override(rcl_clock_t* clock, bool* is_enabled) {
  if (is_enabled == nullptr) {
    return RCL_RET_INVALID_ARGUMENT;
  }
  if (const rcl_ret_t checked = checkRosClock(clock); checked != RCL_RET_OK) {
    return checked;
  }
  *is_enabled = clock->ros_time_override_enabled.load();
  return RCL_RET_OK;
}

rcl_ret_t rcl_set_ros_time_override(rcl_clock_t* clock, rcl_time_point_value_t time_value) {
  if (const rcl_ret_t checked = checkRosClock(clock); checked != RCL_RET_OK) {
    return checked;
  }
  clock->ros_time_override.store(time_value);
  return clock->ros_time_override_enabled.load() ? timeJumped() : RCL_RET_OK;
}

rcl_ret_t rcl_clock_get_now(rcl_clock_t* clock, rcl_time_point_value_t* time_point_value) {
  if (clock == nullptr || time_point_value == nullptr) {
    return RCL_RET_INVALID_ARGUMENT;
  }
  if (clock->type == RCL_ROS_TIME && clock->ros_time_override_enabled.load()) {
    *time_point_value = clock->ros_time_override.load();
  } else {
    *time_point_value = clock->process->now(clock->type);
  }
  return RCL_RET_OK;
}
