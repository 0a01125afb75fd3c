#ifndef RCL__TIME_H_
#define RCL__TIME_H_

#include <cstdint>

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

#define RCL_S_TO_NS(seconds) ((seconds) * (1000LL * 1000LL * 1000LL))
#define RCL_MS_TO_NS(milliseconds) ((milliseconds) * (1000LL * 1000LL))
#define RCL_US_TO_NS(microseconds) ((microseconds)*1000LL)
#define RCL_NS_TO_S(nanoseconds) ((nanoseconds) / (1000LL * 1000LL * 1000LL))

#endif  // RCL__TIME_H_
