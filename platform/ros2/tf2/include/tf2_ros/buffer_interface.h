#ifndef TF2_ROS__BUFFER_INTERFACE_H_
#define TF2_ROS__BUFFER_INTERFACE_H_

#include <chrono>
#include <string>

#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/time.hpp"
#include "tf2/time.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace tf2_ros {

inline tf2::TimePoint fromMsg(const builtin_interfaces::msg::Time& time_msg) {
  return tf2::TimePoint(std::chrono::seconds(time_msg.sec) +
                        std::chrono::nanoseconds(time_msg.nanosec));
}

inline builtin_interfaces::msg::Time toMsg(const tf2::TimePoint& t) {
  const int64_t count = t.time_since_epoch().count();
  int64_t sec = count / 1000000000;
  int64_t nanosec = count % 1000000000;
  if (nanosec < 0) {
    nanosec += 1000000000;
    sec -= 1;
  }
  builtin_interfaces::msg::Time time_msg;
  time_msg.sec = static_cast<int32_t>(sec);
  time_msg.nanosec = static_cast<uint32_t>(nanosec);
  return time_msg;
}

inline tf2::TimePoint fromRclcpp(const rclcpp::Time& time) {
  return tf2::TimePoint(std::chrono::nanoseconds(time.nanoseconds()));
}

inline rclcpp::Time toRclcpp(const tf2::TimePoint& time) {
  return rclcpp::Time(time.time_since_epoch().count());
}

inline tf2::Duration fromRclcpp(const rclcpp::Duration& duration) {
  return tf2::Duration(duration.nanoseconds());
}

inline rclcpp::Duration toRclcpp(const tf2::Duration& duration) {
  return rclcpp::Duration::from_nanoseconds(duration.count());
}

// Lookups and the transform() of stamped messages, for any buffer.
class BufferInterface {
 public:
  virtual ~BufferInterface() = default;

  virtual geometry_msgs::msg::TransformStamped lookupTransform(
      const std::string& target_frame, const std::string& source_frame, const tf2::TimePoint& time,
      const tf2::Duration timeout) const = 0;

  virtual bool canTransform(const std::string& target_frame, const std::string& source_frame,
                            const tf2::TimePoint& time, const tf2::Duration timeout,
                            std::string* errstr = nullptr) const = 0;

  // `in` expressed in `target_frame`, looked up at the stamp of `in` (zero:
  // the latest). Throws what lookupTransform throws.
  template <class T>
  T& transform(const T& in, T& out, const std::string& target_frame,
               tf2::Duration timeout = tf2::Duration::zero()) const {
    tf2::doTransform(
        in, out,
        lookupTransform(target_frame, tf2::getFrameId(in), tf2::getTimestamp(in), timeout));
    return out;
  }

  template <class T>
  T transform(const T& in, const std::string& target_frame,
              tf2::Duration timeout = tf2::Duration::zero()) const {
    T out;
    return transform(in, out, target_frame, timeout);
  }
};

}  // namespace tf2_ros

#endif  // TF2_ROS__BUFFER_INTERFACE_H_
