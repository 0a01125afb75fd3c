#include "task_manager_client.hpp"

namespace test_support {

// The host is made first: it starts rclcpp.
TaskManagerClient::TaskManagerClient(const std::string& node_name) {
  node_ = std::make_shared<rclcpp::Node>(node_name);
  host_.spin(node_);
}

void TaskManagerClient::spin(const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr& node) {
  host_.spin(node);
}

}  // namespace test_support
