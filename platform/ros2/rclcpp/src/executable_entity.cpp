#include "rclcpp/detail/executable_entity.hpp"

#include "rclcpp/callback_group.hpp"

namespace rclcpp {
namespace detail {

ExecutableEntity::~ExecutableEntity() = default;

std::chrono::nanoseconds ExecutableEntity::time_until_ready() const {
  return std::chrono::nanoseconds::max();
}

bool ExecutableEntity::is_timed() const { return false; }

void ExecutableEntity::set_callback_group(const std::shared_ptr<CallbackGroup>& group) {
  group_ = group;
}

std::shared_ptr<CallbackGroup> ExecutableEntity::get_callback_group_of_entity() const {
  return group_.lock();
}

void ExecutableEntity::notify_ready() const {
  if (auto group = group_.lock()) {
    group->notify();
  }
}

void NodeExecutorLink::set(const std::weak_ptr<ExecutorNotifier>& notifier) {
  std::lock_guard<std::mutex> lock(mutex_);
  notifier_ = notifier;
}

std::shared_ptr<ExecutorNotifier> NodeExecutorLink::get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notifier_.lock();
}

}  // namespace detail
}  // namespace rclcpp
