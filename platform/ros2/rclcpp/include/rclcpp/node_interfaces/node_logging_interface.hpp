#ifndef RCLCPP__NODE_INTERFACES__NODE_LOGGING_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_LOGGING_INTERFACE_HPP_

#include <memory>

#include "rclcpp/logger.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp {
namespace node_interfaces {

// The node's logger, named as ROS 2 names it: the namespace's tokens and the
// node name joined by dots ("ns.talker").
class NodeLoggingInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeLoggingInterface)

  explicit NodeLoggingInterface(const NodeBaseInterface::SharedPtr& node_base);
  virtual ~NodeLoggingInterface();

  rclcpp::Logger get_logger() const;
  const char* get_logger_name() const;

 private:
  rclcpp::Logger logger_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_LOGGING_INTERFACE_HPP_
