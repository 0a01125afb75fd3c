#include "tf2_ros/transform_broadcaster.h"

namespace tf2_ros {

void TransformBroadcaster::sendTransform(const geometry_msgs::msg::TransformStamped& transform) {
  sendTransform(std::vector<geometry_msgs::msg::TransformStamped>{transform});
}

void TransformBroadcaster::sendTransform(
    const std::vector<geometry_msgs::msg::TransformStamped>& transforms) {
  tf2_msgs::msg::TFMessage message;
  message.transforms = transforms;
  publisher_->publish(message);
}

}  // namespace tf2_ros
