#ifndef RCLCPP__EXECUTOR_HPP_
#define RCLCPP__EXECUTOR_HPP_

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <vector>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/detail/executor_notifier.hpp"
#include "rclcpp/executor_options.hpp"
#include "rclcpp/future_return_code.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp {

class Node;

// Runs the callbacks of the callback groups it was given, directly or through
// their nodes. It sleeps on a condition variable until a message, request,
// response, timer, cancel or shutdown needs it.
//
// A node's groups made with "automatically add" are run by the node's
// executor; one made after the node was added joins it with its first piece
// of work, unless it was given to another executor before that.
class Executor {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Executor)

  explicit Executor(const rclcpp::ExecutorOptions& options = rclcpp::ExecutorOptions());
  virtual ~Executor();
  Executor(const Executor&) = delete;
  Executor& operator=(const Executor&) = delete;

  virtual void spin() = 0;

  // Throws std::runtime_error when the group already belongs to an executor.
  virtual void add_callback_group(rclcpp::CallbackGroup::SharedPtr group_ptr,
                                  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr,
                                  bool notify = true);
  virtual void remove_callback_group(rclcpp::CallbackGroup::SharedPtr group_ptr,
                                     bool notify = true);
  std::vector<rclcpp::CallbackGroup::WeakPtr> get_all_callback_groups();

  // Throws std::runtime_error when the node already belongs to an executor.
  virtual void add_node(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr,
                        bool notify = true);
  virtual void add_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify = true);
  virtual void remove_node(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr,
                           bool notify = true);
  virtual void remove_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify = true);

  template <typename RepT = int64_t, typename T = std::milli>
  void spin_node_once(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node,
                      std::chrono::duration<RepT, T> timeout = std::chrono::duration<RepT, T>(-1)) {
    add_node(node, false);
    spin_once(std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
    remove_node(node, false);
  }

  void spin_node_some(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node);
  void spin_node_some(std::shared_ptr<rclcpp::Node> node);

  // Runs what is ready now (each entity at most once), without waiting.
  virtual void spin_some(std::chrono::nanoseconds max_duration = std::chrono::nanoseconds(0));
  // Runs until nothing is ready or `max_duration` has passed.
  virtual void spin_all(std::chrono::nanoseconds max_duration);
  // Waits up to `timeout` (negative: without limit) for one piece of work and runs it.
  virtual void spin_once(std::chrono::nanoseconds timeout = std::chrono::nanoseconds(-1));

  // Spins until the future is ready, the timeout (negative: none) passes,
  // `cancel` is called or the context shuts down. A future completed by
  // another thread is noticed within a few milliseconds.
  template <typename FutureT, typename TimeRepT = int64_t, typename TimeT = std::milli>
  FutureReturnCode spin_until_future_complete(
      const FutureT& future,
      std::chrono::duration<TimeRepT, TimeT> timeout = std::chrono::duration<TimeRepT, TimeT>(-1)) {
    if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      return FutureReturnCode::SUCCESS;
    }
    const auto timeout_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout);
    const auto end_time = std::chrono::steady_clock::now() + timeout_ns;
    begin_spinning("spin_until_future_complete() called while already spinning");
    SpinningGuard guard(*this);
    while (rclcpp::ok(context_) && spinning.load()) {
      auto slice = kFuturePollSlice;
      if (timeout_ns >= std::chrono::nanoseconds::zero()) {
        const auto left = end_time - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds::zero()) {
          return FutureReturnCode::TIMEOUT;
        }
        slice = std::min<std::chrono::nanoseconds>(slice, left);
      }
      spin_once_impl(slice);
      if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        return FutureReturnCode::SUCCESS;
      }
    }
    return FutureReturnCode::INTERRUPTED;
  }

  // Makes `spin` (and the other spins) return soon; safe from any thread and
  // from a callback.
  void cancel();
  bool is_spinning();

 protected:
  struct AnyExecutable {
    std::function<void()> work;
    rclcpp::CallbackGroup::SharedPtr callback_group;
    std::shared_ptr<detail::ExecutableEntity> entity;
  };

  class SpinningGuard {
   public:
    explicit SpinningGuard(Executor& executor) : executor_(executor) {}
    ~SpinningGuard() { executor_.spinning.store(false); }

   private:
    Executor& executor_;
  };

  void begin_spinning(const char* error_message);
  void spin_once_impl(std::chrono::nanoseconds timeout);
  // Waits up to `timeout` (negative: without limit) for work and takes it.
  // Returns false on timeout, cancel or shutdown.
  bool get_next_executable(AnyExecutable& any_executable, std::chrono::nanoseconds timeout);
  // Takes ready work without waiting. Entities in `skip` are passed over.
  bool take_ready(AnyExecutable& any_executable,
                  const std::set<const detail::ExecutableEntity*>* skip);
  void execute_any_executable(AnyExecutable& any_executable);

  std::atomic_bool spinning{false};
  rclcpp::Context::SharedPtr context_;
  std::shared_ptr<detail::ExecutorNotifier> notifier_;

 private:
  static constexpr std::chrono::nanoseconds kFuturePollSlice = std::chrono::milliseconds(10);

  struct GroupEntry {
    rclcpp::CallbackGroup::WeakPtr group;
    rclcpp::node_interfaces::NodeBaseInterface::WeakPtr node;
  };

  // The groups to look at now; `adopt` marks those that join this executor
  // only when work is taken from them.
  struct Candidate {
    rclcpp::CallbackGroup::SharedPtr group;
    bool adopt;
  };
  std::vector<Candidate> collect_candidates();
  std::chrono::nanoseconds time_until_next_timer(const std::vector<Candidate>& candidates);
  bool owns(const rclcpp::CallbackGroup::SharedPtr& group) const;

  std::mutex mutex_;  // guards the lists and the taking of work
  std::vector<GroupEntry> groups_;
  std::vector<rclcpp::node_interfaces::NodeBaseInterface::WeakPtr> nodes_;
  size_t rotation_ = 0;
};

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_HPP_
