#ifndef PLANNING_SIM__NODE_HOST_HPP_
#define PLANNING_SIM__NODE_HOST_HPP_

#include <future>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace planning_sim {

/**
 * The executor of a hosting process, spun on a thread of its own: the nodes handed to `spin` have
 * their goals, requests and messages served there, as on the robot. Starts rclcpp when it is not
 * running yet (and leaves it running). Destroying the host stops the executor before its owner
 * lets go of the nodes, so that a node joins its workers with nothing left to call into it.
 */
class NodeHost {
 public:
  NodeHost();
  ~NodeHost();
  NodeHost(const NodeHost&) = delete;
  NodeHost& operator=(const NodeHost&) = delete;

  // Serves the node from now on (once per node).
  void spin(const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr& node);
  template <typename NodeT>
  void spin(const std::shared_ptr<NodeT>& node) {
    spin(node->get_node_base_interface());
  }

 private:
  // Starts rclcpp unless it runs; true.
  static bool startRclcpp();

  // Before the executor, which needs a running rclcpp to be constructed.
  bool rclcpp_started_{startRclcpp()};
  rclcpp::executors::SingleThreadedExecutor executor_;
  // Ready once spin has returned.
  std::future<void> spin_done_;
  std::thread spinner_;
};

// Configures and activates a lifecycle node, as a hosting process does after constructing it.
// Throws NodeParameterError with the node's one line when configure refuses a parameter value
// (rclcpp::exceptions::InvalidParameterValueException: what() names the parameter and the value),
// std::runtime_error naming the node and the transition for any other failure.
void bringUp(rclcpp_lifecycle::LifecycleNode& node);

}  // namespace planning_sim

#endif  // PLANNING_SIM__NODE_HOST_HPP_
