#ifndef RCLCPP__EXECUTORS_HPP_
#define RCLCPP__EXECUTORS_HPP_

#include <chrono>
#include <memory>

#include "rclcpp/executor.hpp"
#include "rclcpp/executors/multi_threaded_executor.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp {

class Node;

// Spin a node on a single-threaded executor of its own.
void spin(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr);
void spin(std::shared_ptr<rclcpp::Node> node_ptr);
void spin_some(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr);
void spin_some(std::shared_ptr<rclcpp::Node> node_ptr);

template <typename FutureT, typename TimeRepT = int64_t, typename TimeT = std::milli>
FutureReturnCode spin_until_future_complete(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, const FutureT& future,
    std::chrono::duration<TimeRepT, TimeT> timeout = std::chrono::duration<TimeRepT, TimeT>(-1)) {
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_ptr);
  const auto code = executor.spin_until_future_complete(future, timeout);
  executor.remove_node(node_ptr);
  return code;
}

template <typename NodeT = rclcpp::Node, typename FutureT, typename TimeRepT = int64_t,
          typename TimeT = std::milli>
FutureReturnCode spin_until_future_complete(
    std::shared_ptr<NodeT> node_ptr, const FutureT& future,
    std::chrono::duration<TimeRepT, TimeT> timeout = std::chrono::duration<TimeRepT, TimeT>(-1)) {
  return rclcpp::spin_until_future_complete(node_ptr->get_node_base_interface(), future, timeout);
}

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTORS_HPP_
