#include "rclcpp/node_interfaces/node_waitables_interface.hpp"

namespace rclcpp {
namespace node_interfaces {

NodeWaitablesInterface::NodeWaitablesInterface(const NodeBaseInterface::SharedPtr& node_base)
    : node_base_(node_base) {}

NodeWaitablesInterface::~NodeWaitablesInterface() = default;

void NodeWaitablesInterface::add_waitable(rclcpp::Waitable::SharedPtr waitable_ptr,
                                          rclcpp::CallbackGroup::SharedPtr group) {
  node_base_->add_entity(waitable_ptr, group, "waitable");
}

void NodeWaitablesInterface::remove_waitable(rclcpp::Waitable::SharedPtr waitable_ptr,
                                             rclcpp::CallbackGroup::SharedPtr group) noexcept {
  if (!group) {
    group = node_base_->get_default_callback_group();
  }
  group->remove_entity(waitable_ptr.get());
}

}  // namespace node_interfaces
}  // namespace rclcpp
