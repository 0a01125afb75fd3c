#include "rclcpp/detail/executor_notifier.hpp"

#include <algorithm>
#include <vector>

#include "rclcpp/detail/process_wide.hpp"

namespace rclcpp {
namespace detail {

uint64_t ExecutorNotifier::generation() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

void ExecutorNotifier::notify() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
  }
  cv_.notify_all();
}

bool ExecutorNotifier::wait(uint64_t seen, std::chrono::nanoseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto changed = [this, seen]() { return generation_ != seen; };
  if (timeout < std::chrono::nanoseconds::zero()) {
    cv_.wait(lock, changed);
    return true;
  }
  return cv_.wait_for(lock, timeout, changed);
}

namespace {
struct NotifierRegistry : std::enable_shared_from_this<NotifierRegistry> {
  std::mutex mutex;
  std::vector<std::weak_ptr<ExecutorNotifier>> notifiers;
};

NotifierRegistry& registry() { return ProcessWide<NotifierRegistry>::instance(); }
}  // namespace

std::shared_ptr<const void> notifier_registry_holder() {
  return ProcessWide<NotifierRegistry>::shared();
}

void register_notifier(const std::weak_ptr<ExecutorNotifier>& notifier) {
  auto& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.notifiers.erase(
      std::remove_if(r.notifiers.begin(), r.notifiers.end(),
                     [](const std::weak_ptr<ExecutorNotifier>& n) { return n.expired(); }),
      r.notifiers.end());
  r.notifiers.push_back(notifier);
}

void notify_all_executors() {
  std::vector<std::shared_ptr<ExecutorNotifier>> alive;
  {
    auto& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const auto& weak : r.notifiers) {
      if (auto n = weak.lock()) {
        alive.push_back(n);
      }
    }
  }
  for (const auto& n : alive) {
    n->notify();
  }
}

}  // namespace detail
}  // namespace rclcpp
