#ifndef RCLCPP_ACTION__CLIENT_HPP_
#define RCLCPP_ACTION__CLIENT_HPP_

#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <typeindex>
#include <utility>

#include "action_msgs/srv/cancel_goal.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp_action/action_mailbox.hpp"
#include "rclcpp_action/client_goal_handle.hpp"
#include "rclcpp_action/exceptions.hpp"
#include "rclcpp_action/server.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp {
namespace detail {
class Graph;
}  // namespace detail
}  // namespace rclcpp

namespace rclcpp_action {

// The type-independent half of an action client.
class ClientBase : public ActionMailbox {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(ClientBase)

  ~ClientBase() override;

  bool action_server_is_ready() const;

  // Waits (in real time) until a server of this action exists. False on
  // timeout or when the context shuts down.
  template <typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_action_server(
      std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1)) {
    return wait_for_action_server_nanoseconds(
        std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

 protected:
  ClientBase(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
             rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
             const std::string& action_name, std::type_index action_type);

  bool wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout);
  // Makes the client hear feedback and status; `self` is its listener part.
  void register_endpoint(const std::shared_ptr<void>& self);
  // The server of this action as its full type, or null.
  std::shared_ptr<void> find_server() const;
  GoalUUID generate_goal_id();
  // Holds the promise of a goal or cancel request until its answer comes, so
  // that a request lost on the way (no server, or one that went away) leaves
  // its future waiting, as in ROS 2, instead of breaking it. Returns its key.
  uint64_t keep_pending_request(std::shared_ptr<void> promise);
  void release_pending_request(uint64_t key);

  rclcpp::Logger logger_;

 private:
  // The registry it joined, held so that it is still there when this goes (at exit, too).
  const std::shared_ptr<rclcpp::detail::Graph> graph_;
  const std::string action_name_;
  const std::type_index action_type_;
  rclcpp::Context::WeakPtr context_;
  std::mutex random_mutex_;
  std::mt19937_64 random_;
  std::mutex pending_requests_mutex_;
  uint64_t last_request_key_ = 0;
  std::map<uint64_t, std::shared_ptr<void>> pending_requests_;
};

// Sends goals of one action type to its server. Goal responses, feedback and
// results reach the callbacks and futures only while an executor spins the
// client's callback group.
template <typename ActionT>
class Client : public ClientBase, public ActionClientListener<ActionT> {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Client<ActionT>)

  using Goal = typename ActionT::Goal;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = ClientGoalHandle<ActionT>;
  using WrappedResult = typename GoalHandle::WrappedResult;
  using GoalResponseCallback = std::function<void(typename GoalHandle::SharedPtr)>;
  using FeedbackCallback = typename GoalHandle::FeedbackCallback;
  using ResultCallback = typename GoalHandle::ResultCallback;
  using CancelRequest = action_msgs::srv::CancelGoal::Request;
  using CancelResponse = action_msgs::srv::CancelGoal::Response;
  using CancelCallback = std::function<void(typename CancelResponse::SharedPtr)>;

  struct SendGoalOptions {
    SendGoalOptions()
        : goal_response_callback(nullptr), feedback_callback(nullptr), result_callback(nullptr) {}

    GoalResponseCallback goal_response_callback;
    FeedbackCallback feedback_callback;
    ResultCallback result_callback;
  };

  Client(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
         rclcpp::node_interfaces::NodeGraphInterface::SharedPtr node_graph,
         rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
         const std::string& action_name)
      : ClientBase(node_base, node_logging, action_name, std::type_index(typeid(ActionT))) {
    (void)node_graph;
  }

  ~Client() override = default;

  // Machinery: lets the client hear feedback and status; called once it is
  // owned by a shared pointer and placed in its callback group.
  void join_graph() {
    register_endpoint(std::static_pointer_cast<void>(
        std::static_pointer_cast<ActionClientListener<ActionT>>(typed_self())));
  }

  // The future holds the goal handle once the server accepted the goal, or
  // null when it rejected it. A goal sent while no server exists is lost: its
  // future stays waiting.
  std::shared_future<typename GoalHandle::SharedPtr> async_send_goal(
      const Goal& goal, const SendGoalOptions& options = SendGoalOptions()) {
    auto promise = std::make_shared<std::promise<typename GoalHandle::SharedPtr>>();
    auto future = promise->get_future().share();
    const GoalUUID uuid = generate_goal_id();
    const uint64_t key = keep_pending_request(promise);
    auto server = std::static_pointer_cast<Server<ActionT>>(find_server());
    if (!server) {
      return future;
    }
    std::weak_ptr<Client<ActionT>> weak_self = typed_self();
    server->receive_goal_request(
        uuid, std::make_shared<const Goal>(goal),
        [weak_self, uuid, promise, options, key](bool accepted, const rclcpp::Time& stamp) {
          if (auto self = weak_self.lock()) {
            self->post([weak_self, uuid, promise, options, key, accepted, stamp]() {
              if (auto client = weak_self.lock()) {
                client->handle_goal_response(uuid, accepted, stamp, *promise, options);
                client->release_pending_request(key);
              }
            });
          }
        });
    return future;
  }

  // Throws UnknownGoalHandleError when the goal is not tracked (its result
  // came already, or it is of another client).
  std::shared_future<WrappedResult> async_get_result(typename GoalHandle::SharedPtr goal_handle,
                                                     ResultCallback result_callback = nullptr) {
    std::lock_guard<std::mutex> lock(goal_handles_mutex_);
    if (goal_handles_.count(goal_handle->get_goal_id()) == 0) {
      throw exceptions::UnknownGoalHandleError();
    }
    if (result_callback) {
      goal_handle->set_result_callback(result_callback);
    }
    make_result_aware(goal_handle);
    return goal_handle->async_get_result();
  }

  std::shared_future<typename CancelResponse::SharedPtr> async_cancel_goal(
      typename GoalHandle::SharedPtr goal_handle, CancelCallback cancel_callback = nullptr) {
    {
      std::lock_guard<std::mutex> lock(goal_handles_mutex_);
      if (goal_handles_.count(goal_handle->get_goal_id()) == 0) {
        throw exceptions::UnknownGoalHandleError();
      }
    }
    return send_cancel_request(goal_handle->get_goal_id(), rclcpp::Time(0, 0, RCL_ROS_TIME),
                               cancel_callback);
  }

  std::shared_future<typename CancelResponse::SharedPtr> async_cancel_all_goals(
      CancelCallback cancel_callback = nullptr) {
    return send_cancel_request(GoalUUID{}, rclcpp::Time(0, 0, RCL_ROS_TIME), cancel_callback);
  }

  std::shared_future<typename CancelResponse::SharedPtr> async_cancel_goals_before(
      const rclcpp::Time& stamp, CancelCallback cancel_callback = nullptr) {
    return send_cancel_request(GoalUUID{}, stamp, cancel_callback);
  }

  // ActionClientListener: called by the server from any thread.
  void post_feedback(const GoalUUID& goal_id, std::shared_ptr<const Feedback> feedback) override {
    std::weak_ptr<Client<ActionT>> weak_self = typed_self();
    post([weak_self, goal_id, feedback]() {
      if (auto self = weak_self.lock()) {
        self->handle_feedback(goal_id, feedback);
      }
    });
  }

  void post_status(const GoalUUID& goal_id, int8_t status) override {
    std::weak_ptr<Client<ActionT>> weak_self = typed_self();
    post([weak_self, goal_id, status]() {
      if (auto self = weak_self.lock()) {
        self->handle_status(goal_id, status);
      }
    });
  }

 private:
  std::shared_ptr<Client<ActionT>> typed_self() {
    return std::static_pointer_cast<Client<ActionT>>(shared_from_this());
  }

  void handle_goal_response(const GoalUUID& uuid, bool accepted, const rclcpp::Time& stamp,
                            std::promise<typename GoalHandle::SharedPtr>& promise,
                            const SendGoalOptions& options) {
    if (!accepted) {
      promise.set_value(nullptr);
      if (options.goal_response_callback) {
        options.goal_response_callback(nullptr);
      }
      return;
    }
    typename GoalHandle::SharedPtr goal_handle(
        new GoalHandle(uuid, stamp, options.feedback_callback, options.result_callback));
    {
      std::lock_guard<std::mutex> lock(goal_handles_mutex_);
      goal_handles_[uuid] = goal_handle;
    }
    promise.set_value(goal_handle);
    if (options.goal_response_callback) {
      options.goal_response_callback(goal_handle);
    }
    if (options.result_callback) {
      make_result_aware(goal_handle);
    }
  }

  void make_result_aware(typename GoalHandle::SharedPtr goal_handle) {
    if (goal_handle->set_result_awareness(true)) {
      return;
    }
    auto server = std::static_pointer_cast<Server<ActionT>>(find_server());
    if (!server) {
      return;
    }
    std::weak_ptr<Client<ActionT>> weak_self = typed_self();
    const GoalUUID uuid = goal_handle->get_goal_id();
    server->receive_result_request(
        uuid, [weak_self, uuid](int8_t status, typename ActionT::Result::SharedPtr result) {
          if (auto self = weak_self.lock()) {
            self->post([weak_self, uuid, status, result]() {
              if (auto client = weak_self.lock()) {
                client->handle_result(uuid, status, result);
              }
            });
          }
        });
  }

  void handle_result(const GoalUUID& uuid, int8_t status,
                     const typename ActionT::Result::SharedPtr& result) {
    typename GoalHandle::SharedPtr goal_handle;
    {
      std::lock_guard<std::mutex> lock(goal_handles_mutex_);
      auto it = goal_handles_.find(uuid);
      if (it == goal_handles_.end()) {
        return;
      }
      goal_handle = it->second;
      goal_handles_.erase(it);
    }
    WrappedResult wrapped;
    wrapped.goal_id = uuid;
    wrapped.code = static_cast<ResultCode>(status);
    wrapped.result = result;
    goal_handle->set_result(wrapped);
  }

  void handle_feedback(const GoalUUID& uuid, const std::shared_ptr<const Feedback>& feedback) {
    typename GoalHandle::SharedPtr goal_handle;
    {
      std::lock_guard<std::mutex> lock(goal_handles_mutex_);
      auto it = goal_handles_.find(uuid);
      if (it == goal_handles_.end()) {
        return;
      }
      goal_handle = it->second;
    }
    goal_handle->call_feedback_callback(goal_handle, feedback);
  }

  void handle_status(const GoalUUID& uuid, int8_t status) {
    std::lock_guard<std::mutex> lock(goal_handles_mutex_);
    auto it = goal_handles_.find(uuid);
    if (it != goal_handles_.end()) {
      it->second->set_status(status);
    }
  }

  std::shared_future<typename CancelResponse::SharedPtr> send_cancel_request(
      const GoalUUID& uuid, const rclcpp::Time& stamp, CancelCallback cancel_callback) {
    auto promise = std::make_shared<std::promise<typename CancelResponse::SharedPtr>>();
    auto future = promise->get_future().share();
    const uint64_t key = keep_pending_request(promise);
    auto server = std::static_pointer_cast<Server<ActionT>>(find_server());
    if (!server) {
      return future;
    }
    std::weak_ptr<Client<ActionT>> weak_self = typed_self();
    server->receive_cancel_request(
        uuid, stamp,
        [weak_self, promise, cancel_callback, key](typename CancelResponse::SharedPtr response) {
          if (auto self = weak_self.lock()) {
            self->post([weak_self, promise, cancel_callback, key, response]() {
              promise->set_value(response);
              if (auto client = weak_self.lock()) {
                client->release_pending_request(key);
              }
              if (cancel_callback) {
                cancel_callback(response);
              }
            });
          }
        });
    return future;
  }

  std::mutex goal_handles_mutex_;
  std::map<GoalUUID, typename GoalHandle::SharedPtr> goal_handles_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CLIENT_HPP_
