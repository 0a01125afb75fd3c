#include "rclcpp/node_interfaces/node_timers_interface.hpp"

namespace rclcpp {
namespace node_interfaces {

NodeTimersInterface::NodeTimersInterface(const NodeBaseInterface::SharedPtr& node_base)
    : node_base_(node_base) {}

NodeTimersInterface::~NodeTimersInterface() = default;

void NodeTimersInterface::add_timer(rclcpp::TimerBase::SharedPtr timer,
                                    rclcpp::CallbackGroup::SharedPtr callback_group) {
  node_base_->add_entity(timer, callback_group, "timer");
}

}  // namespace node_interfaces
}  // namespace rclcpp
