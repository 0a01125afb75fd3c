#include "nav2_util/node_thread.hpp"

#include <chrono>

namespace nav2_util {

NodeThread::NodeThread(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base)
    : node_(node_base) {
  executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor_->add_node(node_);
  start();
}

NodeThread::NodeThread(rclcpp::executors::SingleThreadedExecutor::SharedPtr executor)
    : executor_(executor) {
  start();
}

void NodeThread::start() {
  thread_ = std::make_unique<std::thread>([this]() {
    executor_->spin();
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    cv_.notify_all();
  });
}

NodeThread::~NodeThread() {
  // A cancel that comes before the thread has started spinning is lost, so
  // repeat it until the spin has returned.
  std::unique_lock<std::mutex> lock(mutex_);
  while (!finished_) {
    executor_->cancel();
    cv_.wait_for(lock, std::chrono::milliseconds(10));
  }
  lock.unlock();
  thread_->join();
  if (node_) {
    executor_->remove_node(node_);
  }
}

}  // namespace nav2_util
