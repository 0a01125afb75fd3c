#ifndef RCLCPP__DETAIL__EXECUTOR_NOTIFIER_HPP_
#define RCLCPP__DETAIL__EXECUTOR_NOTIFIER_HPP_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace rclcpp {
namespace detail {

// What an executor sleeps on. Anything that may give it work (a message, a
// request, a response, driven time, shutdown, cancel) bumps the generation;
// a waiter that read the generation before looking for work cannot miss it.
class ExecutorNotifier {
 public:
  uint64_t generation() const;
  void notify();
  // Waits until the generation differs from `seen` or the timeout (negative:
  // none) passes. Returns whether it changed.
  bool wait(uint64_t seen, std::chrono::nanoseconds timeout);

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  uint64_t generation_ = 0;
};

// Process-wide list of the notifiers of living executors, woken on shutdown and
// when driven time moves.
void register_notifier(const std::weak_ptr<ExecutorNotifier>& notifier);
// What a holder keeps so that the list is still there on its way out.
std::shared_ptr<const void> notifier_registry_holder();
void notify_all_executors();

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__EXECUTOR_NOTIFIER_HPP_
