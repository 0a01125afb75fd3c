#ifndef RCLCPP_ACTION__CREATE_CLIENT_HPP_
#define RCLCPP_ACTION__CREATE_CLIENT_HPP_

#include <memory>
#include <string>

#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_waitables_interface.hpp"
#include "rclcpp_action/client.hpp"

namespace rclcpp_action {

template <typename ActionT>
typename Client<ActionT>::SharedPtr create_client(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_interface,
    rclcpp::node_interfaces::NodeGraphInterface::SharedPtr node_graph_interface,
    rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_interface,
    rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr node_waitables_interface,
    const std::string& name, rclcpp::CallbackGroup::SharedPtr group = nullptr) {
  auto client = std::make_shared<Client<ActionT>>(node_base_interface, node_graph_interface,
                                                  node_logging_interface, name);
  node_waitables_interface->add_waitable(client, group);
  client->join_graph();
  return client;
}

template <typename ActionT, typename NodeT>
typename Client<ActionT>::SharedPtr create_client(
    NodeT node, const std::string& name, rclcpp::CallbackGroup::SharedPtr group = nullptr) {
  return rclcpp_action::create_client<ActionT>(
      node->get_node_base_interface(), node->get_node_graph_interface(),
      node->get_node_logging_interface(), node->get_node_waitables_interface(), name, group);
}

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CREATE_CLIENT_HPP_
