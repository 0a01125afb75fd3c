#include "rclcpp/callback_group.hpp"

#include <algorithm>

#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/detail/executor_notifier.hpp"

namespace rclcpp {

CallbackGroup::CallbackGroup(CallbackGroupType group_type,
                             bool automatically_add_to_executor_with_node)
    : type_(group_type),
      automatically_add_to_executor_with_node_(automatically_add_to_executor_with_node) {}

CallbackGroup::~CallbackGroup() = default;

CallbackGroupType CallbackGroup::type() const { return type_; }

bool CallbackGroup::automatically_add_to_executor_with_node() const {
  return automatically_add_to_executor_with_node_;
}

std::atomic_bool& CallbackGroup::get_associated_with_executor_atomic() {
  return associated_with_executor_;
}

std::atomic_bool& CallbackGroup::can_be_taken_from() { return can_be_taken_from_; }

size_t CallbackGroup::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(
      std::count_if(entities_.begin(), entities_.end(),
                    [](const std::weak_ptr<detail::ExecutableEntity>& e) { return !e.expired(); }));
}

void CallbackGroup::add_entity(const std::shared_ptr<detail::ExecutableEntity>& entity) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    entities_.erase(std::remove_if(entities_.begin(), entities_.end(),
                                   [](const std::weak_ptr<detail::ExecutableEntity>& e) {
                                     return e.expired();
                                   }),
                    entities_.end());
    entities_.push_back(entity);
  }
  // A new timer may be due sooner than anything the executor waits for.
  notify();
}

void CallbackGroup::remove_entity(const detail::ExecutableEntity* entity) {
  std::lock_guard<std::mutex> lock(mutex_);
  entities_.erase(std::remove_if(entities_.begin(), entities_.end(),
                                 [entity](const std::weak_ptr<detail::ExecutableEntity>& e) {
                                   auto locked = e.lock();
                                   return !locked || locked.get() == entity;
                                 }),
                  entities_.end());
}

std::vector<std::shared_ptr<detail::ExecutableEntity>> CallbackGroup::entities() const {
  std::vector<std::shared_ptr<detail::ExecutableEntity>> alive;
  std::lock_guard<std::mutex> lock(mutex_);
  alive.reserve(entities_.size());
  for (const auto& weak : entities_) {
    if (auto e = weak.lock()) {
      alive.push_back(std::move(e));
    }
  }
  return alive;
}

void CallbackGroup::set_node_link(const std::weak_ptr<detail::NodeExecutorLink>& link) {
  std::lock_guard<std::mutex> lock(mutex_);
  node_link_ = link;
}

void CallbackGroup::set_executor(const std::weak_ptr<detail::ExecutorNotifier>& notifier) {
  std::lock_guard<std::mutex> lock(mutex_);
  executor_ = notifier;
}

std::shared_ptr<detail::ExecutorNotifier> CallbackGroup::executor() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return executor_.lock();
}

void CallbackGroup::notify() const {
  std::shared_ptr<detail::ExecutorNotifier> notifier;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    notifier = executor_.lock();
    if (!notifier && automatically_add_to_executor_with_node_) {
      if (auto link = node_link_.lock()) {
        notifier = link->get();
      }
    }
  }
  if (notifier) {
    notifier->notify();
  }
}

}  // namespace rclcpp
