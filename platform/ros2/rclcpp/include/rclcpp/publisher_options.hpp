#ifndef RCLCPP__PUBLISHER_OPTIONS_HPP_
#define RCLCPP__PUBLISHER_OPTIONS_HPP_

#include <memory>

#include "rclcpp/callback_group.hpp"

namespace rclcpp {

template <typename Allocator>
struct PublisherOptionsWithAllocator {
  rclcpp::CallbackGroup::SharedPtr callback_group = nullptr;
  std::shared_ptr<Allocator> allocator = nullptr;
};

using PublisherOptions = PublisherOptionsWithAllocator<std::allocator<void>>;

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_OPTIONS_HPP_
