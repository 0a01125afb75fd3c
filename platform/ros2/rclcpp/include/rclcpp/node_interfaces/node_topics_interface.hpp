#ifndef RCLCPP__NODE_INTERFACES__NODE_TOPICS_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_TOPICS_INTERFACE_HPP_

#include <string>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_timers_interface.hpp"
#include "rclcpp/publisher_base.hpp"
#include "rclcpp/subscription_base.hpp"

namespace rclcpp {
namespace node_interfaces {

class NodeTopicsInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeTopicsInterface)

  NodeTopicsInterface(const NodeBaseInterface::SharedPtr& node_base,
                      const NodeTimersInterface::SharedPtr& node_timers);
  virtual ~NodeTopicsInterface();

  // Registers the publisher in the process's topic registry.
  void add_publisher(rclcpp::PublisherBase::SharedPtr publisher,
                     rclcpp::CallbackGroup::SharedPtr callback_group);
  // Places the subscription in its group, then lets it receive.
  void add_subscription(rclcpp::SubscriptionBase::SharedPtr subscription,
                        rclcpp::CallbackGroup::SharedPtr callback_group);

  NodeBaseInterface::SharedPtr get_node_base_interface() const;
  NodeTimersInterface::SharedPtr get_node_timers_interface() const;
  std::string resolve_topic_name(const std::string& name, bool only_expand = false) const;

 private:
  NodeBaseInterface::SharedPtr node_base_;
  NodeTimersInterface::SharedPtr node_timers_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_TOPICS_INTERFACE_HPP_
