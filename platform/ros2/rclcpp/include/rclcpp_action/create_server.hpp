#ifndef RCLCPP_ACTION__CREATE_SERVER_HPP_
#define RCLCPP_ACTION__CREATE_SERVER_HPP_

#include <memory>
#include <string>

#include "rcl_action/action_server.h"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_waitables_interface.hpp"
#include "rclcpp_action/server.hpp"

namespace rclcpp_action {

// Serves the action `name` (resolved like a service name) in `group` (the
// node's default group when null).
template <typename ActionT>
typename Server<ActionT>::SharedPtr create_server(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_interface,
    rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock_interface,
    rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_interface,
    rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr node_waitables_interface,
    const std::string& name, typename Server<ActionT>::GoalCallback handle_goal,
    typename Server<ActionT>::CancelCallback handle_cancel,
    typename Server<ActionT>::AcceptedCallback handle_accepted,
    const rcl_action_server_options_t& options = rcl_action_server_get_default_options(),
    rclcpp::CallbackGroup::SharedPtr group = nullptr) {
  auto server = std::make_shared<Server<ActionT>>(node_base_interface, node_clock_interface,
                                                  node_logging_interface, name, options,
                                                  handle_goal, handle_cancel, handle_accepted);
  node_waitables_interface->add_waitable(server, group);
  server->join_graph();
  return server;
}

template <typename ActionT, typename NodeT>
typename Server<ActionT>::SharedPtr create_server(
    NodeT node, const std::string& name, typename Server<ActionT>::GoalCallback handle_goal,
    typename Server<ActionT>::CancelCallback handle_cancel,
    typename Server<ActionT>::AcceptedCallback handle_accepted,
    const rcl_action_server_options_t& options = rcl_action_server_get_default_options(),
    rclcpp::CallbackGroup::SharedPtr group = nullptr) {
  return rclcpp_action::create_server<ActionT>(
      node->get_node_base_interface(), node->get_node_clock_interface(),
      node->get_node_logging_interface(), node->get_node_waitables_interface(), name, handle_goal,
      handle_cancel, handle_accepted, options, group);
}

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CREATE_SERVER_HPP_
