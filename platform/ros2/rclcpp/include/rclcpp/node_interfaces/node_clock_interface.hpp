#ifndef RCLCPP__NODE_INTERFACES__NODE_CLOCK_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_CLOCK_INTERFACE_HPP_

#include "rclcpp/clock.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp {
namespace node_interfaces {

// The node's clock: ROS time, which follows the process time source.
class NodeClockInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeClockInterface)

  NodeClockInterface();
  virtual ~NodeClockInterface();

  rclcpp::Clock::SharedPtr get_clock();
  rclcpp::Clock::ConstSharedPtr get_clock() const;

 private:
  rclcpp::Clock::SharedPtr clock_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_CLOCK_INTERFACE_HPP_
