#include "rclcpp/node_interfaces/node_topics_interface.hpp"

#include <stdexcept>

namespace rclcpp {
namespace node_interfaces {

NodeTopicsInterface::NodeTopicsInterface(const NodeBaseInterface::SharedPtr& node_base,
                                         const NodeTimersInterface::SharedPtr& node_timers)
    : node_base_(node_base), node_timers_(node_timers) {}

NodeTopicsInterface::~NodeTopicsInterface() = default;

void NodeTopicsInterface::add_publisher(rclcpp::PublisherBase::SharedPtr publisher,
                                        rclcpp::CallbackGroup::SharedPtr callback_group) {
  if (callback_group && !node_base_->callback_group_in_node(callback_group)) {
    throw std::runtime_error("Cannot create publisher, callback group not in node.");
  }
  publisher->join_graph();
}

void NodeTopicsInterface::add_subscription(rclcpp::SubscriptionBase::SharedPtr subscription,
                                           rclcpp::CallbackGroup::SharedPtr callback_group) {
  node_base_->add_entity(subscription, callback_group, "subscription");
  subscription->join_graph();
}

NodeBaseInterface::SharedPtr NodeTopicsInterface::get_node_base_interface() const {
  return node_base_;
}

NodeTimersInterface::SharedPtr NodeTopicsInterface::get_node_timers_interface() const {
  return node_timers_;
}

std::string NodeTopicsInterface::resolve_topic_name(const std::string& name,
                                                    bool only_expand) const {
  return node_base_->resolve_topic_or_service_name(name, false, only_expand);
}

}  // namespace node_interfaces
}  // namespace rclcpp
