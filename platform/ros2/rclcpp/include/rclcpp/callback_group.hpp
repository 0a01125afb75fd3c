#ifndef RCLCPP__CALLBACK_GROUP_HPP_
#define RCLCPP__CALLBACK_GROUP_HPP_

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "rclcpp/macros.hpp"

namespace rclcpp {

namespace detail {
class ExecutableEntity;
class ExecutorNotifier;
class NodeExecutorLink;
}  // namespace detail

enum class CallbackGroupType { MutuallyExclusive, Reentrant };

// A set of subscriptions, timers, services, clients and waitables whose
// callbacks an executor runs: never two at once in a mutually exclusive group,
// in parallel in a reentrant one. A group belongs to at most one executor.
class CallbackGroup {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(CallbackGroup)

  explicit CallbackGroup(CallbackGroupType group_type,
                         bool automatically_add_to_executor_with_node = true);
  ~CallbackGroup();

  CallbackGroupType type() const;
  bool automatically_add_to_executor_with_node() const;
  std::atomic_bool& get_associated_with_executor_atomic();
  // False while a mutually exclusive group runs one of its callbacks.
  std::atomic_bool& can_be_taken_from();
  size_t size() const;

  // Machinery shared by the node interfaces and executors.
  void add_entity(const std::shared_ptr<detail::ExecutableEntity>& entity);
  void remove_entity(const detail::ExecutableEntity* entity);
  std::vector<std::shared_ptr<detail::ExecutableEntity>> entities() const;
  void set_node_link(const std::weak_ptr<detail::NodeExecutorLink>& link);
  void set_executor(const std::weak_ptr<detail::ExecutorNotifier>& notifier);
  std::shared_ptr<detail::ExecutorNotifier> executor() const;
  // Wakes the executor that runs this group; for a group not taken yet, the
  // executor of its node.
  void notify() const;

 private:
  const CallbackGroupType type_;
  const bool automatically_add_to_executor_with_node_;
  std::atomic_bool associated_with_executor_{false};
  std::atomic_bool can_be_taken_from_{true};
  mutable std::mutex mutex_;
  std::vector<std::weak_ptr<detail::ExecutableEntity>> entities_;
  std::weak_ptr<detail::NodeExecutorLink> node_link_;
  std::weak_ptr<detail::ExecutorNotifier> executor_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CALLBACK_GROUP_HPP_
