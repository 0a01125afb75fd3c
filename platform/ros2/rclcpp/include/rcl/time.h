#ifndef RCL__TIME_H_
#define RCL__TIME_H_

#include <cstdint>

#include "rcl/types.h"

// Clock kinds and time values as the C client library names them.
enum rcl_clock_type_t {
  RCL_CLOCK_UNINITIALIZED = 0,
  RCL_ROS_TIME,
  RCL_SYSTEM_TIME,
  RCL_STEADY_TIME
};

typedef int64_t rcl_time_point_value_t;
typedef int64_t rcl_duration_value_t;

struct rcl_duration_t {
  rcl_duration_value_t nanoseconds;
};

// A clock as the C client library keeps it; rclcpp::Clock::get_clock_handle()
// gives it out. Opaque here: only the functions below look inside.
typedef struct rcl_clock_s rcl_clock_t;

// The ROS time override of a RCL_ROS_TIME clock: while enabled, the clock
// reads the value last set instead of the process's time. rclcpp's time
// source drives it from "/clock" for nodes that use simulated time; each set
// wakes the clock's sleepers and the executors, whose timers on that clock
// may have fallen due (rcl does this through the clock's jump callbacks).
// Each returns RCL_RET_INVALID_ARGUMENT for a null argument and
// RCL_RET_ERROR for a clock of another kind.
rcl_ret_t rcl_enable_ros_time_override(rcl_clock_t* clock);
rcl_ret_t rcl_disable_ros_time_override(rcl_clock_t* clock);
rcl_ret_t rcl_is_enabled_ros_time_override(rcl_clock_t* clock, bool* is_enabled);
rcl_ret_t rcl_set_ros_time_override(rcl_clock_t* clock, rcl_time_point_value_t time_value);
rcl_ret_t rcl_clock_get_now(rcl_clock_t* clock, rcl_time_point_value_t* time_point_value);

#define RCL_S_TO_NS(seconds) ((seconds) * (1000LL * 1000LL * 1000LL))
#define RCL_MS_TO_NS(milliseconds) ((milliseconds) * (1000LL * 1000LL))
#define RCL_US_TO_NS(microseconds) ((microseconds)*1000LL)
#define RCL_NS_TO_S(nanoseconds) ((nanoseconds) / (1000LL * 1000LL * 1000LL))

#endif  // RCL__TIME_H_
