#ifndef RCLCPP__NODE_INTERFACES__NODE_TIMERS_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_TIMERS_INTERFACE_HPP_

#include "rclcpp/callback_group.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/timer.hpp"

namespace rclcpp {
namespace node_interfaces {

class NodeTimersInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeTimersInterface)

  explicit NodeTimersInterface(const NodeBaseInterface::SharedPtr& node_base);
  virtual ~NodeTimersInterface();

  // Puts the timer in `callback_group` (the node's default group when null).
  void add_timer(rclcpp::TimerBase::SharedPtr timer,
                 rclcpp::CallbackGroup::SharedPtr callback_group);

 private:
  NodeBaseInterface::SharedPtr node_base_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_TIMERS_INTERFACE_HPP_
