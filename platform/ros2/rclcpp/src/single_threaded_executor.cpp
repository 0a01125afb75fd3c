#include "rclcpp/executors/single_threaded_executor.hpp"

namespace rclcpp {
namespace executors {

SingleThreadedExecutor::SingleThreadedExecutor(const rclcpp::ExecutorOptions& options)
    : Executor(options) {}

SingleThreadedExecutor::~SingleThreadedExecutor() = default;

void SingleThreadedExecutor::spin() {
  begin_spinning("spin() called while already spinning");
  SpinningGuard guard(*this);
  while (rclcpp::ok(context_) && spinning.load()) {
    AnyExecutable any;
    if (get_next_executable(any, std::chrono::nanoseconds(-1))) {
      execute_any_executable(any);
    }
  }
}

}  // namespace executors
}  // namespace rclcpp
