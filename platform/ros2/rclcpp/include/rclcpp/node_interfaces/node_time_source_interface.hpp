#ifndef RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_INTERFACE_HPP_

#include "rclcpp/macros.hpp"

namespace rclcpp {
namespace node_interfaces {

// What keeps a node's clock on simulated time when the node's "use_sim_time" says so.
class NodeTimeSourceInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeTimeSourceInterface)

  virtual ~NodeTimeSourceInterface() = default;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_INTERFACE_HPP_
