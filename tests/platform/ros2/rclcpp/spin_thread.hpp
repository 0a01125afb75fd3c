#ifndef TESTS__PLATFORM__ROS2__RCLCPP__SPIN_THREAD_HPP_
#define TESTS__PLATFORM__ROS2__RCLCPP__SPIN_THREAD_HPP_

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "rclcpp/executor.hpp"

namespace rclcpp_test {

// Spins an executor on a thread of its own until destroyed. A cancel that
// comes before the spin has started is lost, so it is repeated until the spin
// has returned.
class SpinThread {
 public:
  explicit SpinThread(rclcpp::Executor& executor)
      : executor_(executor), thread_([this]() {
          executor_.spin();
          std::lock_guard<std::mutex> lock(mutex_);
          done_ = true;
          cv_.notify_all();
        }) {}

  ~SpinThread() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      executor_.cancel();
      cv_.wait_for(lock, std::chrono::milliseconds(10));
    }
    lock.unlock();
    thread_.join();
  }

 private:
  rclcpp::Executor& executor_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace rclcpp_test

#endif  // TESTS__PLATFORM__ROS2__RCLCPP__SPIN_THREAD_HPP_
