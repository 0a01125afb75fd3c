#ifndef TF2_TESTING__TRANSFORMS_HPP_
#define TF2_TESTING__TRANSFORMS_HPP_

#include <cmath>
#include <string>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/time.h"

// Test helpers only: never included by library code.
namespace tf2_testing {

// A planar transform of `child` in `parent`: position (x, y), heading `yaw`,
// stamped `stamp_sec` seconds.
inline geometry_msgs::msg::TransformStamped makeTransform(const std::string& parent,
                                                          const std::string& child, double x,
                                                          double y, double yaw,
                                                          double stamp_sec = 0.0) {
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.child_frame_id = child;
  const int64_t ns = tf2::durationFromSec(stamp_sec).count();
  int64_t sec = ns / 1000000000;
  int64_t nanosec = ns % 1000000000;
  if (nanosec < 0) {
    nanosec += 1000000000;
    sec -= 1;
  }
  t.header.stamp.sec = static_cast<int32_t>(sec);
  t.header.stamp.nanosec = static_cast<uint32_t>(nanosec);
  t.transform.translation.x = x;
  t.transform.translation.y = y;
  t.transform.rotation.z = std::sin(yaw / 2.0);
  t.transform.rotation.w = std::cos(yaw / 2.0);
  return t;
}

}  // namespace tf2_testing

#endif  // TF2_TESTING__TRANSFORMS_HPP_
