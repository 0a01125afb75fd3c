#ifndef RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_
#define RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_

#include <functional>
#include <memory>
#include <mutex>

#include "rclcpp_action/types.hpp"

namespace rclcpp_action {

template <typename ActionT>
class Server;

// The goal state machine of ROS 2 actions: accepted -> executing ->
// (canceling ->) succeeded / aborted / canceled. An invalid transition throws
// rclcpp::exceptions::RCLError.
class ServerGoalHandleBase {
 public:
  bool is_canceling() const;
  bool is_active() const;
  bool is_executing() const;

  virtual ~ServerGoalHandleBase();

 protected:
  ServerGoalHandleBase() = default;

  enum class Event { Execute, CancelGoal, Succeed, Abort, Canceled };

  int8_t get_status() const;
  // Applies `event`; runs `then` with the new status while still holding the
  // handle's lock, so that the notifications of two transitions keep their order.
  void transition(Event event, const std::function<void(int8_t)>& then);
  // Moves an active goal to canceled (through canceling); false if it was not active.
  bool try_canceling(const std::function<void(int8_t)>& then) noexcept;

 private:
  mutable std::mutex mutex_;
  int8_t status_ = GoalStatus::STATUS_ACCEPTED;
};

// The server's handle of one goal. Whoever holds it drives the goal to its end;
// a handle dropped while its goal is active cancels the goal.
template <typename ActionT>
class ServerGoalHandle : public ServerGoalHandleBase {
 public:
  using ResultSharedPtr = typename ActionT::Result::SharedPtr;

  void publish_feedback(std::shared_ptr<typename ActionT::Feedback> feedback_msg) {
    publish_feedback_(uuid_, feedback_msg);
  }

  void abort(ResultSharedPtr result_msg) { finish(Event::Abort, result_msg); }
  void succeed(ResultSharedPtr result_msg) { finish(Event::Succeed, result_msg); }
  // Only from canceling, that is after an accepted cancel request.
  void canceled(ResultSharedPtr result_msg) { finish(Event::Canceled, result_msg); }

  // For a goal accepted with ACCEPT_AND_DEFER.
  void execute() {
    transition(Event::Execute, [this](int8_t status) { on_status_(uuid_, status); });
  }

  const std::shared_ptr<const typename ActionT::Goal> get_goal() const { return goal_; }
  const GoalUUID& get_goal_id() const { return uuid_; }

  ~ServerGoalHandle() override {
    try_canceling([this](int8_t status) {
      on_terminal_(uuid_, status, std::make_shared<typename ActionT::Result>());
    });
  }

 protected:
  using TerminalCallback = std::function<void(const GoalUUID&, int8_t, ResultSharedPtr)>;
  using StatusCallback = std::function<void(const GoalUUID&, int8_t)>;
  using FeedbackCallback =
      std::function<void(const GoalUUID&, std::shared_ptr<typename ActionT::Feedback>)>;

  ServerGoalHandle(const GoalUUID& uuid, std::shared_ptr<const typename ActionT::Goal> goal,
                   TerminalCallback on_terminal, StatusCallback on_status,
                   FeedbackCallback publish_feedback)
      : uuid_(uuid),
        goal_(std::move(goal)),
        on_terminal_(std::move(on_terminal)),
        on_status_(std::move(on_status)),
        publish_feedback_(std::move(publish_feedback)) {}

  // Called by the server when it accepts a cancel request for this goal.
  void cancel_goal() {
    transition(Event::CancelGoal, [this](int8_t status) { on_status_(uuid_, status); });
  }

  friend Server<ActionT>;

 private:
  void finish(Event event, const ResultSharedPtr& result_msg) {
    // The result is copied at the terminal transition: later changes by the
    // caller do not reach the client.
    auto result = result_msg ? std::make_shared<typename ActionT::Result>(*result_msg)
                             : std::make_shared<typename ActionT::Result>();
    transition(event, [this, &result](int8_t status) { on_terminal_(uuid_, status, result); });
  }

  const GoalUUID uuid_;
  const std::shared_ptr<const typename ActionT::Goal> goal_;
  TerminalCallback on_terminal_;
  StatusCallback on_status_;
  FeedbackCallback publish_feedback_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_
