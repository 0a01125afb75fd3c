#include "rclcpp/node_interfaces/node_services_interface.hpp"

namespace rclcpp {
namespace node_interfaces {

NodeServicesInterface::NodeServicesInterface(const NodeBaseInterface::SharedPtr& node_base)
    : node_base_(node_base) {}

NodeServicesInterface::~NodeServicesInterface() = default;

void NodeServicesInterface::add_client(rclcpp::ClientBase::SharedPtr client_base,
                                       rclcpp::CallbackGroup::SharedPtr group) {
  node_base_->add_entity(client_base, group, "client");
}

void NodeServicesInterface::add_service(rclcpp::ServiceBase::SharedPtr service_base,
                                        rclcpp::CallbackGroup::SharedPtr group) {
  node_base_->add_entity(service_base, group, "service");
  service_base->join_graph();
}

std::string NodeServicesInterface::resolve_service_name(const std::string& name,
                                                        bool only_expand) const {
  return node_base_->resolve_topic_or_service_name(name, true, only_expand);
}

}  // namespace node_interfaces
}  // namespace rclcpp
