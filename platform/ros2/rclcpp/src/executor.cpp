#include "rclcpp/executor.hpp"

#include <algorithm>
#include <string>

#include "process_clock.hpp"
#include "rclcpp/node.hpp"

namespace rclcpp {

namespace {
void disassociate(const CallbackGroup::SharedPtr& group) {
  group->set_executor({});
  group->get_associated_with_executor_atomic().store(false);
}
}  // namespace

constexpr std::chrono::nanoseconds Executor::kFuturePollSlice;

Executor::Executor(const rclcpp::ExecutorOptions& options)
    : context_(options.context ? options.context : contexts::get_global_default_context()),
      notifier_(std::make_shared<detail::ExecutorNotifier>()) {
  detail::register_notifier(notifier_);
}

Executor::~Executor() {
  // Let the groups and nodes go to another executor.
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : groups_) {
    if (auto group = entry.group.lock()) {
      disassociate(group);
    }
  }
  for (const auto& weak : nodes_) {
    auto node = weak.lock();
    if (!node) {
      continue;
    }
    node->for_each_callback_group([this](const CallbackGroup::SharedPtr& group) {
      if (owns(group)) {
        disassociate(group);
      }
    });
    node->get_executor_link()->set({});
    node->get_associated_with_executor_atomic().store(false);
  }
}

bool Executor::owns(const CallbackGroup::SharedPtr& group) const {
  return group->executor() == notifier_;
}

void Executor::add_callback_group(CallbackGroup::SharedPtr group_ptr,
                                  node_interfaces::NodeBaseInterface::SharedPtr node_ptr,
                                  bool notify) {
  if (group_ptr->get_associated_with_executor_atomic().exchange(true)) {
    throw std::runtime_error("Callback group has already been added to an executor.");
  }
  group_ptr->set_executor(notifier_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    groups_.push_back(GroupEntry{group_ptr, node_ptr});
  }
  if (notify) {
    notifier_->notify();
  }
}

void Executor::remove_callback_group(CallbackGroup::SharedPtr group_ptr, bool notify) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(groups_.begin(), groups_.end(), [&group_ptr](const GroupEntry& e) {
      return e.group.lock() == group_ptr;
    });
    if (it != groups_.end()) {
      groups_.erase(it);
    } else if (!owns(group_ptr)) {
      throw std::runtime_error("Callback group needs to be associated with executor.");
    }
    disassociate(group_ptr);
  }
  if (notify) {
    notifier_->notify();
  }
}

std::vector<CallbackGroup::WeakPtr> Executor::get_all_callback_groups() {
  std::vector<CallbackGroup::WeakPtr> result;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& candidate : collect_candidates()) {
    if (!candidate.adopt) {
      result.push_back(candidate.group);
    }
  }
  return result;
}

void Executor::add_node(node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify) {
  if (node_ptr->get_associated_with_executor_atomic().exchange(true)) {
    throw std::runtime_error(std::string("Node '") + node_ptr->get_fully_qualified_name() +
                             "' has already been added to an executor.");
  }
  node_ptr->get_executor_link()->set(notifier_);
  node_ptr->for_each_callback_group([this](const CallbackGroup::SharedPtr& group) {
    if (group->automatically_add_to_executor_with_node() &&
        !group->get_associated_with_executor_atomic().exchange(true)) {
      group->set_executor(notifier_);
    }
  });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    nodes_.push_back(node_ptr);
  }
  if (notify) {
    notifier_->notify();
  }
}

void Executor::add_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify) {
  add_node(node_ptr->get_node_base_interface(), notify);
}

void Executor::remove_node(node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(nodes_.begin(), nodes_.end(),
                           [&node_ptr](const node_interfaces::NodeBaseInterface::WeakPtr& n) {
                             return n.lock() == node_ptr;
                           });
    if (it == nodes_.end()) {
      throw std::runtime_error("Node needs to be associated with this executor.");
    }
    nodes_.erase(it);
    node_ptr->for_each_callback_group([this](const CallbackGroup::SharedPtr& group) {
      const bool explicitly_added =
          std::any_of(groups_.begin(), groups_.end(),
                      [&group](const GroupEntry& e) { return e.group.lock() == group; });
      if (owns(group) && !explicitly_added) {
        disassociate(group);
      }
    });
    node_ptr->get_executor_link()->set({});
    node_ptr->get_associated_with_executor_atomic().store(false);
  }
  if (notify) {
    notifier_->notify();
  }
}

void Executor::remove_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify) {
  remove_node(node_ptr->get_node_base_interface(), notify);
}

void Executor::spin_node_some(node_interfaces::NodeBaseInterface::SharedPtr node) {
  add_node(node, false);
  try {
    spin_some();
  } catch (...) {
    remove_node(node, false);
    throw;
  }
  remove_node(node, false);
}

void Executor::spin_node_some(std::shared_ptr<rclcpp::Node> node) {
  spin_node_some(node->get_node_base_interface());
}

void Executor::begin_spinning(const char* error_message) {
  if (spinning.exchange(true)) {
    throw std::runtime_error(error_message);
  }
}

void Executor::spin_some(std::chrono::nanoseconds max_duration) {
  begin_spinning("spin_some() called while already spinning");
  SpinningGuard guard(*this);
  const auto start = std::chrono::steady_clock::now();
  std::set<const detail::ExecutableEntity*> done;
  while (spinning.load() && rclcpp::ok(context_)) {
    if (max_duration > std::chrono::nanoseconds::zero() &&
        std::chrono::steady_clock::now() - start >= max_duration) {
      break;
    }
    AnyExecutable any;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!take_ready(any, &done)) {
        break;
      }
    }
    done.insert(any.entity.get());
    execute_any_executable(any);
  }
}

void Executor::spin_all(std::chrono::nanoseconds max_duration) {
  if (max_duration < std::chrono::nanoseconds::zero()) {
    throw std::invalid_argument("max_duration must be greater than or equal to 0");
  }
  begin_spinning("spin_all() called while already spinning");
  SpinningGuard guard(*this);
  const auto start = std::chrono::steady_clock::now();
  while (spinning.load() && rclcpp::ok(context_)) {
    if (max_duration > std::chrono::nanoseconds::zero() &&
        std::chrono::steady_clock::now() - start >= max_duration) {
      break;
    }
    AnyExecutable any;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!take_ready(any, nullptr)) {
        break;
      }
    }
    execute_any_executable(any);
  }
}

void Executor::spin_once(std::chrono::nanoseconds timeout) {
  begin_spinning("spin_once() called while already spinning");
  SpinningGuard guard(*this);
  spin_once_impl(timeout);
}

void Executor::spin_once_impl(std::chrono::nanoseconds timeout) {
  AnyExecutable any;
  if (get_next_executable(any, timeout)) {
    execute_any_executable(any);
  }
}

void Executor::cancel() {
  spinning.store(false);
  notifier_->notify();
}

bool Executor::is_spinning() { return spinning.load(); }

std::vector<Executor::Candidate> Executor::collect_candidates() {
  std::vector<Candidate> candidates;
  groups_.erase(std::remove_if(groups_.begin(), groups_.end(),
                               [](const GroupEntry& e) { return e.group.expired(); }),
                groups_.end());
  nodes_.erase(std::remove_if(nodes_.begin(), nodes_.end(),
                              [](const node_interfaces::NodeBaseInterface::WeakPtr& n) {
                                return n.expired();
                              }),
               nodes_.end());
  for (const auto& entry : groups_) {
    if (auto group = entry.group.lock()) {
      candidates.push_back(Candidate{group, false});
    }
  }
  for (const auto& weak : nodes_) {
    auto node = weak.lock();
    if (!node) {
      continue;
    }
    node->for_each_callback_group([this, &candidates](const CallbackGroup::SharedPtr& group) {
      const bool seen = std::any_of(candidates.begin(), candidates.end(),
                                    [&group](const Candidate& c) { return c.group == group; });
      if (seen) {
        return;
      }
      if (owns(group)) {
        candidates.push_back(Candidate{group, false});
      } else if (group->automatically_add_to_executor_with_node() &&
                 !group->get_associated_with_executor_atomic().load()) {
        candidates.push_back(Candidate{group, true});
      }
    });
  }
  return candidates;
}

bool Executor::take_ready(AnyExecutable& any_executable,
                          const std::set<const detail::ExecutableEntity*>* skip) {
  const auto candidates = collect_candidates();
  if (candidates.empty()) {
    return false;
  }
  // Start at a different group each time so that none starves the others.
  const size_t start = rotation_++ % candidates.size();
  for (size_t n = 0; n < candidates.size(); ++n) {
    const auto& candidate = candidates[(start + n) % candidates.size()];
    const auto& group = candidate.group;
    const bool exclusive = group->type() == CallbackGroupType::MutuallyExclusive;
    if (exclusive && !group->can_be_taken_from().load()) {
      continue;
    }
    const auto entities = group->entities();
    for (size_t k = 0; k < entities.size(); ++k) {
      const auto& entity = entities[(start + k) % entities.size()];
      if (skip && skip->count(entity.get()) > 0) {
        continue;
      }
      if (candidate.adopt) {
        if (!entity->has_ready_work()) {
          continue;
        }
        // The group joins this executor with its first piece of work.
        if (group->get_associated_with_executor_atomic().exchange(true)) {
          break;
        }
        group->set_executor(notifier_);
      }
      auto work = entity->take_ready_work();
      if (!work) {
        continue;
      }
      if (exclusive) {
        group->can_be_taken_from().store(false);
      }
      any_executable.work = std::move(work);
      any_executable.callback_group = group;
      any_executable.entity = entity;
      return true;
    }
  }
  return false;
}

std::chrono::nanoseconds Executor::time_until_next_timer(const std::vector<Candidate>& candidates) {
  auto next = std::chrono::nanoseconds::max();
  for (const auto& candidate : candidates) {
    const auto& group = candidate.group;
    if (group->type() == CallbackGroupType::MutuallyExclusive &&
        !group->can_be_taken_from().load()) {
      continue;  // its release wakes us
    }
    for (const auto& entity : group->entities()) {
      if (entity->is_timed()) {
        next = std::min(next, entity->time_until_ready());
      }
    }
  }
  return next;
}

bool Executor::get_next_executable(AnyExecutable& any_executable,
                                   std::chrono::nanoseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto& time_source = detail::ProcessClock::instance();
  for (;;) {
    // Read before the spinning flag: a cancel or shutdown between the two then still changes
    // the generation this waits on, instead of being lost.
    const uint64_t seen = notifier_->generation();
    if (!spinning.load() || !rclcpp::ok(context_)) {
      return false;
    }
    std::chrono::nanoseconds wait(-1);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (take_ready(any_executable, nullptr)) {
        return true;
      }
      const auto next_timer = time_until_next_timer(collect_candidates());
      // Driven time moves only when told to, and then it wakes us.
      if (next_timer != std::chrono::nanoseconds::max() && !time_source.is_driven()) {
        wait = std::max(next_timer, std::chrono::nanoseconds(1));
      }
    }
    if (timeout >= std::chrono::nanoseconds::zero()) {
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::nanoseconds::zero()) {
        return false;
      }
      wait = wait < std::chrono::nanoseconds::zero()
                 ? left
                 : std::min<std::chrono::nanoseconds>(wait, left);
    }
    notifier_->wait(seen, wait);
  }
}

void Executor::execute_any_executable(AnyExecutable& any_executable) {
  struct Release {
    Executor& executor;
    const CallbackGroup::SharedPtr& group;
    ~Release() {
      if (group->type() == CallbackGroupType::MutuallyExclusive) {
        group->can_be_taken_from().store(true);
        executor.notifier_->notify();
      }
    }
  } release{*this, any_executable.callback_group};
  any_executable.work();
}

}  // namespace rclcpp
