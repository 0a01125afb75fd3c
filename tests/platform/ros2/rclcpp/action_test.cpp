#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "rclcpp_testing/manual_clock.hpp"
#include "spin_thread.hpp"
#include "test_types.hpp"

namespace {

using namespace std::chrono_literals;
using rclcpp_test::SpinThread;
using Count = test_msgs::action::Count;
using ServerHandle = rclcpp_action::ServerGoalHandle<Count>;
using ClientHandle = rclcpp_action::ClientGoalHandle<Count>;
using ResultCode = rclcpp_action::ResultCode;

// A server on a lifecycle node and a client on a plain node, each spun by its
// own executor thread. The test drives accepted goals through their handles.
class ActionFixture : public ::testing::Test {
 protected:
  void SetUp() override { start_server(rcl_action_server_get_default_options()); }

  void start_server(const rcl_action_server_options_t& options) {
    server_node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("count_server");
    server_ = rclcpp_action::create_server<Count>(
        server_node_->get_node_base_interface(), server_node_->get_node_clock_interface(),
        server_node_->get_node_logging_interface(), server_node_->get_node_waitables_interface(),
        "count",
        [this](const rclcpp_action::GoalUUID&, std::shared_ptr<const Count::Goal> goal) {
          return goal->target < 0 ? rclcpp_action::GoalResponse::REJECT
                                  : rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
        },
        [this](std::shared_ptr<ServerHandle>) {
          return accept_cancel_ ? rclcpp_action::CancelResponse::ACCEPT
                                : rclcpp_action::CancelResponse::REJECT;
        },
        [this](std::shared_ptr<ServerHandle> handle) {
          std::lock_guard<std::mutex> lock(mutex_);
          executing_when_accepted_ = handle->is_executing();
          accepted_.push_back(handle);
          cv_.notify_all();
        },
        options);
    server_executor_.add_node(server_node_->get_node_base_interface());
    server_spin_ = std::make_unique<SpinThread>(server_executor_);

    client_node_ = std::make_shared<rclcpp::Node>("count_client");
    client_ = rclcpp_action::create_client<Count>(client_node_, "count");
    client_executor_.add_node(client_node_);
    client_spin_ = std::make_unique<SpinThread>(client_executor_);
    ASSERT_TRUE(client_->wait_for_action_server(1s));
  }

  void TearDown() override {
    client_spin_.reset();
    server_spin_.reset();
  }

  std::shared_ptr<ServerHandle> wait_accepted(size_t index = 0) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, 10s, [this, index]() { return accepted_.size() > index; });
    return accepted_.size() > index ? accepted_[index] : nullptr;
  }

  ClientHandle::SharedPtr send(int32_t target,
                               rclcpp_action::Client<Count>::SendGoalOptions options = {}) {
    Count::Goal goal;
    goal.target = target;
    auto future = client_->async_send_goal(goal, options);
    if (future.wait_for(10s) != std::future_status::ready) {
      ADD_FAILURE() << "no goal response";
      return nullptr;
    }
    return future.get();
  }

  static Count::Result::SharedPtr result_of(std::vector<int32_t> counted) {
    auto result = std::make_shared<Count::Result>();
    result->counted = counted;
    return result;
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::shared_ptr<ServerHandle>> accepted_;
  bool executing_when_accepted_ = false;
  bool accept_cancel_ = true;
  rclcpp_lifecycle::LifecycleNode::SharedPtr server_node_;
  rclcpp_action::Server<Count>::SharedPtr server_;
  rclcpp::executors::SingleThreadedExecutor server_executor_;
  std::unique_ptr<SpinThread> server_spin_;
  rclcpp::Node::SharedPtr client_node_;
  rclcpp_action::Client<Count>::SharedPtr client_;
  rclcpp::executors::SingleThreadedExecutor client_executor_;
  std::unique_ptr<SpinThread> client_spin_;
};

TEST_F(ActionFixture, GoalSucceedsWithFeedbackAndResult) {
  std::promise<int32_t> feedback;
  std::promise<ClientHandle::WrappedResult> result_via_callback;
  rclcpp_action::Client<Count>::SendGoalOptions options;
  options.feedback_callback = [&feedback](ClientHandle::SharedPtr,
                                          std::shared_ptr<const Count::Feedback> f) {
    feedback.set_value(f->current);
  };
  options.result_callback = [&result_via_callback](const ClientHandle::WrappedResult& r) {
    result_via_callback.set_value(r);
  };
  auto goal_handle = send(3, options);
  ASSERT_TRUE(goal_handle);
  auto handle = wait_accepted();
  ASSERT_TRUE(handle);
  EXPECT_TRUE(executing_when_accepted_);
  EXPECT_EQ(handle->get_goal()->target, 3);
  EXPECT_EQ(handle->get_goal_id(), goal_handle->get_goal_id());

  auto progress = std::make_shared<Count::Feedback>();
  progress->current = 2;
  handle->publish_feedback(progress);
  auto feedback_future = feedback.get_future();
  ASSERT_EQ(feedback_future.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(feedback_future.get(), 2);

  auto result = result_of({1, 2, 3});
  handle->succeed(result);
  result->counted.push_back(99);  // copied at the transition: the client must not see it
  EXPECT_FALSE(handle->is_active());

  auto wrapped_future = result_via_callback.get_future();
  ASSERT_EQ(wrapped_future.wait_for(10s), std::future_status::ready);
  const auto wrapped = wrapped_future.get();
  EXPECT_EQ(wrapped.code, ResultCode::SUCCEEDED);
  EXPECT_EQ(wrapped.result->counted, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(wrapped.goal_id, goal_handle->get_goal_id());
  EXPECT_EQ(goal_handle->get_status(), action_msgs::msg::GoalStatus::STATUS_SUCCEEDED);
}

TEST_F(ActionFixture, GoalAborts) {
  auto goal_handle = send(1);
  ASSERT_TRUE(goal_handle);
  auto result_future = client_->async_get_result(goal_handle);
  wait_accepted()->abort(result_of({7}));
  ASSERT_EQ(result_future.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(result_future.get().code, ResultCode::ABORTED);
  EXPECT_EQ(result_future.get().result->counted, (std::vector<int32_t>{7}));
}

TEST_F(ActionFixture, RejectedGoalGivesNoHandle) {
  std::promise<bool> response_was_null;
  rclcpp_action::Client<Count>::SendGoalOptions options;
  options.goal_response_callback = [&response_was_null](ClientHandle::SharedPtr handle) {
    response_was_null.set_value(handle == nullptr);
  };
  EXPECT_EQ(send(-1, options), nullptr);
  EXPECT_TRUE(response_was_null.get_future().get());
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_TRUE(accepted_.empty());
}

TEST_F(ActionFixture, GoalIsCancelled) {
  auto goal_handle = send(5);
  ASSERT_TRUE(goal_handle);
  auto handle = wait_accepted();
  auto result_future = client_->async_get_result(goal_handle);
  auto cancel_future = client_->async_cancel_goal(goal_handle);
  ASSERT_EQ(cancel_future.wait_for(10s), std::future_status::ready);
  const auto cancel_response = cancel_future.get();
  EXPECT_EQ(cancel_response->return_code, action_msgs::srv::CancelGoal::Response::ERROR_NONE);
  ASSERT_EQ(cancel_response->goals_canceling.size(), 1u);
  EXPECT_TRUE(handle->is_canceling());
  handle->canceled(result_of({1}));
  ASSERT_EQ(result_future.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(result_future.get().code, ResultCode::CANCELED);
  EXPECT_EQ(result_future.get().result->counted, (std::vector<int32_t>{1}));
}

TEST_F(ActionFixture, CancelCanBeRefusedAndTheGoalGoesOn) {
  accept_cancel_ = false;
  auto goal_handle = send(5);
  auto handle = wait_accepted();
  auto cancel_future = client_->async_cancel_goal(goal_handle);
  ASSERT_EQ(cancel_future.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(cancel_future.get()->return_code,
            action_msgs::srv::CancelGoal::Response::ERROR_REJECTED);
  EXPECT_TRUE(handle->is_executing());
  auto result_future = client_->async_get_result(goal_handle);
  handle->succeed(result_of({}));
  ASSERT_EQ(result_future.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(result_future.get().code, ResultCode::SUCCEEDED);
}

TEST_F(ActionFixture, InvalidTransitionsThrow) {
  send(2);
  auto handle = wait_accepted();
  EXPECT_THROW(handle->canceled(result_of({})), rclcpp::exceptions::RCLError);
  EXPECT_THROW(handle->execute(), rclcpp::exceptions::RCLError);
  handle->succeed(result_of({}));
  EXPECT_THROW(handle->succeed(result_of({})), rclcpp::exceptions::RCLError);
  EXPECT_THROW(handle->abort(result_of({})), rclcpp::exceptions::RCLError);
}

TEST_F(ActionFixture, DroppedHandleCancelsItsGoal) {
  auto goal_handle = send(2);
  auto result_future = client_->async_get_result(goal_handle);
  wait_accepted();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    accepted_.clear();
  }
  ASSERT_EQ(result_future.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(result_future.get().code, ResultCode::CANCELED);
}

TEST_F(ActionFixture, ResultOfAForeignHandleIsRefused) {
  auto goal_handle = send(1);
  auto other_node = std::make_shared<rclcpp::Node>("other_count_client");
  auto other_client = rclcpp_action::create_client<Count>(other_node, "count");
  EXPECT_THROW(other_client->async_get_result(goal_handle),
               rclcpp_action::exceptions::UnknownGoalHandleError);
  wait_accepted()->succeed(result_of({}));
}

TEST_F(ActionFixture, CancelAllGoals) {
  auto first = send(1);
  auto second = send(2);
  auto first_handle = wait_accepted(0);
  auto second_handle = wait_accepted(1);
  auto cancel_future = client_->async_cancel_all_goals();
  ASSERT_EQ(cancel_future.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(cancel_future.get()->goals_canceling.size(), 2u);
  EXPECT_TRUE(first_handle->is_canceling());
  EXPECT_TRUE(second_handle->is_canceling());
  first_handle->canceled(result_of({}));
  second_handle->abort(result_of({}));
}

TEST(ActionServerOptions, DefaultsAreThoseOfRos) {
  const auto options = rcl_action_server_get_default_options();
  EXPECT_EQ(options.result_service_qos.depth, 10u);
  EXPECT_EQ(options.goal_service_qos.depth, 10u);
  EXPECT_EQ(options.result_timeout.nanoseconds, 15LL * 60 * 1000000000LL);
}

TEST(ActionResultTimeout, ResultIsForgottenAfterTheTimeout) {
  rclcpp_testing::ManualClock clock;
  auto node = std::make_shared<rclcpp::Node>("timeout_node");
  auto options = rcl_action_server_get_default_options();
  options.result_timeout.nanoseconds = 2LL * 1000000000LL;
  std::vector<std::shared_ptr<ServerHandle>> handles;
  auto server = rclcpp_action::create_server<Count>(
      node, "timed_count",
      [](const rclcpp_action::GoalUUID&, std::shared_ptr<const Count::Goal>) {
        return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
      },
      [](std::shared_ptr<ServerHandle>) { return rclcpp_action::CancelResponse::ACCEPT; },
      [&handles](std::shared_ptr<ServerHandle> handle) {
        handle->succeed(std::make_shared<Count::Result>());
        handles.push_back(handle);
      },
      options);
  auto client = rclcpp_action::create_client<Count>(node, "timed_count");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);

  auto kept = client->async_send_goal(Count::Goal());
  ASSERT_EQ(executor.spin_until_future_complete(kept, 10s), rclcpp::FutureReturnCode::SUCCESS);
  auto forgotten = client->async_send_goal(Count::Goal());
  ASSERT_EQ(executor.spin_until_future_complete(forgotten, 10s), rclcpp::FutureReturnCode::SUCCESS);

  clock.advance(1s);
  auto kept_result = client->async_get_result(kept.get());
  ASSERT_EQ(executor.spin_until_future_complete(kept_result, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(kept_result.get().code, ResultCode::SUCCEEDED);

  clock.advance(2s);
  auto forgotten_result = client->async_get_result(forgotten.get());
  ASSERT_EQ(executor.spin_until_future_complete(forgotten_result, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(forgotten_result.get().code, ResultCode::UNKNOWN);
}

TEST(ActionClient, WaitForActionServerIsFalseWithoutOne) {
  auto node = std::make_shared<rclcpp::Node>("no_server_client");
  auto client = rclcpp_action::create_client<Count>(node, "nobody_counts");
  EXPECT_FALSE(client->action_server_is_ready());
  EXPECT_FALSE(client->wait_for_action_server(20ms));
}

}  // namespace
