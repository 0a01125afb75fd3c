#ifndef RCLCPP__CREATE_SUBSCRIPTION_HPP_
#define RCLCPP__CREATE_SUBSCRIPTION_HPP_

#include <memory>
#include <string>
#include <utility>

#include "rclcpp/create_publisher.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription.hpp"
#include "rclcpp/subscription_options.hpp"

namespace rclcpp {

template <typename MessageT, typename CallbackT, typename AllocatorT = std::allocator<void>,
          typename SubscriptionT = rclcpp::Subscription<MessageT, AllocatorT>, typename NodeT>
std::shared_ptr<SubscriptionT> create_subscription(
    NodeT&& node, const std::string& topic_name, const rclcpp::QoS& qos, CallbackT&& callback,
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT>& options =
        rclcpp::SubscriptionOptionsWithAllocator<AllocatorT>()) {
  auto topics = detail::get_topics_interface(std::forward<NodeT>(node));
  auto subscription = std::make_shared<SubscriptionT>(topics->resolve_topic_name(topic_name), qos,
                                                      std::forward<CallbackT>(callback));
  topics->add_subscription(subscription, options.callback_group);
  return subscription;
}

}  // namespace rclcpp

#endif  // RCLCPP__CREATE_SUBSCRIPTION_HPP_
