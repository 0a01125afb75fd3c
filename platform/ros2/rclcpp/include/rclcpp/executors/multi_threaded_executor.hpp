#ifndef RCLCPP__EXECUTORS__MULTI_THREADED_EXECUTOR_HPP_
#define RCLCPP__EXECUTORS__MULTI_THREADED_EXECUTOR_HPP_

#include <chrono>
#include <cstddef>

#include "rclcpp/executor.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp {
namespace executors {

// Runs callbacks on a pool of threads: callbacks of one reentrant group may
// overlap, those of one mutually exclusive group never do.
class MultiThreadedExecutor : public rclcpp::Executor {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(MultiThreadedExecutor)

  // Zero threads means one per core (at least two).
  explicit MultiThreadedExecutor(const rclcpp::ExecutorOptions& options = rclcpp::ExecutorOptions(),
                                 size_t number_of_threads = 0, bool yield_before_execute = false,
                                 std::chrono::nanoseconds timeout = std::chrono::nanoseconds(-1));
  ~MultiThreadedExecutor() override;

  // Runs the pool, the calling thread included; returns after `cancel` or
  // shutdown, once every thread has finished its callback.
  void spin() override;
  size_t get_number_of_threads();

 private:
  void run();

  size_t number_of_threads_;
  bool yield_before_execute_;
  std::chrono::nanoseconds next_exec_timeout_;
};

}  // namespace executors
}  // namespace rclcpp

#endif  // RCLCPP__EXECUTORS__MULTI_THREADED_EXECUTOR_HPP_
