#include "rclcpp_action/server_goal_handle.hpp"

#include <string>

#include "rclcpp/exceptions.hpp"

namespace rclcpp_action {

namespace {
const char* status_name(int8_t status) {
  switch (status) {
    case GoalStatus::STATUS_ACCEPTED:
      return "ACCEPTED";
    case GoalStatus::STATUS_EXECUTING:
      return "EXECUTING";
    case GoalStatus::STATUS_CANCELING:
      return "CANCELING";
    case GoalStatus::STATUS_SUCCEEDED:
      return "SUCCEEDED";
    case GoalStatus::STATUS_CANCELED:
      return "CANCELED";
    case GoalStatus::STATUS_ABORTED:
      return "ABORTED";
    default:
      return "UNKNOWN";
  }
}

bool is_terminal(int8_t status) {
  return status == GoalStatus::STATUS_SUCCEEDED || status == GoalStatus::STATUS_CANCELED ||
         status == GoalStatus::STATUS_ABORTED;
}
}  // namespace

ServerGoalHandleBase::~ServerGoalHandleBase() = default;

bool ServerGoalHandleBase::is_canceling() const {
  return get_status() == GoalStatus::STATUS_CANCELING;
}

bool ServerGoalHandleBase::is_active() const { return !is_terminal(get_status()); }

bool ServerGoalHandleBase::is_executing() const {
  return get_status() == GoalStatus::STATUS_EXECUTING;
}

int8_t ServerGoalHandleBase::get_status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void ServerGoalHandleBase::transition(Event event, const std::function<void(int8_t)>& then) {
  std::lock_guard<std::mutex> lock(mutex_);
  int8_t next = status_;
  const char* event_name = "";
  switch (event) {
    case Event::Execute:
      event_name = "EXECUTE";
      if (status_ == GoalStatus::STATUS_ACCEPTED) {
        next = GoalStatus::STATUS_EXECUTING;
      }
      break;
    case Event::CancelGoal:
      event_name = "CANCEL_GOAL";
      if (status_ == GoalStatus::STATUS_ACCEPTED || status_ == GoalStatus::STATUS_EXECUTING) {
        next = GoalStatus::STATUS_CANCELING;
      }
      break;
    case Event::Succeed:
      event_name = "SUCCEED";
      if (status_ == GoalStatus::STATUS_EXECUTING || status_ == GoalStatus::STATUS_CANCELING) {
        next = GoalStatus::STATUS_SUCCEEDED;
      }
      break;
    case Event::Abort:
      event_name = "ABORT";
      if (status_ == GoalStatus::STATUS_EXECUTING || status_ == GoalStatus::STATUS_CANCELING) {
        next = GoalStatus::STATUS_ABORTED;
      }
      break;
    case Event::Canceled:
      event_name = "CANCELED";
      if (status_ == GoalStatus::STATUS_CANCELING) {
        next = GoalStatus::STATUS_CANCELED;
      }
      break;
  }
  if (next == status_) {
    throw rclcpp::exceptions::RCLError(
        std::string("goal_handle attempted invalid transition from state ") + status_name(status_) +
        " with event " + event_name);
  }
  status_ = next;
  then(status_);
}

bool ServerGoalHandleBase::try_canceling(const std::function<void(int8_t)>& then) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  if (is_terminal(status_)) {
    return false;
  }
  status_ = GoalStatus::STATUS_CANCELED;
  try {
    then(status_);
  } catch (...) {
    // Nothing more can be done for a goal whose handle is going away.
  }
  return true;
}

}  // namespace rclcpp_action
