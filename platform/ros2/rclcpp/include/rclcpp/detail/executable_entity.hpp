#ifndef RCLCPP__DETAIL__EXECUTABLE_ENTITY_HPP_
#define RCLCPP__DETAIL__EXECUTABLE_ENTITY_HPP_

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "rclcpp/detail/executor_notifier.hpp"

namespace rclcpp {

class CallbackGroup;

namespace detail {

// Something an executor runs callbacks of: a subscription, timer, service,
// client or waitable. Work arrives from other threads; the entity queues it
// and wakes the executor of its group.
class ExecutableEntity {
 public:
  virtual ~ExecutableEntity();

  // Takes one piece of ready work (the callback call with its data), or an
  // empty function when there is none.
  virtual std::function<void()> take_ready_work() = 0;
  // Whether `take_ready_work` would give something now.
  virtual bool has_ready_work() = 0;
  // For entities that fall due by time (timers): how long until then; zero
  // or less when due; nanoseconds::max() when never (cancelled).
  virtual std::chrono::nanoseconds time_until_ready() const;
  virtual bool is_timed() const;

  // Set once, when the entity joins its group (before it can receive work).
  void set_callback_group(const std::shared_ptr<CallbackGroup>& group);
  std::shared_ptr<CallbackGroup> get_callback_group_of_entity() const;

 protected:
  void notify_ready() const;

 private:
  std::weak_ptr<CallbackGroup> group_;
};

// Where a node's groups find the executor the node was added to, so that a
// group made after `add_node` wakes that executor before it has taken it.
class NodeExecutorLink {
 public:
  void set(const std::weak_ptr<ExecutorNotifier>& notifier);
  std::shared_ptr<ExecutorNotifier> get() const;

 private:
  mutable std::mutex mutex_;
  std::weak_ptr<ExecutorNotifier> notifier_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__EXECUTABLE_ENTITY_HPP_
