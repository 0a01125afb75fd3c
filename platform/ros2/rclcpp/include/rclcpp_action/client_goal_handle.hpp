#ifndef RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_
#define RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_

#include <functional>
#include <future>
#include <memory>
#include <mutex>

#include "rclcpp/macros.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp_action/exceptions.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action {

enum class ResultCode : int8_t {
  UNKNOWN = GoalStatus::STATUS_UNKNOWN,
  SUCCEEDED = GoalStatus::STATUS_SUCCEEDED,
  CANCELED = GoalStatus::STATUS_CANCELED,
  ABORTED = GoalStatus::STATUS_ABORTED
};

template <typename ActionT>
class Client;

// The client's view of one accepted goal.
template <typename ActionT>
class ClientGoalHandle {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(ClientGoalHandle)

  struct WrappedResult {
    GoalUUID goal_id;
    ResultCode code;
    typename ActionT::Result::SharedPtr result;
  };

  using Feedback = typename ActionT::Feedback;
  using Result = typename ActionT::Result;
  using FeedbackCallback = std::function<void(typename ClientGoalHandle<ActionT>::SharedPtr,
                                              const std::shared_ptr<const Feedback>)>;
  using ResultCallback = std::function<void(const WrappedResult& result)>;

  virtual ~ClientGoalHandle() = default;

  const GoalUUID& get_goal_id() const { return info_id_; }
  rclcpp::Time get_goal_stamp() const { return stamp_; }

  int8_t get_status() {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
  }

  bool is_feedback_aware() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<bool>(feedback_callback_);
  }

  bool is_result_aware() {
    std::lock_guard<std::mutex> lock(mutex_);
    return is_result_aware_;
  }

 private:
  friend Client<ActionT>;

  ClientGoalHandle(const GoalUUID& goal_id, const rclcpp::Time& stamp,
                   FeedbackCallback feedback_callback, ResultCallback result_callback)
      : info_id_(goal_id),
        stamp_(stamp),
        feedback_callback_(std::move(feedback_callback)),
        result_callback_(std::move(result_callback)),
        result_future_(result_promise_.get_future().share()) {}

  std::shared_future<WrappedResult> async_get_result() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!is_result_aware_) {
      throw exceptions::UnawareGoalHandleError();
    }
    return result_future_;
  }

  // Returns the previous awareness.
  bool set_result_awareness(bool awareness) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool previous = is_result_aware_;
    is_result_aware_ = awareness;
    return previous;
  }

  void set_status(int8_t status) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
  }

  void set_result(const WrappedResult& wrapped_result) {
    ResultCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      status_ = static_cast<int8_t>(wrapped_result.code);
      result_promise_.set_value(wrapped_result);
      callback = result_callback_;
    }
    if (callback) {
      callback(wrapped_result);
    }
  }

  void set_feedback_callback(FeedbackCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    feedback_callback_ = callback;
  }

  void set_result_callback(ResultCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    result_callback_ = callback;
  }

  void call_feedback_callback(typename ClientGoalHandle<ActionT>::SharedPtr shared_this,
                              typename std::shared_ptr<const Feedback> feedback_message) {
    FeedbackCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      callback = feedback_callback_;
    }
    if (callback) {
      callback(shared_this, feedback_message);
    }
  }

  const GoalUUID info_id_;
  const rclcpp::Time stamp_;
  std::mutex mutex_;
  int8_t status_ = GoalStatus::STATUS_ACCEPTED;
  bool is_result_aware_ = false;
  FeedbackCallback feedback_callback_;
  ResultCallback result_callback_;
  std::promise<WrappedResult> result_promise_;
  std::shared_future<WrappedResult> result_future_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_
