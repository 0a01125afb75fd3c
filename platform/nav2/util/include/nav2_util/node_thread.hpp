#ifndef NAV2_UTIL__NODE_THREAD_HPP_
#define NAV2_UTIL__NODE_THREAD_HPP_

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace nav2_util {

// Spins a node (on an executor of its own) or a given executor on a thread of
// its own; the destructor cancels the executor and joins the thread.
class NodeThread {
 public:
  explicit NodeThread(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base);
  explicit NodeThread(rclcpp::executors::SingleThreadedExecutor::SharedPtr executor);
  template <typename NodeT>
  explicit NodeThread(NodeT node) : NodeThread(node->get_node_base_interface()) {}
  ~NodeThread();
  NodeThread(const NodeThread&) = delete;
  NodeThread& operator=(const NodeThread&) = delete;

 protected:
  void start();

  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_;
  std::unique_ptr<std::thread> thread_;
  rclcpp::Executor::SharedPtr executor_;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool finished_ = false;
};

}  // namespace nav2_util

#endif  // NAV2_UTIL__NODE_THREAD_HPP_
