#include "tf2_ros/transform_listener.h"

#include <chrono>
#include <cstdint>
#include <string>

#include "rclcpp/node_options.hpp"

namespace tf2_ros {

TransformListener::TransformListener(tf2::BufferCore& buffer, bool spin_thread,
                                     const rclcpp::QoS& qos, const rclcpp::QoS& static_qos)
    : buffer_(buffer) {
  rclcpp::NodeOptions options;
  options.start_parameter_services(false);
  options.start_parameter_event_publisher(false);
  // The address keeps the names of several listeners in one process apart.
  optional_default_node_ = rclcpp::Node::make_shared(
      "transform_listener_impl_" + std::to_string(reinterpret_cast<uintptr_t>(this)), options);
  init(*optional_default_node_, spin_thread, qos, static_qos);
}

TransformListener::~TransformListener() {
  stop_.store(true);
  if (executor_) {
    executor_->cancel();
  }
  if (dedicated_listener_thread_ && dedicated_listener_thread_->joinable()) {
    dedicated_listener_thread_->join();
  }
}

void TransformListener::startThread(
    const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr& node_base) {
  executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor_->add_callback_group(callback_group_, node_base);
  // Short waits rather than one spin(): a cancel that arrives before spin()
  // has started would be lost and the thread would never end.
  dedicated_listener_thread_ = std::make_unique<std::thread>([this, executor = executor_]() {
    while (!stop_.load()) {
      executor->spin_once(std::chrono::milliseconds(100));
    }
  });
}

void TransformListener::subscriptionCallback(const tf2_msgs::msg::TFMessage& msg, bool is_static) {
  // A bad transform is refused (and reported) by the buffer; the others of
  // the message still count.
  for (const auto& transform : msg.transforms) {
    buffer_.setTransform(transform, "Authority undetectable", is_static);
  }
}

}  // namespace tf2_ros
