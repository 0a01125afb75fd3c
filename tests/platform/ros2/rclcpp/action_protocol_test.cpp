#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "rclcpp_testing/manual_clock.hpp"
#include "test_types.hpp"

namespace {

using namespace std::chrono_literals;
using Count = test_msgs::action::Count;
using ServerHandle = rclcpp_action::ServerGoalHandle<Count>;
using ClientHandle = rclcpp_action::ClientGoalHandle<Count>;
using Client = rclcpp_action::Client<Count>;
using ResultCode = rclcpp_action::ResultCode;
using GoalStatus = action_msgs::msg::GoalStatus;
using CancelResponse = action_msgs::srv::CancelGoal::Response;

Count::Result::SharedPtr result_of(std::vector<int32_t> counted) {
  auto result = std::make_shared<Count::Result>();
  result->counted = std::move(counted);
  return result;
}

// Server and clients on nodes spun by one executor on the test's thread: each
// exchange runs to its end inside spin_all, so the test sees every step.
class ActionProtocol : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = std::string("/") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    node_ = std::make_shared<rclcpp::Node>("protocol_node");
    executor_.add_node(node_);
  }

  void start_server(
      const rcl_action_server_options_t& options = rcl_action_server_get_default_options()) {
    server_ = rclcpp_action::create_server<Count>(
        node_, name_,
        [this](const rclcpp_action::GoalUUID&, std::shared_ptr<const Count::Goal>) {
          return goal_answer_;
        },
        [this](std::shared_ptr<ServerHandle>) {
          ++cancel_requests_;
          return cancel_answer_;
        },
        [this](std::shared_ptr<ServerHandle> handle) {
          if (abort_on_accept_) {
            handle->abort(result_of({9}));
          }
          accepted_.push_back(handle);
        },
        options);
  }

  Client::SharedPtr make_client(const rclcpp::Node::SharedPtr& node) {
    return rclcpp_action::create_client<Count>(node, name_);
  }

  ClientHandle::SharedPtr send(const Client::SharedPtr& client, int32_t target = 1,
                               const Client::SendGoalOptions& options = Client::SendGoalOptions()) {
    Count::Goal goal;
    goal.target = target;
    auto future = client->async_send_goal(goal, options);
    if (executor_.spin_until_future_complete(future, 10s) != rclcpp::FutureReturnCode::SUCCESS) {
      ADD_FAILURE() << "no goal response";
      return nullptr;
    }
    return future.get();
  }

  template <typename FutureT>
  auto wait(const FutureT& future) {
    EXPECT_EQ(executor_.spin_until_future_complete(future, 10s), rclcpp::FutureReturnCode::SUCCESS);
    return future.get();
  }

  void drain() { executor_.spin_all(1s); }

  std::string name_;
  rclcpp::Node::SharedPtr node_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  rclcpp_action::Server<Count>::SharedPtr server_;
  rclcpp_action::GoalResponse goal_answer_ = rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
  rclcpp_action::CancelResponse cancel_answer_ = rclcpp_action::CancelResponse::ACCEPT;
  bool abort_on_accept_ = false;
  int cancel_requests_ = 0;
  std::vector<std::shared_ptr<ServerHandle>> accepted_;
};

TEST_F(ActionProtocol, DeferredGoalWaitsForExecute) {
  goal_answer_ = rclcpp_action::GoalResponse::ACCEPT_AND_DEFER;
  start_server();
  auto client = make_client(node_);
  auto goal = send(client, 4);
  ASSERT_TRUE(goal);
  ASSERT_EQ(accepted_.size(), 1u);
  auto handle = accepted_.front();
  EXPECT_TRUE(handle->is_active());
  EXPECT_FALSE(handle->is_executing());
  drain();
  EXPECT_EQ(goal->get_status(), GoalStatus::STATUS_ACCEPTED);

  // Ending a goal that never started executing is a frame bug.
  EXPECT_THROW(handle->succeed(result_of({})), rclcpp::exceptions::RCLError);
  EXPECT_THROW(handle->abort(result_of({})), rclcpp::exceptions::RCLError);
  EXPECT_THROW(handle->canceled(result_of({})), rclcpp::exceptions::RCLError);

  handle->execute();
  EXPECT_TRUE(handle->is_executing());
  EXPECT_THROW(handle->execute(), rclcpp::exceptions::RCLError);
  drain();
  EXPECT_EQ(goal->get_status(), GoalStatus::STATUS_EXECUTING);

  auto result = client->async_get_result(goal);
  handle->succeed(result_of({1, 2, 3, 4}));
  const auto wrapped = wait(result);
  EXPECT_EQ(wrapped.code, ResultCode::SUCCEEDED);
  EXPECT_EQ(wrapped.result->counted, (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(goal->get_status(), GoalStatus::STATUS_SUCCEEDED);
}

TEST_F(ActionProtocol, DeferredGoalCanBeCancelledBeforeItRuns) {
  goal_answer_ = rclcpp_action::GoalResponse::ACCEPT_AND_DEFER;
  start_server();
  auto client = make_client(node_);
  auto goal = send(client);
  auto result = client->async_get_result(goal);
  const auto response = wait(client->async_cancel_goal(goal));
  EXPECT_EQ(response->return_code, CancelResponse::ERROR_NONE);
  ASSERT_EQ(accepted_.size(), 1u);
  EXPECT_TRUE(accepted_.front()->is_canceling());
  EXPECT_THROW(accepted_.front()->execute(), rclcpp::exceptions::RCLError);
  accepted_.front()->canceled(result_of({0}));
  const auto wrapped = wait(result);
  EXPECT_EQ(wrapped.code, ResultCode::CANCELED);
  EXPECT_EQ(wrapped.result->counted, (std::vector<int32_t>{0}));
}

TEST_F(ActionProtocol, CancelingGoalMayStillSucceedOrAbort) {
  start_server();
  auto client = make_client(node_);
  auto finishing = send(client, 1);
  auto failing = send(client, 2);
  ASSERT_EQ(accepted_.size(), 2u);
  auto finishing_result = client->async_get_result(finishing);
  auto failing_result = client->async_get_result(failing);
  EXPECT_EQ(wait(client->async_cancel_goal(finishing))->goals_canceling.size(), 1u);
  EXPECT_EQ(wait(client->async_cancel_goal(failing))->goals_canceling.size(), 1u);
  drain();
  EXPECT_EQ(finishing->get_status(), GoalStatus::STATUS_CANCELING);
  EXPECT_EQ(failing->get_status(), GoalStatus::STATUS_CANCELING);

  accepted_[0]->succeed(result_of({1}));
  accepted_[1]->abort(result_of({2}));
  EXPECT_EQ(wait(finishing_result).code, ResultCode::SUCCEEDED);
  EXPECT_EQ(wait(failing_result).code, ResultCode::ABORTED);
  EXPECT_EQ(failing_result.get().result->counted, (std::vector<int32_t>{2}));
  EXPECT_EQ(cancel_requests_, 2);
}

TEST_F(ActionProtocol, CancelOfAFinishedGoalReportsItTerminated) {
  start_server();
  auto client = make_client(node_);
  auto goal = send(client);  // not result aware: the client keeps tracking it
  accepted_.front()->succeed(result_of({}));
  drain();
  EXPECT_EQ(goal->get_status(), GoalStatus::STATUS_SUCCEEDED);
  const auto response = wait(client->async_cancel_goal(goal));
  EXPECT_EQ(response->return_code, CancelResponse::ERROR_GOAL_TERMINATED);
  EXPECT_TRUE(response->goals_canceling.empty());
  EXPECT_EQ(cancel_requests_, 0);  // nothing left for the server to decide
}

TEST_F(ActionProtocol, RejectedCancelLeavesTheGoalRunning) {
  cancel_answer_ = rclcpp_action::CancelResponse::REJECT;
  start_server();
  auto client = make_client(node_);
  auto goal = send(client);
  std::shared_ptr<CancelResponse> via_callback;
  auto future = client->async_cancel_goal(
      goal, [&via_callback](CancelResponse::SharedPtr response) { via_callback = response; });
  const auto response = wait(future);
  EXPECT_EQ(response->return_code, CancelResponse::ERROR_REJECTED);
  EXPECT_TRUE(response->goals_canceling.empty());
  EXPECT_EQ(via_callback, response);
  EXPECT_TRUE(accepted_.front()->is_executing());
  EXPECT_THROW(accepted_.front()->canceled(result_of({})), rclcpp::exceptions::RCLError);
  accepted_.front()->succeed(result_of({}));
}

TEST_F(ActionProtocol, ResultEndedBeforeItWasAskedForIsKept) {
  abort_on_accept_ = true;
  start_server();
  auto client = make_client(node_);
  auto goal = send(client);
  drain();
  ASSERT_FALSE(accepted_.front()->is_active());
  ClientHandle::WrappedResult via_callback{};
  auto result = client->async_get_result(
      goal, [&via_callback](const ClientHandle::WrappedResult& r) { via_callback = r; });
  const auto wrapped = wait(result);
  EXPECT_EQ(wrapped.code, ResultCode::ABORTED);
  EXPECT_EQ(wrapped.result->counted, (std::vector<int32_t>{9}));
  EXPECT_EQ(wrapped.goal_id, goal->get_goal_id());
  drain();
  EXPECT_EQ(via_callback.code, ResultCode::ABORTED);
  // Once the result came, the client no longer tracks the goal.
  EXPECT_THROW(client->async_get_result(goal), rclcpp_action::exceptions::UnknownGoalHandleError);
  EXPECT_THROW(client->async_cancel_goal(goal), rclcpp_action::exceptions::UnknownGoalHandleError);
}

TEST_F(ActionProtocol, ResultCallbackInTheOptionsMakesTheGoalResultAware) {
  start_server();
  auto client = make_client(node_);
  std::vector<ResultCode> codes;
  Client::SendGoalOptions options;
  options.result_callback = [&codes](const ClientHandle::WrappedResult& r) {
    codes.push_back(r.code);
  };
  auto goal = send(client, 1, options);
  EXPECT_TRUE(goal->is_result_aware());
  EXPECT_FALSE(goal->is_feedback_aware());
  accepted_.front()->succeed(result_of({5}));
  drain();
  EXPECT_EQ(codes, (std::vector<ResultCode>{ResultCode::SUCCEEDED}));
}

TEST_F(ActionProtocol, FeedbackReachesOnlyItsOwnGoal) {
  start_server();
  auto client = make_client(node_);
  std::vector<int32_t> first_feedback;
  std::vector<int32_t> second_feedback;
  Client::SendGoalOptions first_options;
  first_options.feedback_callback = [&](ClientHandle::SharedPtr,
                                        std::shared_ptr<const Count::Feedback> f) {
    first_feedback.push_back(f->current);
  };
  Client::SendGoalOptions second_options;
  second_options.feedback_callback = [&](ClientHandle::SharedPtr,
                                         std::shared_ptr<const Count::Feedback> f) {
    second_feedback.push_back(f->current);
  };
  auto first = send(client, 1, first_options);
  auto second = send(client, 2, second_options);
  EXPECT_TRUE(first->is_feedback_aware());
  auto feedback = std::make_shared<Count::Feedback>();
  for (int32_t step = 1; step <= 3; ++step) {
    feedback->current = step;
    accepted_[1]->publish_feedback(feedback);
  }
  feedback->current = 10;
  accepted_[0]->publish_feedback(feedback);
  feedback->current = 99;  // sent already: the clients hold their own copies
  drain();
  EXPECT_EQ(first_feedback, (std::vector<int32_t>{10}));
  EXPECT_EQ(second_feedback, (std::vector<int32_t>{1, 2, 3}));
  accepted_[0]->succeed(result_of({}));
  accepted_[1]->succeed(result_of({}));
}

TEST_F(ActionProtocol, TwoClientsShareOneServer) {
  start_server();
  auto other_node = std::make_shared<rclcpp::Node>("protocol_other_client");
  executor_.add_node(other_node);
  auto first_client = make_client(node_);
  auto second_client = make_client(other_node);
  int second_saw_feedback = 0;
  Client::SendGoalOptions listening;
  listening.feedback_callback = [&second_saw_feedback](ClientHandle::SharedPtr,
                                                       std::shared_ptr<const Count::Feedback>) {
    ++second_saw_feedback;
  };
  auto first = send(first_client, 1);
  auto second = send(second_client, 2, listening);
  ASSERT_EQ(accepted_.size(), 2u);
  EXPECT_NE(first->get_goal_id(), second->get_goal_id());
  EXPECT_EQ(accepted_[0]->get_goal()->target, 1);
  EXPECT_EQ(accepted_[1]->get_goal()->target, 2);

  // Feedback of the first client's goal is none of the second client's business.
  accepted_[0]->publish_feedback(std::make_shared<Count::Feedback>());
  drain();
  EXPECT_EQ(second_saw_feedback, 0);

  auto first_result = first_client->async_get_result(first);
  auto second_result = second_client->async_get_result(second);
  accepted_[1]->succeed(result_of({2}));
  accepted_[0]->abort(result_of({1}));
  EXPECT_EQ(wait(first_result).code, ResultCode::ABORTED);
  EXPECT_EQ(first_result.get().result->counted, (std::vector<int32_t>{1}));
  EXPECT_EQ(wait(second_result).code, ResultCode::SUCCEEDED);
  EXPECT_EQ(second_result.get().result->counted, (std::vector<int32_t>{2}));
}

TEST_F(ActionProtocol, CancelAllReachesGoalsOfEveryClient) {
  start_server();
  auto other_node = std::make_shared<rclcpp::Node>("protocol_cancelling_client");
  executor_.add_node(other_node);
  auto first_client = make_client(node_);
  auto second_client = make_client(other_node);
  send(first_client, 1);
  send(second_client, 2);
  const auto response = wait(second_client->async_cancel_all_goals());
  EXPECT_EQ(response->return_code, CancelResponse::ERROR_NONE);
  EXPECT_EQ(response->goals_canceling.size(), 2u);
  EXPECT_TRUE(accepted_[0]->is_canceling());
  EXPECT_TRUE(accepted_[1]->is_canceling());
  accepted_[0]->canceled(result_of({}));
  accepted_[1]->canceled(result_of({}));
  // Nothing left to cancel is not an error.
  const auto again = wait(first_client->async_cancel_all_goals());
  EXPECT_EQ(again->return_code, CancelResponse::ERROR_NONE);
  EXPECT_TRUE(again->goals_canceling.empty());
}

TEST_F(ActionProtocol, GoalIdsAreUniqueAcrossClients) {
  start_server();
  auto first_client = make_client(node_);
  auto second_client = make_client(node_);
  std::set<rclcpp_action::GoalUUID> ids;
  const rclcpp_action::GoalUUID zero{};
  for (int i = 0; i < 32; ++i) {
    for (const auto& client : {first_client, second_client}) {
      auto goal = send(client, i);
      ASSERT_TRUE(goal);
      EXPECT_NE(goal->get_goal_id(), zero);
      ids.insert(goal->get_goal_id());
    }
  }
  EXPECT_EQ(ids.size(), 64u);
  for (auto& handle : accepted_) {
    handle->succeed(result_of({}));
  }
}

TEST_F(ActionProtocol, GoalSentWithoutAServerStaysUnanswered) {
  auto client = make_client(node_);
  EXPECT_FALSE(client->action_server_is_ready());
  auto future = client->async_send_goal(Count::Goal());
  EXPECT_EQ(executor_.spin_until_future_complete(future, 20ms), rclcpp::FutureReturnCode::TIMEOUT);
  EXPECT_EQ(future.wait_for(0ms), std::future_status::timeout);  // waiting, not broken
  // A server that comes later does not see the lost goal.
  start_server();
  EXPECT_TRUE(client->action_server_is_ready());
  drain();
  EXPECT_TRUE(accepted_.empty());
}

TEST_F(ActionProtocol, RequestsLostWithTheirServerStayUnanswered) {
  start_server();
  auto client = make_client(node_);
  auto goal = client->async_send_goal(Count::Goal());
  auto cancel = client->async_cancel_all_goals();
  server_.reset();  // before any executor handed it the requests
  EXPECT_EQ(executor_.spin_until_future_complete(goal, 20ms), rclcpp::FutureReturnCode::TIMEOUT);
  EXPECT_EQ(cancel.wait_for(0ms), std::future_status::timeout);
  auto unserved_cancel = client->async_cancel_all_goals();
  EXPECT_EQ(executor_.spin_until_future_complete(unserved_cancel, 20ms),
            rclcpp::FutureReturnCode::TIMEOUT);
  EXPECT_TRUE(accepted_.empty());
}

TEST_F(ActionProtocol, ServerGoingAwayLeavesHandlesHarmless) {
  start_server();
  auto client = make_client(node_);
  auto goal = send(client);
  auto result = client->async_get_result(goal);
  auto handle = accepted_.front();
  accepted_.clear();
  server_.reset();
  EXPECT_FALSE(client->action_server_is_ready());
  // The goal's owner may still end it; there is nobody left to tell.
  EXPECT_NO_THROW(handle->succeed(result_of({1})));
  EXPECT_NO_THROW(handle->publish_feedback(std::make_shared<Count::Feedback>()));
  EXPECT_EQ(executor_.spin_until_future_complete(result, 20ms), rclcpp::FutureReturnCode::TIMEOUT);
}

TEST_F(ActionProtocol, ClientGoingAwayLeavesTheServerServing) {
  start_server();
  auto client = make_client(node_);
  auto goal = send(client);
  client->async_get_result(goal);
  client.reset();
  goal.reset();
  accepted_.front()->publish_feedback(std::make_shared<Count::Feedback>());
  accepted_.front()->succeed(result_of({}));
  drain();
  auto next_client = make_client(node_);
  auto next_goal = send(next_client, 3);
  ASSERT_TRUE(next_goal);
  auto result = next_client->async_get_result(next_goal);
  accepted_.back()->succeed(result_of({3}));
  EXPECT_EQ(wait(result).result->counted, (std::vector<int32_t>{3}));
}

// A server on `node` that accepts and executes every goal and lets every cancel through; the
// test ends the goals through `accepted`.
rclcpp_action::Server<Count>::SharedPtr accepting_server(
    const rclcpp::Node::SharedPtr& node, const std::string& name,
    std::vector<std::shared_ptr<ServerHandle>>& accepted,
    const rcl_action_server_options_t& options = rcl_action_server_get_default_options()) {
  return rclcpp_action::create_server<Count>(
      node, name,
      [](const rclcpp_action::GoalUUID&, std::shared_ptr<const Count::Goal>) {
        return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
      },
      [](std::shared_ptr<ServerHandle>) { return rclcpp_action::CancelResponse::ACCEPT; },
      [&accepted](std::shared_ptr<ServerHandle> handle) { accepted.push_back(handle); }, options);
}

// A server and a client on one node spun by the test's executor, on time the test drives.
class ActionTimes : public ::testing::Test {
 protected:
  void start(const std::string& name,
             const rcl_action_server_options_t& options = rcl_action_server_get_default_options()) {
    executor_.add_node(node_);
    server_ = accepting_server(node_, name, accepted_, options);
    client_ = rclcpp_action::create_client<Count>(node_, name);
  }

  ClientHandle::SharedPtr send() {
    auto future = client_->async_send_goal(Count::Goal());
    EXPECT_EQ(executor_.spin_until_future_complete(future, 10s), rclcpp::FutureReturnCode::SUCCESS);
    return future.get();
  }

  rclcpp_testing::ManualClock clock_;
  rclcpp::Node::SharedPtr node_ = std::make_shared<rclcpp::Node>("timed_goals");
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::vector<std::shared_ptr<ServerHandle>> accepted_;
  rclcpp_action::Server<Count>::SharedPtr server_;
  Client::SharedPtr client_;
};

TEST_F(ActionTimes, CancelGoalsBeforeAStampTakesOnlyTheOlderGoals) {
  start("stamped");
  auto older = send();
  clock_.advance(1s);
  auto newer = send();
  // The goal's stamp is the server's acceptance time on the driven clock.
  EXPECT_EQ((newer->get_goal_stamp() - older->get_goal_stamp()).nanoseconds(), 1000000000);
  auto cancel = client_->async_cancel_goals_before(older->get_goal_stamp());
  ASSERT_EQ(executor_.spin_until_future_complete(cancel, 10s), rclcpp::FutureReturnCode::SUCCESS);
  ASSERT_EQ(cancel.get()->goals_canceling.size(), 1u);
  rclcpp_action::GoalUUID canceled_id;
  rclcpp_action::convert(cancel.get()->goals_canceling.front(), &canceled_id);
  EXPECT_EQ(canceled_id, older->get_goal_id());
  EXPECT_TRUE(accepted_[0]->is_canceling());
  EXPECT_TRUE(accepted_[1]->is_executing());
  accepted_[0]->canceled(result_of({}));
  accepted_[1]->succeed(result_of({}));
}

TEST_F(ActionTimes, ActiveGoalIsNeverForgottenAndTheTimeoutCountsFromItsEnd) {
  auto options = rcl_action_server_get_default_options();
  options.result_timeout.nanoseconds = 1000000000;  // 1 s
  start("long_count", options);
  EXPECT_EQ(server_->get_options().result_timeout.nanoseconds, 1000000000);
  EXPECT_EQ(server_->get_action_name(), "/long_count");
  auto goal = send();

  clock_.advance(1h);  // far beyond the timeout, but the goal is still running
  executor_.spin_some();
  accepted_.front()->succeed(result_of({8}));
  clock_.advance(500ms);  // within the timeout from the goal's end
  auto result = client_->async_get_result(goal);
  ASSERT_EQ(executor_.spin_until_future_complete(result, 10s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(result.get().code, ResultCode::SUCCEEDED);
  EXPECT_EQ(result.get().result->counted, (std::vector<int32_t>{8}));
}

// A result request counts from when it reaches the server, however late the server's executor
// comes to it: only a request that arrives after the result expired is answered UNKNOWN.
TEST(ActionResultRequests, AreAnsweredWhenTheyArrivedBeforeTheResultExpired) {
  struct Case {
    const char* what;
    bool asked_while_running;
    std::chrono::seconds asked_after_end;
    ResultCode expected;
  };
  const Case cases[] = {
      {"asked while the goal ran", true, 0s, ResultCode::SUCCEEDED},
      {"asked within the timeout", false, 1s, ResultCode::SUCCEEDED},
      {"asked after the timeout", false, 3s, ResultCode::UNKNOWN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rclcpp_testing::ManualClock clock;
    auto server_node = std::make_shared<rclcpp::Node>("busy_server");
    auto client_node = std::make_shared<rclcpp::Node>("patient_client");
    rclcpp::executors::SingleThreadedExecutor server_executor;
    rclcpp::executors::SingleThreadedExecutor client_executor;
    server_executor.add_node(server_node);
    client_executor.add_node(client_node);
    auto options = rcl_action_server_get_default_options();
    options.result_timeout.nanoseconds = 2000000000;
    std::vector<std::shared_ptr<ServerHandle>> accepted;
    auto server = accepting_server(server_node, "busy", accepted, options);
    auto client = rclcpp_action::create_client<Count>(client_node, "busy");
    auto other_client = rclcpp_action::create_client<Count>(client_node, "busy");
    auto goal_future = client->async_send_goal(Count::Goal());
    server_executor.spin_all(1s);
    ASSERT_EQ(client_executor.spin_until_future_complete(goal_future, 10s),
              rclcpp::FutureReturnCode::SUCCESS);
    auto goal = goal_future.get();

    std::shared_future<Client::WrappedResult> result;
    if (c.asked_while_running) {
      result = client->async_get_result(goal);
    }
    accepted.front()->succeed(result_of({4}));
    clock.advance(c.asked_after_end);
    if (!c.asked_while_running) {
      result = client->async_get_result(goal);
    }
    // The server's executor comes back long after, first to another client's goal.
    clock.advance(1h);
    other_client->async_send_goal(Count::Goal());
    server_executor.spin_all(1s);
    ASSERT_EQ(client_executor.spin_until_future_complete(result, 10s),
              rclcpp::FutureReturnCode::SUCCESS);
    EXPECT_EQ(result.get().code, c.expected);
    for (const auto& handle : accepted) {
      if (handle->is_active()) {
        handle->abort(result_of({}));
      }
    }
  }
}

// A task manager that sends a burst of goals, each replacing the last, and is busy a while before
// it asks for their results gets each goal's own result for as long as the timeout lasts, however
// many goals ended within it. A client asks once per goal: half the burst is asked for within the
// timeout (the last goal among them), the other half after it.
TEST_F(ActionTimes, EveryResultOfABurstIsAnsweredWithinTheTimeout) {
  auto options = rcl_action_server_get_default_options();
  options.result_timeout.nanoseconds = 2000000000;  // 2 s
  start("burst", options);
  const int32_t count = 400;
  std::vector<ClientHandle::SharedPtr> goals;
  for (int32_t i = 0; i < count; ++i) {
    goals.push_back(send());
    if (i + 1 < count) {
      accepted_.back()->abort(result_of({i}));  // replaced by the next goal
    } else {
      accepted_.back()->succeed(result_of({i}));
    }
  }
  // Results of every other goal, all requests sent before the executor answers the first.
  auto ask = [this, &goals](int32_t first) {
    std::vector<std::shared_future<Client::WrappedResult>> results;
    for (size_t i = static_cast<size_t>(first); i < goals.size(); i += 2) {
      results.push_back(client_->async_get_result(goals[i]));
    }
    for (const auto& result : results) {
      EXPECT_EQ(executor_.spin_until_future_complete(result, 10s),
                rclcpp::FutureReturnCode::SUCCESS);
    }
    return results;
  };

  clock_.advance(500ms);  // busy
  const auto in_time = ask(1);
  for (size_t k = 0; k < in_time.size(); ++k) {
    const int32_t i = static_cast<int32_t>(2 * k + 1);
    SCOPED_TRACE(i);
    EXPECT_EQ(in_time[k].get().code, i + 1 < count ? ResultCode::ABORTED : ResultCode::SUCCEEDED);
    EXPECT_EQ(in_time[k].get().result->counted, (std::vector<int32_t>{i}));
  }
  clock_.advance(1600ms);  // 2.1 s after the burst ended
  for (const auto& late : ask(0)) {
    EXPECT_EQ(late.get().code, ResultCode::UNKNOWN);
  }
}

// An action whose results share one witness, so that its use count tells how many results are
// still kept anywhere.
struct Witnessed {
  using Goal = Count::Goal;
  using Feedback = Count::Feedback;
  struct Result {
    using SharedPtr = std::shared_ptr<Result>;
    using ConstSharedPtr = std::shared_ptr<const Result>;
    std::shared_ptr<const int> witness;
  };
};

// A server left alone after a burst forgets each result as it expires, with no request to make it
// look: the burst costs memory for the timeout at most. The goals end 2 ms apart, over 600 ms.
TEST(ActionResultExpiry, ResultsOfABurstGoAsTheyExpireWithoutARequest) {
  rclcpp_testing::ManualClock clock;
  auto node = std::make_shared<rclcpp::Node>("quiet_server");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  auto options = rcl_action_server_get_default_options();
  options.result_timeout.nanoseconds = 2000000000;  // 2 s
  std::vector<std::shared_ptr<rclcpp_action::ServerGoalHandle<Witnessed>>> accepted;
  auto server = rclcpp_action::create_server<Witnessed>(
      node, "quiet",
      [](const rclcpp_action::GoalUUID&, std::shared_ptr<const Witnessed::Goal>) {
        return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
      },
      [](std::shared_ptr<rclcpp_action::ServerGoalHandle<Witnessed>>) {
        return rclcpp_action::CancelResponse::ACCEPT;
      },
      [&accepted](std::shared_ptr<rclcpp_action::ServerGoalHandle<Witnessed>> handle) {
        accepted.push_back(handle);
      },
      options);
  auto client = rclcpp_action::create_client<Witnessed>(node, "quiet");
  const int64_t count = 300;
  const auto witness = std::make_shared<const int>(0);
  for (int64_t i = 0; i < count; ++i) {
    auto goal = client->async_send_goal(Witnessed::Goal());
    ASSERT_EQ(executor.spin_until_future_complete(goal, 10s), rclcpp::FutureReturnCode::SUCCESS);
    auto result = std::make_shared<Witnessed::Result>();
    result->witness = witness;
    accepted.back()->succeed(result);
    clock.advance(2ms);
  }

  struct Step {
    const char* what;
    std::chrono::milliseconds later;
    int64_t kept;
  };
  const Step steps[] = {
      {"just before the first result expires", 1399ms, count},  // 1999 ms after the first end
      {"once half of them expired", 300ms, count / 2},
      {"once the last one expired", 300ms, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    clock.advance(step.later);
    executor.spin_all(1s);
    EXPECT_EQ(witness.use_count() - 1, step.kept);
  }
}

}  // namespace
