#ifndef RCLCPP__NODE_INTERFACES__NODE_GRAPH_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_GRAPH_INTERFACE_HPP_

#include <map>
#include <string>
#include <vector>

#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp {
namespace node_interfaces {

// What the node can see of the process's topics.
class NodeGraphInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeGraphInterface)

  explicit NodeGraphInterface(const NodeBaseInterface::SharedPtr& node_base);
  virtual ~NodeGraphInterface();

  std::map<std::string, std::vector<std::string>> get_topic_names_and_types(
      bool no_demangle = false) const;
  size_t count_publishers(const std::string& topic_name) const;
  size_t count_subscribers(const std::string& topic_name) const;

 private:
  NodeBaseInterface::SharedPtr node_base_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_GRAPH_INTERFACE_HPP_
