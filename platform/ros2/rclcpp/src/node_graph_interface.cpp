#include "rclcpp/node_interfaces/node_graph_interface.hpp"

#include "rclcpp/detail/graph.hpp"

namespace rclcpp {
namespace node_interfaces {

NodeGraphInterface::NodeGraphInterface(const NodeBaseInterface::SharedPtr& node_base)
    : node_base_(node_base) {}

NodeGraphInterface::~NodeGraphInterface() = default;

std::map<std::string, std::vector<std::string>> NodeGraphInterface::get_topic_names_and_types(
    bool /*no_demangle*/) const {
  return detail::Graph::instance().get_topic_names();
}

size_t NodeGraphInterface::count_publishers(const std::string& topic_name) const {
  return detail::Graph::instance().count_publishers(
      node_base_->resolve_topic_or_service_name(topic_name, false));
}

size_t NodeGraphInterface::count_subscribers(const std::string& topic_name) const {
  return detail::Graph::instance().count_subscribers(
      node_base_->resolve_topic_or_service_name(topic_name, false));
}

}  // namespace node_interfaces
}  // namespace rclcpp
