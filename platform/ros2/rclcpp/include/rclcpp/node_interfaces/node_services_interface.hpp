#ifndef RCLCPP__NODE_INTERFACES__NODE_SERVICES_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_SERVICES_INTERFACE_HPP_

#include <string>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/client.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/service_base.hpp"

namespace rclcpp {
namespace node_interfaces {

class NodeServicesInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeServicesInterface)

  explicit NodeServicesInterface(const NodeBaseInterface::SharedPtr& node_base);
  virtual ~NodeServicesInterface();

  void add_client(rclcpp::ClientBase::SharedPtr client_base,
                  rclcpp::CallbackGroup::SharedPtr group);
  // Places the service in its group, then makes it reachable by name.
  void add_service(rclcpp::ServiceBase::SharedPtr service_base,
                   rclcpp::CallbackGroup::SharedPtr group);
  std::string resolve_service_name(const std::string& name, bool only_expand = false) const;

 private:
  NodeBaseInterface::SharedPtr node_base_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_SERVICES_INTERFACE_HPP_
