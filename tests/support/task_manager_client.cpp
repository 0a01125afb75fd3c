#include "task_manager_client.hpp"

namespace test_support {

TaskManagerClient::TaskManagerClient(const std::string& node_name) {
  if (!rclcpp::ok()) {
    rclcpp::init(0, nullptr);
  }
  node_ = std::make_shared<rclcpp::Node>(node_name);
  executor_.add_node(node_);
  std::packaged_task<void()> spin_task([this] { executor_.spin(); });
  spin_done_ = spin_task.get_future();
  spinner_ = std::thread(std::move(spin_task));
}

TaskManagerClient::~TaskManagerClient() {
  // A cancel that comes before spin has begun is lost, so it is repeated until spin returns.
  do {
    executor_.cancel();
  } while (spin_done_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  spinner_.join();
}

void TaskManagerClient::spin(const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr& node) {
  executor_.add_node(node);
}

}  // namespace test_support
