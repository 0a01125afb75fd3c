#include "rclcpp_lifecycle/node_interfaces/lifecycle_node_interface.hpp"

namespace rclcpp_lifecycle {
namespace node_interfaces {

using CallbackReturn = LifecycleNodeInterface::CallbackReturn;

CallbackReturn LifecycleNodeInterface::on_configure(const State&) {
  return CallbackReturn::SUCCESS;
}
CallbackReturn LifecycleNodeInterface::on_cleanup(const State&) { return CallbackReturn::SUCCESS; }
CallbackReturn LifecycleNodeInterface::on_shutdown(const State&) { return CallbackReturn::SUCCESS; }
CallbackReturn LifecycleNodeInterface::on_activate(const State&) { return CallbackReturn::SUCCESS; }
CallbackReturn LifecycleNodeInterface::on_deactivate(const State&) {
  return CallbackReturn::SUCCESS;
}
CallbackReturn LifecycleNodeInterface::on_error(const State&) { return CallbackReturn::SUCCESS; }

}  // namespace node_interfaces
}  // namespace rclcpp_lifecycle
