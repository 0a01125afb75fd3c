#ifndef RCLCPP__NODE_INTERFACES__NODE_WAITABLES_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_WAITABLES_INTERFACE_HPP_

#include "rclcpp/callback_group.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/waitable.hpp"

namespace rclcpp {
namespace node_interfaces {

class NodeWaitablesInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeWaitablesInterface)

  explicit NodeWaitablesInterface(const NodeBaseInterface::SharedPtr& node_base);
  virtual ~NodeWaitablesInterface();

  void add_waitable(rclcpp::Waitable::SharedPtr waitable_ptr,
                    rclcpp::CallbackGroup::SharedPtr group);
  void remove_waitable(rclcpp::Waitable::SharedPtr waitable_ptr,
                       rclcpp::CallbackGroup::SharedPtr group) noexcept;

 private:
  NodeBaseInterface::SharedPtr node_base_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_WAITABLES_INTERFACE_HPP_
