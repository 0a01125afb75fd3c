#ifndef TESTS__SUPPORT__TASK_MANAGER_CLIENT_HPP_
#define TESTS__SUPPORT__TASK_MANAGER_CLIENT_HPP_

#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>

#include "planning_sim/node_host.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"

namespace test_support {

// Only guards against a hang: no test depends on how long anything takes.
constexpr std::chrono::seconds kActionPatience{60};

// What the task manager learnt about one goal.
template <typename ActionT>
struct ActionReply {
  // The server took the goal.
  bool accepted{false};
  // The result arrived within the wait.
  bool answered{false};
  rclcpp_action::ResultCode code{rclcpp_action::ResultCode::UNKNOWN};
  std::shared_ptr<typename ActionT::Result> result;

  bool succeeded() const { return answered && code == rclcpp_action::ResultCode::SUCCEEDED; }
  bool aborted() const { return answered && code == rclcpp_action::ResultCode::ABORTED; }
  bool canceled() const { return answered && code == rclcpp_action::ResultCode::CANCELED; }
};

// A goal on its way; its reply is collected with TaskManagerClient::waitFor.
template <typename ActionT>
struct PendingGoal {
  using GoalHandle = rclcpp_action::ClientGoalHandle<ActionT>;

  // Null future when the goal could not be sent (no server).
  std::shared_future<typename GoalHandle::SharedPtr> handle;
  std::shared_future<typename GoalHandle::WrappedResult> result;
};

/**
 * Plays the task manager: sends goals of any action type and waits, with a bounded wait, for
 * their results, while its node is served by a host executor on a thread of its own
 * (planning_sim::NodeHost). The nodes under test are spun by the same host (spin), so goal,
 * cancel and accept callbacks run there as they would on the hosting process's executor. Starts
 * rclcpp when it is not running yet.
 */
class TaskManagerClient {
 public:
  explicit TaskManagerClient(const std::string& node_name = "task_manager");
  TaskManagerClient(const TaskManagerClient&) = delete;
  TaskManagerClient& operator=(const TaskManagerClient&) = delete;

  // Spins `node` on the client's executor from now on (once per node).
  void spin(const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr& node);
  template <typename NodeT>
  void spin(const std::shared_ptr<NodeT>& node) {
    spin(node->get_node_base_interface());
  }

  rclcpp::Node::SharedPtr node() const { return node_; }

  template <typename ActionT>
  bool waitForServer(const std::string& action,
                     std::chrono::nanoseconds patience = kActionPatience) {
    return clientFor<ActionT>(action)->wait_for_action_server(patience);
  }

  // Sends the goal once the action's server exists (bounded wait).
  template <typename ActionT>
  PendingGoal<ActionT> send(const std::string& action, const typename ActionT::Goal& goal) {
    auto client = clientFor<ActionT>(action);
    PendingGoal<ActionT> pending;
    if (!client->wait_for_action_server(kActionPatience)) {
      return pending;
    }
    auto promise =
        std::make_shared<std::promise<typename PendingGoal<ActionT>::GoalHandle::WrappedResult>>();
    typename rclcpp_action::Client<ActionT>::SendGoalOptions options;
    options.result_callback = [promise](const auto& wrapped) { promise->set_value(wrapped); };
    pending.handle = client->async_send_goal(goal, options);
    pending.result = promise->get_future().share();
    return pending;
  }

  // Waits for the goal's acceptance and result; never longer than `patience` for each.
  template <typename ActionT>
  ActionReply<ActionT> waitFor(const PendingGoal<ActionT>& pending,
                               std::chrono::nanoseconds patience = kActionPatience) {
    ActionReply<ActionT> reply;
    if (!pending.handle.valid() || pending.handle.wait_for(patience) != std::future_status::ready ||
        !pending.handle.get()) {
      return reply;
    }
    reply.accepted = true;
    if (pending.result.wait_for(patience) != std::future_status::ready) {
      return reply;
    }
    const auto wrapped = pending.result.get();
    reply.answered = true;
    reply.code = wrapped.code;
    reply.result = wrapped.result;
    return reply;
  }

  template <typename ActionT>
  ActionReply<ActionT> call(const std::string& action, const typename ActionT::Goal& goal,
                            std::chrono::nanoseconds patience = kActionPatience) {
    return waitFor(send<ActionT>(action, goal), patience);
  }

  // Asks to cancel an accepted goal; true when the server agreed.
  template <typename ActionT>
  bool cancel(const std::string& action, const PendingGoal<ActionT>& pending) {
    if (!pending.handle.valid() ||
        pending.handle.wait_for(kActionPatience) != std::future_status::ready ||
        !pending.handle.get()) {
      return false;
    }
    auto response = clientFor<ActionT>(action)->async_cancel_goal(pending.handle.get());
    return response.wait_for(kActionPatience) == std::future_status::ready &&
           !response.get()->goals_canceling.empty();
  }

 private:
  // One client per action name and type, kept for the fixture's life.
  template <typename ActionT>
  typename rclcpp_action::Client<ActionT>::SharedPtr clientFor(const std::string& action) {
    const std::string key = action + "|" + typeid(ActionT).name();
    std::lock_guard<std::mutex> lock(clients_mutex_);
    auto& slot = clients_[key];
    if (!slot) {
      slot = rclcpp_action::create_client<ActionT>(node_, action);
    }
    return std::static_pointer_cast<rclcpp_action::Client<ActionT>>(slot);
  }

  rclcpp::Node::SharedPtr node_;
  std::mutex clients_mutex_;
  std::map<std::string, std::shared_ptr<void>> clients_;
  // Last: it stops serving the nodes before the clients and the node go.
  planning_sim::NodeHost host_;
};

}  // namespace test_support

#endif  // TESTS__SUPPORT__TASK_MANAGER_CLIENT_HPP_
