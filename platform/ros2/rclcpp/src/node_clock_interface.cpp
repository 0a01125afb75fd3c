#include "rclcpp/node_interfaces/node_clock_interface.hpp"

namespace rclcpp {
namespace node_interfaces {

NodeClockInterface::NodeClockInterface() : clock_(std::make_shared<rclcpp::Clock>(RCL_ROS_TIME)) {}

NodeClockInterface::~NodeClockInterface() = default;

rclcpp::Clock::SharedPtr NodeClockInterface::get_clock() { return clock_; }

rclcpp::Clock::ConstSharedPtr NodeClockInterface::get_clock() const { return clock_; }

}  // namespace node_interfaces
}  // namespace rclcpp
