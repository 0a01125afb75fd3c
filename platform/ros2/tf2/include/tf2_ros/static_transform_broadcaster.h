#ifndef TF2_ROS__STATIC_TRANSFORM_BROADCASTER_H_
#define TF2_ROS__STATIC_TRANSFORM_BROADCASTER_H_

#include <memory>
#include <mutex>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp/qos.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/qos.hpp"

namespace tf2_ros {

// Publishes static transforms on "/tf_static" (transient local). Every send
// publishes all transforms this broadcaster has sent so far, one per child
// frame with the newest value, so that a late listener gets the whole set from
// the one message the topic keeps.
class StaticTransformBroadcaster {
 public:
  using SharedPtr = std::shared_ptr<StaticTransformBroadcaster>;

  template <class NodeT>
  explicit StaticTransformBroadcaster(NodeT&& node, const rclcpp::QoS& qos = StaticBroadcasterQoS())
      : publisher_(node->template create_publisher<tf2_msgs::msg::TFMessage>("/tf_static", qos)) {}

  void sendTransform(const geometry_msgs::msg::TransformStamped& transform);
  void sendTransform(const std::vector<geometry_msgs::msg::TransformStamped>& transforms);

 private:
  std::shared_ptr<rclcpp::Publisher<tf2_msgs::msg::TFMessage>> publisher_;
  std::mutex mutex_;
  tf2_msgs::msg::TFMessage net_message_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__STATIC_TRANSFORM_BROADCASTER_H_
