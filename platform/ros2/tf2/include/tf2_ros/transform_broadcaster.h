#ifndef TF2_ROS__TRANSFORM_BROADCASTER_H_
#define TF2_ROS__TRANSFORM_BROADCASTER_H_

#include <memory>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp/qos.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/qos.hpp"

namespace tf2_ros {

// Publishes transforms on "/tf".
class TransformBroadcaster {
 public:
  using SharedPtr = std::shared_ptr<TransformBroadcaster>;

  // `node`: a pointer or shared pointer to a node or a lifecycle node.
  template <class NodeT>
  explicit TransformBroadcaster(NodeT&& node, const rclcpp::QoS& qos = DynamicBroadcasterQoS())
      : publisher_(node->template create_publisher<tf2_msgs::msg::TFMessage>("/tf", qos)) {}

  void sendTransform(const geometry_msgs::msg::TransformStamped& transform);
  // All in one message.
  void sendTransform(const std::vector<geometry_msgs::msg::TransformStamped>& transforms);

 private:
  std::shared_ptr<rclcpp::Publisher<tf2_msgs::msg::TFMessage>> publisher_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__TRANSFORM_BROADCASTER_H_
