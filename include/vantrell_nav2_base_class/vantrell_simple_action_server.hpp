#ifndef VANTRELL_NAV2_BASE_CLASS__VANTRELL_SIMPLE_ACTION_SERVER_HPP_
#define VANTRELL_NAV2_BASE_CLASS__VANTRELL_SIMPLE_ACTION_SERVER_HPP_

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "logger/logger.hpp"
#include "nav2_util/node_thread.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "vantrell_nav2_base_class/thread_pool.hpp"

namespace nav2_util {

// Serves one action with one goal at a time, on its own worker thread. At most
// one further goal waits in a pending slot, and a newer one replaces it. A
// running goal is never interrupted: cancellation and preemption take effect
// when its execute callback returns. The callback takes no arguments; it fetches
// the goal with get_current_goal() and ends it with succeeded_current() or
// terminate_current().
template <typename ActionT>
class VantrellSimpleActionServer {
 public:
  using ExecuteCallback = std::function<void()>;
  using CompletionCallback = std::function<void()>;
  using GoalHandle = rclcpp_action::ServerGoalHandle<ActionT>;

  VantrellSimpleActionServer(
      rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_interface,
      rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock_interface,
      rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_interface,
      rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr node_waitables_interface,
      const std::string& action_name, ExecuteCallback execute_callback,
      CompletionCallback completion_callback, std::chrono::milliseconds server_timeout,
      bool spin_thread, const rcl_action_server_options_t& options)
      : node_base_interface_(node_base_interface),
        node_clock_interface_(node_clock_interface),
        node_logging_interface_(node_logging_interface),
        node_waitables_interface_(node_waitables_interface),
        action_name_(action_name),
        execute_callback_(execute_callback),
        completion_callback_(completion_callback),
        server_timeout_(server_timeout),
        thread_pool_(1),
        spin_thread_(spin_thread) {
    if (spin_thread_) {
      callback_group_ = node_base_interface_->create_callback_group(
          rclcpp::CallbackGroupType::MutuallyExclusive, false);
    }

    LOG_INFO("[action_name] {} options.result_service_qos.depth is {}", action_name_,
             options.result_service_qos.depth);
    LOG_INFO("[action_name] {} options.result_timeout.nanoseconds is {}", action_name_,
             options.result_timeout.nanoseconds);

    action_server_ = rclcpp_action::create_server<ActionT>(
        node_base_interface_, node_clock_interface_, node_logging_interface_,
        node_waitables_interface_, action_name_,
        [this, gate = gate_](const rclcpp_action::GoalUUID& uuid,
                             std::shared_ptr<const typename ActionT::Goal> goal) {
          std::lock_guard<std::mutex> lock(gate->mutex);
          return gate->open ? handle_goal(uuid, goal) : rclcpp_action::GoalResponse::REJECT;
        },
        [this, gate = gate_](const std::shared_ptr<GoalHandle> handle) {
          std::lock_guard<std::mutex> lock(gate->mutex);
          return gate->open ? handle_cancel(handle) : rclcpp_action::CancelResponse::REJECT;
        },
        [this, gate = gate_](const std::shared_ptr<GoalHandle> handle) {
          std::lock_guard<std::mutex> lock(gate->mutex);
          if (gate->open) {
            handle_accepted(handle);
          } else if (handle->is_active()) {
            // Accepted just before the server began to go: ended, never handed to the worker.
            handle->abort(std::make_shared<typename ActionT::Result>());
          }
        },
        options, callback_group_);

    if (spin_thread_) {
      executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
      executor_->add_callback_group(callback_group_, node_base_interface_);
      executor_thread_ = std::make_unique<nav2_util::NodeThread>(executor_);
    }
  }

  // The members the worker uses are declared before the pool, so even without an owner's stop()
  // the pool joins the worker before they go.
  ~VantrellSimpleActionServer() { stop(); }

  // Ends the service for good and returns once the worker has: from the first line on the server
  // takes no goal, goals still waiting are ended rather than run, and a goal still running keeps
  // its callback until it returns, its result still reaching its client. An owner whose callback
  // reaches this server through a member calls it while that member still leads here: letting go
  // of the member first would leave the running goal to end through an empty pointer.
  void stop() {
    {
      // Waits for a goal callback the executor is running now; later ones refuse without
      // touching this server.
      std::lock_guard<std::mutex> gate_lock(gate_->mutex);
      gate_->open = false;
    }
    {
      std::lock_guard<std::recursive_mutex> lock(update_mutex_);
      server_active_ = false;
      stop_execution_ = true;
      if (work_loop_running_) {
        debug_msg("Waiting for the running goal to return before the server goes.");
      }
    }
    thread_pool_.stop();
  }

  VantrellSimpleActionServer(const VantrellSimpleActionServer&) = delete;
  VantrellSimpleActionServer& operator=(const VantrellSimpleActionServer&) = delete;

  // There is no deactivation: once active, the server accepts goals for the rest of its life.
  void activate() {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    server_active_ = true;
    stop_execution_ = false;
  }

  const std::shared_ptr<const typename ActionT::Goal> get_current_goal() const {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!is_active(current_handle_)) {
      error_msg("A goal is not available or has reached a final state");
      return std::shared_ptr<const typename ActionT::Goal>();
    }
    return current_handle_->get_goal();
  }

  void succeeded_current(typename std::shared_ptr<typename ActionT::Result> result) {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (is_active(current_handle_)) {
      debug_msg("Setting succeed on current goal.");
      current_handle_->succeed(result);
      current_handle_.reset();
    }
  }

  void terminate_current(typename std::shared_ptr<typename ActionT::Result> result =
                             std::make_shared<typename ActionT::Result>()) {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    terminate(current_handle_, result);
  }

 protected:
  rclcpp_action::GoalResponse handle_goal(const rclcpp_action::GoalUUID& /*uuid*/,
                                          std::shared_ptr<const typename ActionT::Goal> /*goal*/) {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!server_active_) {
      return rclcpp_action::GoalResponse::REJECT;
    }
    debug_msg("Received request for goal acceptance");
    return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
  }

  rclcpp_action::CancelResponse handle_cancel(const std::shared_ptr<GoalHandle> handle) {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!handle || !handle->is_active()) {
      warn_msg(
          "Received request for goal cancellation,but the handle is inactive, so reject the "
          "request");
      return rclcpp_action::CancelResponse::REJECT;
    }
    debug_msg("Received request for goal cancellation");
    return rclcpp_action::CancelResponse::ACCEPT;
  }

  void handle_accepted(const std::shared_ptr<GoalHandle> handle) {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    debug_msg("Receiving a new goal");

    if (is_active(current_handle_) || work_loop_running_) {
      debug_msg("An older goal is active, moving the new goal to a pending slot.");
      if (is_active(pending_handle_)) {
        debug_msg(
            "The pending slot is occupied. The previous pending goal will be terminated and "
            "replaced.");
        terminate(pending_handle_);
      }
      pending_handle_ = handle;
      preempt_requested_ = true;
      return;
    }

    if (is_active(pending_handle_)) {
      error_msg("Forgot to handle a preemption. Terminating the pending goal.");
      terminate(pending_handle_);
      preempt_requested_ = false;
    }
    current_handle_ = handle;
    debug_msg("Executing goal asynchronously.");
    work_loop_running_ = true;
    thread_pool_.enqueue([this] { work(); });
  }

  // One run per enqueued task: the current goal, then every goal taken over from
  // the pending slot while it runs.
  void work() {
    std::unique_lock<std::recursive_mutex> lock(update_mutex_);
    while (rclcpp::ok() && !stop_execution_ && is_active(current_handle_)) {
      lock.unlock();
      debug_msg("Executing the goal...");
      try {
        execute_callback_();
      } catch (const std::exception& ex) {
        abandon_run(ex.what());
        return;
      } catch (...) {
        abandon_run("unknown exception");
        return;
      }

      lock.lock();
      debug_msg("Blocking processing of new goal handles.");
      if (stop_execution_) {
        warn_msg("Stopping the thread per request.");
        terminate_all();
        run_completion_callback();
        break;
      }
      if (is_active(current_handle_)) {
        warn_msg("Current goal was not completed successfully.");
        terminate(current_handle_);
        run_completion_callback();
      }
      if (is_active(pending_handle_)) {
        debug_msg("Executing a pending handle on the existing thread.");
        accept_pending_goal();
      } else {
        debug_msg("Done processing available goals.");
        break;
      }
    }
    // A server being destroyed ends what it will not run.
    if (stop_execution_) {
      terminate_all();
    }
    // Cleared together with the last look at the pending slot, under the same
    // lock: a goal accepted from now on starts a new run instead of waiting for
    // a run that has already decided to end.
    work_loop_running_ = false;
    lock.unlock();
    debug_msg("Worker thread done.");
  }

  void terminate(std::shared_ptr<GoalHandle>& handle,
                 typename std::shared_ptr<typename ActionT::Result> result =
                     std::make_shared<typename ActionT::Result>()) {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!is_active(handle)) {
      return;
    }
    if (handle->is_canceling()) {
      warn_msg("Client requested to cancel the goal. Cancelling.");
      handle->canceled(result);
    } else {
      warn_msg("Aborting handle.");
      handle->abort(result);
    }
    handle.reset();
  }

  void terminate_all() {
    const auto result = std::make_shared<typename ActionT::Result>();
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    terminate(current_handle_, result);
    terminate(pending_handle_, result);
    preempt_requested_ = false;
  }

  void accept_pending_goal() {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!is_active(pending_handle_)) {
      error_msg("Attempting to get pending goal when not available");
      return;
    }
    if (is_active(current_handle_) && current_handle_ != pending_handle_) {
      debug_msg("Cancelling the previous goal");
      current_handle_->abort(std::make_shared<typename ActionT::Result>());
    }
    current_handle_ = pending_handle_;
    pending_handle_.reset();
    preempt_requested_ = false;
    debug_msg("Preempted goal");
  }

  // Whatever the callback threw, both goals end and the worker stays usable.
  void abandon_run(const std::string& what) {
    RCLCPP_ERROR(node_logging_interface_->get_logger(),
                 "Action server failed while executing action callback: \"%s\"", what.c_str());
    {
      std::lock_guard<std::recursive_mutex> lock(update_mutex_);
      terminate_all();
      work_loop_running_ = false;
    }
    run_completion_callback();
  }

  void run_completion_callback() {
    if (completion_callback_) {
      completion_callback_();
    }
  }

  static bool is_active(const std::shared_ptr<GoalHandle>& handle) {
    return handle != nullptr && handle->is_active();
  }

  void debug_msg(const std::string& msg) const {
    RCLCPP_DEBUG(node_logging_interface_->get_logger(), "[%s] [ActionServer] %s",
                 action_name_.c_str(), msg.c_str());
  }

  void warn_msg(const std::string& msg) const {
    RCLCPP_WARN(node_logging_interface_->get_logger(), "[%s] [ActionServer] %s",
                action_name_.c_str(), msg.c_str());
  }

  void error_msg(const std::string& msg) const {
    RCLCPP_ERROR(node_logging_interface_->get_logger(), "[%s] [ActionServer] %s",
                 action_name_.c_str(), msg.c_str());
  }

  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_interface_;
  rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock_interface_;
  rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_interface_;
  rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr node_waitables_interface_;
  std::string action_name_;

  ExecuteCallback execute_callback_;
  CompletionCallback completion_callback_;
  bool stop_execution_{false};

  mutable std::recursive_mutex update_mutex_;
  bool server_active_{false};
  bool preempt_requested_{false};
  std::chrono::milliseconds server_timeout_;
  // From the enqueue of a work-loop run until that run's last look at the
  // pending slot. Stands in for the pool's busy state, which stays set a little
  // longer than the run looks at the slot.
  bool work_loop_running_{false};

  std::shared_ptr<GoalHandle> current_handle_;
  std::shared_ptr<GoalHandle> pending_handle_;

  // What the goal callbacks given to the action server hold: the executor may run
  // one while this server is being destroyed, and an accepted goal must then not
  // be handed to a worker that is stopping.
  struct CallbackGate {
    std::mutex mutex;
    bool open{true};
  };
  std::shared_ptr<CallbackGate> gate_{std::make_shared<CallbackGate>()};
  typename rclcpp_action::Server<ActionT>::SharedPtr action_server_;

  // Declared after everything the worker touches, so it is destroyed (and its
  // worker joined) first.
  ThreadPool thread_pool_;

  bool spin_thread_;
  rclcpp::CallbackGroup::SharedPtr callback_group_{nullptr};
  rclcpp::executors::SingleThreadedExecutor::SharedPtr executor_;
  // Destroyed first: no goal callback arrives from its thread once the pool stops.
  std::unique_ptr<nav2_util::NodeThread> executor_thread_;
};

}  // namespace nav2_util

#endif  // VANTRELL_NAV2_BASE_CLASS__VANTRELL_SIMPLE_ACTION_SERVER_HPP_
