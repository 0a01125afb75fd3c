#ifndef TF2_ROS__TRANSFORM_LISTENER_H_
#define TF2_ROS__TRANSFORM_LISTENER_H_

#include <atomic>
#include <memory>
#include <thread>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription.hpp"
#include "tf2/buffer_core.h"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/qos.hpp"

namespace tf2_ros {

// Fills a buffer from the "/tf" and "/tf_static" topics. With `spin_thread`
// the subscriptions live in a callback group of their own that a private
// executor serves on a thread of this listener, so the buffer fills whatever
// the node's executor does; without it the node's executor must spin them.
class TransformListener {
 public:
  // Listens through a node of its own; `spin_thread` false leaves nobody to
  // serve that node, as with the full tf2_ros.
  explicit TransformListener(tf2::BufferCore& buffer, bool spin_thread = true,
                             const rclcpp::QoS& qos = DynamicListenerQoS(),
                             const rclcpp::QoS& static_qos = StaticListenerQoS());

  // Listens through `node` (a pointer or shared pointer to a node or a
  // lifecycle node).
  template <class NodeT>
  TransformListener(tf2::BufferCore& buffer, NodeT&& node, bool spin_thread = true,
                    const rclcpp::QoS& qos = DynamicListenerQoS(),
                    const rclcpp::QoS& static_qos = StaticListenerQoS())
      : buffer_(buffer) {
    init(*node, spin_thread, qos, static_qos);
  }

  virtual ~TransformListener();

  TransformListener(const TransformListener&) = delete;
  TransformListener& operator=(const TransformListener&) = delete;

 private:
  template <class NodeT>
  void init(NodeT& node, bool spin_thread, const rclcpp::QoS& qos, const rclcpp::QoS& static_qos) {
    rclcpp::SubscriptionOptions options;
    if (spin_thread) {
      callback_group_ =
          node.create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
      options.callback_group = callback_group_;
    }
    message_subscription_tf_ = node.template create_subscription<tf2_msgs::msg::TFMessage>(
        "/tf", qos,
        [this](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) { subscriptionCallback(*msg, false); },
        options);
    message_subscription_tf_static_ = node.template create_subscription<tf2_msgs::msg::TFMessage>(
        "/tf_static", static_qos,
        [this](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) { subscriptionCallback(*msg, true); },
        options);
    if (spin_thread) {
      startThread(node.get_node_base_interface());
    }
  }

  void startThread(const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr& node_base);
  void subscriptionCallback(const tf2_msgs::msg::TFMessage& msg, bool is_static);

  tf2::BufferCore& buffer_;
  rclcpp::Node::SharedPtr optional_default_node_;
  rclcpp::CallbackGroup::SharedPtr callback_group_;
  rclcpp::Subscription<tf2_msgs::msg::TFMessage>::SharedPtr message_subscription_tf_;
  rclcpp::Subscription<tf2_msgs::msg::TFMessage>::SharedPtr message_subscription_tf_static_;
  std::shared_ptr<rclcpp::executors::SingleThreadedExecutor> executor_;
  std::atomic_bool stop_{false};
  std::unique_ptr<std::thread> dedicated_listener_thread_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__TRANSFORM_LISTENER_H_
