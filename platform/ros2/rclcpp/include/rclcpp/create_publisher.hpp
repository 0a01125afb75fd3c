#ifndef RCLCPP__CREATE_PUBLISHER_HPP_
#define RCLCPP__CREATE_PUBLISHER_HPP_

#include <memory>
#include <string>
#include <type_traits>

#include "rclcpp/node_interfaces/node_topics_interface.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp/publisher_options.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp {

namespace detail {
// A node pointer or a topics interface pointer, as rclcpp's create functions take.
template <typename NodeT>
node_interfaces::NodeTopicsInterface::SharedPtr get_topics_interface(NodeT&& node) {
  using Decayed = std::decay_t<NodeT>;
  if constexpr (std::is_convertible_v<Decayed, node_interfaces::NodeTopicsInterface::SharedPtr>) {
    return node;
  } else {
    return node->get_node_topics_interface();
  }
}
}  // namespace detail

template <typename MessageT, typename AllocatorT = std::allocator<void>,
          typename PublisherT = rclcpp::Publisher<MessageT, AllocatorT>, typename NodeT>
std::shared_ptr<PublisherT> create_publisher(
    NodeT&& node, const std::string& topic_name, const rclcpp::QoS& qos,
    const rclcpp::PublisherOptionsWithAllocator<AllocatorT>& options =
        rclcpp::PublisherOptionsWithAllocator<AllocatorT>()) {
  auto topics = detail::get_topics_interface(std::forward<NodeT>(node));
  auto publisher = std::make_shared<PublisherT>(topics->resolve_topic_name(topic_name), qos);
  topics->add_publisher(publisher, options.callback_group);
  return publisher;
}

}  // namespace rclcpp

#endif  // RCLCPP__CREATE_PUBLISHER_HPP_
