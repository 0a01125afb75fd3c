#ifndef RCLCPP_ACTION__SERVER_HPP_
#define RCLCPP_ACTION__SERVER_HPP_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

#include "action_msgs/srv/cancel_goal.hpp"
#include "rcl_action/action_server.h"
#include "rclcpp/clock.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp_action/action_mailbox.hpp"
#include "rclcpp_action/server_goal_handle.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp {
namespace detail {
class Graph;
}  // namespace detail
}  // namespace rclcpp

namespace rclcpp_action {

enum class GoalResponse : int8_t { REJECT = 1, ACCEPT_AND_EXECUTE = 2, ACCEPT_AND_DEFER = 3 };

enum class CancelResponse : int8_t { REJECT = 1, ACCEPT = 2 };

// The type-independent half of an action server: its name, clock, options and
// its place in the process's registry.
class ServerBase : public ActionMailbox {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(ServerBase)

  ~ServerBase() override;

  const std::string& get_action_name() const;
  const rcl_action_server_options_t& get_options() const;

  // Executor machinery: besides the requests in its mailbox, the server falls due when the
  // earliest ended goal it keeps expires, as rcl_action's expire timer does, so that results
  // go on time whether or not a request comes.
  bool is_ready() override;
  std::shared_ptr<void> take_data() override;
  std::chrono::nanoseconds time_until_ready() const override;
  bool is_timed() const override;

 protected:
  // Makes the server reachable by clients under its name; `self` is the
  // server as its full type.
  void register_endpoint(const std::shared_ptr<void>& self);

  ServerBase(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
             rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock,
             rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
             const std::string& name, std::type_index action_type,
             const rcl_action_server_options_t& options);

  // Posts `delivery` to every client of this action.
  void for_each_client(const std::function<void(const std::shared_ptr<void>&)>& deliver) const;

  // When, on `clock_`, the next result falls due to expire: the first instant it is expired
  // (kNoExpiry when none is kept). Wakes the executor to wait for the new time.
  void set_next_expiry(int64_t at_ns);
  // Forgets the results that expired; run on the executor when the next expiry falls due.
  virtual void expire_results() = 0;

  static constexpr int64_t kNoExpiry = std::numeric_limits<int64_t>::max();

  rclcpp::Clock::SharedPtr clock_;
  rclcpp::Logger logger_;
  const rcl_action_server_options_t options_;

 private:
  // The registry it joined, held so that it is still there when this goes (at exit, too).
  const std::shared_ptr<rclcpp::detail::Graph> graph_;
  const std::string action_name_;
  const std::type_index action_type_;
  std::atomic<int64_t> next_expiry_ns_{kNoExpiry};
};

// Serves goals of one action type: goal and cancel requests are handled on the
// executor that spins the server's callback group; results and feedback go
// out from whichever thread ends the goal or publishes. Results stay available
// for `result_timeout` after their goal ends, however many goals ended meanwhile.
template <typename ActionT>
class Server : public ServerBase {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Server)

  using GoalCallback =
      std::function<GoalResponse(const GoalUUID&, std::shared_ptr<const typename ActionT::Goal>)>;
  using CancelCallback = std::function<CancelResponse(std::shared_ptr<ServerGoalHandle<ActionT>>)>;
  using AcceptedCallback = std::function<void(std::shared_ptr<ServerGoalHandle<ActionT>>)>;

  using GoalResponseDelivery = std::function<void(bool accepted, const rclcpp::Time& stamp)>;
  using ResultDelivery =
      std::function<void(int8_t status, typename ActionT::Result::SharedPtr result)>;
  using CancelDelivery =
      std::function<void(action_msgs::srv::CancelGoal::Response::SharedPtr response)>;

  Server(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
         rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock,
         rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
         const std::string& name, const rcl_action_server_options_t& options,
         GoalCallback handle_goal, CancelCallback handle_cancel, AcceptedCallback handle_accepted)
      : ServerBase(node_base, node_clock, node_logging, name, std::type_index(typeid(ActionT)),
                   options),
        handle_goal_(std::move(handle_goal)),
        handle_cancel_(std::move(handle_cancel)),
        handle_accepted_(std::move(handle_accepted)) {}

  ~Server() override = default;

  // Machinery: makes the server reachable by clients; called once it is owned
  // by a shared pointer and placed in its callback group.
  void join_graph() { register_endpoint(std::static_pointer_cast<void>(weak_self_typed().lock())); }

  // What clients call, from their own threads; handled on the server's executor.
  void receive_goal_request(const GoalUUID& uuid,
                            std::shared_ptr<const typename ActionT::Goal> goal,
                            GoalResponseDelivery respond) {
    auto weak_self = weak_self_typed();
    post([weak_self, uuid, goal, respond]() {
      if (auto self = weak_self.lock()) {
        self->handle_goal_request(uuid, goal, respond);
      }
    });
  }

  void receive_result_request(const GoalUUID& uuid, ResultDelivery respond) {
    hold_result(uuid);
    auto weak_self = weak_self_typed();
    post([weak_self, uuid, respond]() {
      if (auto self = weak_self.lock()) {
        self->handle_result_request(uuid, respond);
      }
    });
  }

  // A zero goal id with a zero stamp cancels every goal; a non-zero stamp
  // adds every goal accepted at or before it.
  void receive_cancel_request(const GoalUUID& uuid, const rclcpp::Time& stamp,
                              CancelDelivery respond) {
    auto weak_self = weak_self_typed();
    post([weak_self, uuid, stamp, respond]() {
      if (auto self = weak_self.lock()) {
        self->handle_cancel_request(uuid, stamp, respond);
      }
    });
  }

 private:
  using GoalHandle = ServerGoalHandle<ActionT>;

  // What only a running goal needs.
  struct RunningGoal {
    std::weak_ptr<GoalHandle> handle;
    rclcpp::Time accepted_at;
    std::vector<ResultDelivery> waiting;
  };

  // An ended goal keeps its status and result alone (its end time is its place in `ended_`), so
  // that a burst of goals costs little more than its results until they expire.
  struct GoalRecord {
    int8_t status = GoalStatus::STATUS_ACCEPTED;
    typename ActionT::Result::SharedPtr result;
    // Result requests that reached the server while the goal was known and wait for its
    // executor: the record outlives the result timeout until they are answered.
    int held_by_requests = 0;
    std::unique_ptr<RunningGoal> running;  // null once the goal ended
  };

  std::weak_ptr<Server<ActionT>> weak_self_typed() {
    return std::static_pointer_cast<Server<ActionT>>(shared_from_this());
  }

  void handle_goal_request(const GoalUUID& uuid,
                           const std::shared_ptr<const typename ActionT::Goal>& goal,
                           const GoalResponseDelivery& respond) {
    expire_results();
    bool duplicate = false;
    {
      std::lock_guard<std::mutex> lock(goals_mutex_);
      duplicate = goals_.count(uuid) > 0;
    }
    const GoalResponse response = duplicate ? GoalResponse::REJECT : handle_goal_(uuid, goal);
    const rclcpp::Time stamp = clock_->now();
    if (response == GoalResponse::REJECT) {
      respond(false, stamp);
      return;
    }
    auto weak_self = weak_self_typed();
    std::shared_ptr<GoalHandle> handle(new GoalHandle(
        uuid, goal,
        [weak_self](const GoalUUID& id, int8_t status, typename ActionT::Result::SharedPtr result) {
          if (auto self = weak_self.lock()) {
            self->on_terminal(id, status, result);
          }
        },
        [weak_self](const GoalUUID& id, int8_t status) {
          if (auto self = weak_self.lock()) {
            self->on_status(id, status);
          }
        },
        [weak_self](const GoalUUID& id, std::shared_ptr<typename ActionT::Feedback> feedback) {
          if (auto self = weak_self.lock()) {
            self->publish_feedback(id, feedback);
          }
        }));
    {
      std::lock_guard<std::mutex> lock(goals_mutex_);
      auto running = std::make_unique<RunningGoal>();
      running->handle = handle;
      running->accepted_at = stamp;
      goals_[uuid].running = std::move(running);
    }
    respond(true, stamp);
    on_status(uuid, GoalStatus::STATUS_ACCEPTED);
    if (response == GoalResponse::ACCEPT_AND_EXECUTE) {
      handle->execute();
    }
    handle_accepted_(handle);
  }

  void handle_result_request(const GoalUUID& uuid, const ResultDelivery& respond) {
    expire_results();
    std::unique_lock<std::mutex> lock(goals_mutex_);
    auto it = goals_.find(uuid);
    if (it == goals_.end()) {
      lock.unlock();
      respond(GoalStatus::STATUS_UNKNOWN, std::make_shared<typename ActionT::Result>());
      return;
    }
    if (it->second.held_by_requests > 0 && --it->second.held_by_requests == 0) {
      set_next_expiry(next_expiry_locked());  // it may have been due meanwhile
    }
    if (it->second.running) {
      it->second.running->waiting.push_back(respond);
      return;
    }
    const int8_t status = it->second.status;
    auto result = it->second.result;
    lock.unlock();
    respond(status, result);
  }

  void handle_cancel_request(const GoalUUID& uuid, const rclcpp::Time& stamp,
                             const CancelDelivery& respond) {
    expire_results();
    using Response = action_msgs::srv::CancelGoal::Response;
    auto response = std::make_shared<Response>();
    const GoalUUID zero{};
    const bool all = uuid == zero && stamp.nanoseconds() == 0;
    std::vector<std::pair<GoalUUID, std::shared_ptr<GoalHandle>>> candidates;
    bool known = false;
    {
      std::lock_guard<std::mutex> lock(goals_mutex_);
      for (auto& entry : goals_) {
        const GoalRecord& record = entry.second;
        const bool named = entry.first == uuid;
        known = known || named;
        if (!record.running) {
          continue;
        }
        const bool before = stamp.nanoseconds() != 0 && record.running->accepted_at <= stamp;
        if (!(all || named || before)) {
          continue;
        }
        if (auto handle = record.running->handle.lock()) {
          candidates.emplace_back(entry.first, handle);
        }
      }
    }
    for (const auto& candidate : candidates) {
      if (handle_cancel_(candidate.second) != CancelResponse::ACCEPT) {
        continue;
      }
      try {
        candidate.second->cancel_goal();
      } catch (const std::exception&) {
        continue;  // the goal ended meanwhile
      }
      GoalInfo info;
      convert(candidate.first, &info);
      response->goals_canceling.push_back(info);
    }
    if (!response->goals_canceling.empty()) {
      response->return_code = Response::ERROR_NONE;
    } else if (!candidates.empty()) {
      response->return_code = Response::ERROR_REJECTED;
    } else if (uuid != zero && !known) {
      response->return_code = Response::ERROR_UNKNOWN_GOAL_ID;
    } else if (uuid != zero) {
      response->return_code = Response::ERROR_GOAL_TERMINATED;
    } else {
      response->return_code = Response::ERROR_NONE;
    }
    respond(response);
  }

  void on_terminal(const GoalUUID& uuid, int8_t status,
                   typename ActionT::Result::SharedPtr result) {
    std::vector<ResultDelivery> waiting;
    {
      std::lock_guard<std::mutex> lock(goals_mutex_);
      auto it = goals_.find(uuid);
      if (it == goals_.end()) {
        return;
      }
      GoalRecord& record = it->second;
      record.status = status;
      record.result = result;
      if (record.running) {
        waiting.swap(record.running->waiting);
        record.running.reset();
        ended_.emplace(clock_->now().nanoseconds(), uuid);
        set_next_expiry(next_expiry_locked());
      }
    }
    on_status(uuid, status);
    for (const auto& respond : waiting) {
      respond(status, result);
    }
  }

  void on_status(const GoalUUID& uuid, int8_t status) {
    {
      std::lock_guard<std::mutex> lock(goals_mutex_);
      auto it = goals_.find(uuid);
      if (it != goals_.end() && it->second.running) {
        it->second.status = status;
      }
    }
    for_each_client([&uuid, status](const std::shared_ptr<void>& client) {
      std::static_pointer_cast<ActionClientListener<ActionT>>(client)->post_status(uuid, status);
    });
  }

  void publish_feedback(const GoalUUID& uuid,
                        const std::shared_ptr<typename ActionT::Feedback>& feedback) {
    // Every client gets the same copy, as if it had crossed a wire.
    std::shared_ptr<const typename ActionT::Feedback> copy =
        std::make_shared<typename ActionT::Feedback>(*feedback);
    for_each_client([&uuid, &copy](const std::shared_ptr<void>& client) {
      std::static_pointer_cast<ActionClientListener<ActionT>>(client)->post_feedback(uuid, copy);
    });
  }

  // A result request counts from when it reaches the server, as a request waiting in a
  // service queue does: whatever the timeout, the goal it asks about is not forgotten before
  // the executor answers it. A request for a result already expired finds nothing to hold.
  void hold_result(const GoalUUID& uuid) {
    expire_results();
    std::lock_guard<std::mutex> lock(goals_mutex_);
    auto it = goals_.find(uuid);
    if (it != goals_.end()) {
      ++it->second.held_by_requests;
    }
  }

  // Forgets the goals that ended more than `result_timeout` ago and that no result request holds.
  // Time alone decides, as in rcl_action: a result asked for within the timeout is never lost to
  // the goals that ended after it. Runs when the next expiry falls due and, as that may not have
  // come yet on the executor, before any request is looked at.
  void expire_results() override {
    const int64_t now = clock_->now().nanoseconds();
    const int64_t timeout = options_.result_timeout.nanoseconds;
    std::lock_guard<std::mutex> lock(goals_mutex_);
    auto it = ended_.begin();
    while (it != ended_.end() && now - it->first > timeout) {
      auto goal = goals_.find(it->second);
      if (goal != goals_.end() && goal->second.held_by_requests > 0) {
        ++it;
        continue;
      }
      if (goal != goals_.end()) {
        goals_.erase(goal);
      }
      it = ended_.erase(it);
    }
    set_next_expiry(next_expiry_locked());
  }

  // The first instant at which a kept result that no request holds is expired (a held one goes
  // once its requests are answered). Called with goals_mutex_ held.
  int64_t next_expiry_locked() const {
    const int64_t timeout = options_.result_timeout.nanoseconds;
    for (const auto& entry : ended_) {
      auto goal = goals_.find(entry.second);
      if (goal != goals_.end() && goal->second.held_by_requests > 0) {
        continue;
      }
      if (timeout >= 0 && entry.first > kNoExpiry - 1 - timeout) {
        return kNoExpiry;  // beyond any time the clock reads
      }
      return entry.first + timeout + 1;
    }
    return kNoExpiry;
  }

  GoalCallback handle_goal_;
  CancelCallback handle_cancel_;
  AcceptedCallback handle_accepted_;
  std::mutex goals_mutex_;
  std::map<GoalUUID, GoalRecord> goals_;
  // The ended goals by the time they ended, so that expiring them does not walk every goal: a
  // server answering at 10 Hz holds thousands within the timeout.
  std::multimap<int64_t, GoalUUID> ended_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__SERVER_HPP_
