#ifndef TF2_ROS__QOS_HPP_
#define TF2_ROS__QOS_HPP_

#include <cstddef>

#include "rclcpp/qos.hpp"

namespace tf2_ros {

// "/tf": reliable and volatile, a deep queue so that bursts are not lost.
class DynamicBroadcasterQoS : public rclcpp::QoS {
 public:
  explicit DynamicBroadcasterQoS(size_t depth = 100) : rclcpp::QoS(depth) {}
};

class DynamicListenerQoS : public rclcpp::QoS {
 public:
  explicit DynamicListenerQoS(size_t depth = 100) : rclcpp::QoS(depth) {}
};

// "/tf_static": transient local, so that a listener that starts late still
// receives the last static message.
class StaticBroadcasterQoS : public rclcpp::QoS {
 public:
  explicit StaticBroadcasterQoS(size_t depth = 1) : rclcpp::QoS(depth) { transient_local(); }
};

class StaticListenerQoS : public rclcpp::QoS {
 public:
  explicit StaticListenerQoS(size_t depth = 100) : rclcpp::QoS(depth) { transient_local(); }
};

}  // namespace tf2_ros

#endif  // TF2_ROS__QOS_HPP_
