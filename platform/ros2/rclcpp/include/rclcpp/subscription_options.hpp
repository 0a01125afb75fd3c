#ifndef RCLCPP__SUBSCRIPTION_OPTIONS_HPP_
#define RCLCPP__SUBSCRIPTION_OPTIONS_HPP_

#include <memory>

#include "rclcpp/callback_group.hpp"

namespace rclcpp {

template <typename Allocator>
struct SubscriptionOptionsWithAllocator {
  // The group the callback runs in; the node's default group when null.
  rclcpp::CallbackGroup::SharedPtr callback_group = nullptr;
  bool ignore_local_publications = false;
  std::shared_ptr<Allocator> allocator = nullptr;
};

using SubscriptionOptions = SubscriptionOptionsWithAllocator<std::allocator<void>>;

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_OPTIONS_HPP_
