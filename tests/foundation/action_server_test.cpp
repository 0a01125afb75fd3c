// The single-goal action server, driven through a real action client and a
// real executor, as the task manager drives the planning nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "count_action.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "rclcpp_testing/log_capture.hpp"
#include "support/log_capture.hpp"
#include "vantrell_nav2_base_class/vantrell_simple_action_server.hpp"

namespace {

using Count = foundation_test::action::Count;
using Server = nav2_util::VantrellSimpleActionServer<Count>;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Count>;
using WrappedResult = ClientGoalHandle::WrappedResult;
using Level = rclcpp::Logger::Level;
using CallbackReturn = rclcpp_lifecycle::node_interfaces::LifecycleNodeInterface::CallbackReturn;

// Only guards against a hang; no test depends on how long anything takes.
constexpr std::chrono::seconds kPatience{10};

// The server as its owner sees it, plus a way for a test to keep the worker busy
// with a task of its own.
class ObservedServer : public Server {
 public:
  using Server::Server;

  void occupyWorker(std::function<void()> task) { this->thread_pool_.enqueue(std::move(task)); }
  // What the executor serves for this server.
  rclcpp_action::Server<Count>::SharedPtr actionServer() { return this->action_server_; }
};

// A task that stays in its body until the test lets it go.
class Gate {
 public:
  void enter() {
    entered_.set_value();
    released_.wait();
  }
  void waitEntered() { ASSERT_EQ(entered_future_.wait_for(kPatience), std::future_status::ready); }
  // Safe to call again: the fixture lets every gate go before the servers are destroyed.
  void release() {
    std::call_once(released_once_, [this] { release_.set_value(); });
  }

 private:
  std::once_flag released_once_;
  std::promise<void> entered_;
  std::future<void> entered_future_ = entered_.get_future();
  std::promise<void> release_;
  std::shared_future<void> released_ = release_.get_future().share();
};

enum class Ending { Succeed, SucceedThenAskAgain, Terminate, ReturnOnly, ThrowStd, ThrowOther };

// What the execute callback does with each goal, keyed by the goal's order.
class Script {
 public:
  void plan(int order, Ending ending, bool hold = false) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& step = steps_[order];
    step = std::make_shared<Step>();
    step->ending = ending;
    step->hold = hold;
  }

  void waitStarted(int order) { step(order)->gate.waitEntered(); }
  void release(int order) { step(order)->gate.release(); }

  // A gate of its own for a task that is not a goal, released with the others.
  std::shared_ptr<Gate> extraGate(int key) {
    const auto held = step(key);
    return std::shared_ptr<Gate>(held, &held->gate);
  }

  void releaseAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : steps_) {
      entry.second->gate.release();
    }
  }

  std::vector<int> executed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return executed_;
  }

  std::vector<std::thread::id> workers() {
    std::lock_guard<std::mutex> lock(mutex_);
    return workers_;
  }

  void execute(Server& server) {
    const auto goal = server.get_current_goal();
    if (!goal) {
      return;
    }
    const int order = goal->order;
    const auto current = step(order);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      executed_.push_back(order);
      workers_.push_back(std::this_thread::get_id());
    }
    if (current->hold) {
      current->gate.enter();
    }
    auto result = std::make_shared<Count::Result>();
    result->value = order * 10;
    switch (current->ending) {
      case Ending::Succeed:
        server.succeeded_current(result);
        break;
      case Ending::SucceedThenAskAgain:
        server.succeeded_current(result);
        asked_again_ = server.get_current_goal() == nullptr ? "null" : "a goal";
        break;
      case Ending::Terminate:
        server.terminate_current(result);
        break;
      case Ending::ReturnOnly:
        break;
      case Ending::ThrowStd:
        throw std::runtime_error("planner failed on goal " + std::to_string(order));
      case Ending::ThrowOther:
        throw 42;
    }
  }

  std::string askedAgain() {
    std::lock_guard<std::mutex> lock(mutex_);
    return asked_again_;
  }

 private:
  struct Step {
    Ending ending{Ending::Succeed};
    bool hold{false};
    Gate gate;
  };

  std::shared_ptr<Step> step(int order) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& found = steps_[order];
    if (!found) {
      found = std::make_shared<Step>();
    }
    return found;
  }

  std::mutex mutex_;
  std::map<int, std::shared_ptr<Step>> steps_;
  std::vector<int> executed_;
  std::vector<std::thread::id> workers_;
  std::string asked_again_;
};

// Owns its servers as the planning nodes do: made on configure, switched on by
// on_activate, left alone by on_deactivate.
class ServingNode : public rclcpp_lifecycle::LifecycleNode {
 public:
  ServingNode(Script& script, Script& other_script)
      : rclcpp_lifecycle::LifecycleNode("serving_node"),
        script_(script),
        other_script_(other_script) {}

  CallbackReturn on_configure(const rclcpp_lifecycle::State&) override {
    auto options = rcl_action_server_get_default_options();
    options.result_service_qos.depth = 5;
    options.result_timeout.nanoseconds = 2500000000;
    // The callbacks reach their server through a plain pointer, as a node's bound
    // member function would; the worker never outlives the server.
    server_ = makeServer(
        "count", [this] { script_.execute(*server_view_); }, options);
    server_view_ = server_.get();
    other_server_ = makeServer(
        "count_other", [this] { other_script_.execute(*other_view_); }, options);
    other_view_ = other_server_.get();
    return CallbackReturn::SUCCESS;
  }

  CallbackReturn on_activate(const rclcpp_lifecycle::State&) override {
    server_->activate();
    other_server_->activate();
    return CallbackReturn::SUCCESS;
  }

  CallbackReturn on_deactivate(const rclcpp_lifecycle::State&) override {
    return CallbackReturn::SUCCESS;
  }

  std::shared_ptr<ObservedServer> server() { return server_; }
  void dropServer() { server_.reset(); }

 private:
  std::shared_ptr<ObservedServer> makeServer(const std::string& name, std::function<void()> execute,
                                             const rcl_action_server_options_t& options) {
    return std::make_shared<ObservedServer>(
        get_node_base_interface(), get_node_clock_interface(), get_node_logging_interface(),
        get_node_waitables_interface(), name, std::move(execute), nullptr,
        std::chrono::milliseconds(500), false, options);
  }

  Script& script_;
  Script& other_script_;
  std::shared_ptr<ObservedServer> server_;
  std::shared_ptr<ObservedServer> other_server_;
  ObservedServer* server_view_{nullptr};
  ObservedServer* other_view_{nullptr};
};

struct SentGoal {
  std::shared_future<ClientGoalHandle::SharedPtr> handle;
  std::shared_future<WrappedResult> result;
};

rclcpp_action::Client<Count>::SharedPtr makeClient(rclcpp::Node& node, const std::string& name) {
  return rclcpp_action::create_client<Count>(
      node.get_node_base_interface(), node.get_node_graph_interface(),
      node.get_node_logging_interface(), node.get_node_waitables_interface(), name);
}

class ActionServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    rclcpp::get_logger("serving_node").set_level(Level::Debug);
    node_ = std::make_shared<ServingNode>(script_, other_script_);
    client_node_ = std::make_shared<rclcpp::Node>("task_manager");
    client_ = makeClient(*client_node_, "count");
    other_client_ = makeClient(*client_node_, "count_other");
    executor_.add_node(node_->get_node_base_interface());
    executor_.add_node(client_node_);
    spinner_ = std::thread([this] { executor_.spin(); });
  }

  void TearDown() override {
    // A failed test may leave a callback waiting; the servers join their workers.
    script_.releaseAll();
    other_script_.releaseAll();
    executor_.cancel();
    spinner_.join();
  }

  void configure() {
    node_->configure();
    ASSERT_TRUE(client_->wait_for_action_server(kPatience));
  }

  void configureAndActivate() {
    configure();
    node_->activate();
  }

  SentGoal send(int order) { return sendTo(*client_, order); }

  SentGoal sendTo(rclcpp_action::Client<Count>& client, int order) {
    auto result = std::make_shared<std::promise<WrappedResult>>();
    rclcpp_action::Client<Count>::SendGoalOptions options;
    options.result_callback = [result](const WrappedResult& wrapped) {
      result->set_value(wrapped);
    };
    Count::Goal goal;
    goal.order = order;
    return {client.async_send_goal(goal, options), result->get_future().share()};
  }

  // A missing answer fails the test instead of blocking it.
  static ClientGoalHandle::SharedPtr accepted(const SentGoal& goal) {
    if (goal.handle.wait_for(kPatience) != std::future_status::ready) {
      ADD_FAILURE() << "no goal response";
      return nullptr;
    }
    return goal.handle.get();
  }

  static WrappedResult resultOf(const SentGoal& goal) {
    if (goal.result.wait_for(kPatience) != std::future_status::ready) {
      ADD_FAILURE() << "no result";
      WrappedResult missing{};
      missing.code = rclcpp_action::ResultCode::UNKNOWN;
      missing.result = std::make_shared<Count::Result>();
      missing.result->value = -1;
      return missing;
    }
    return goal.result.get();
  }

  bool cancel(const SentGoal& goal) {
    const auto handle = accepted(goal);
    if (!handle) {
      return false;
    }
    auto response = client_->async_cancel_goal(handle);
    if (response.wait_for(kPatience) != std::future_status::ready) {
      ADD_FAILURE() << "no cancel response";
      return false;
    }
    return !response.get()->goals_canceling.empty();
  }

  // The goal-handling records of the "count" server, in order.
  std::vector<std::pair<Level, std::string>> frameRecords() {
    std::vector<std::pair<Level, std::string>> frame;
    const std::string prefix = "[count] [ActionServer] ";
    for (const auto& record : log_.records()) {
      if (record.logger_name == "serving_node" && record.message.rfind(prefix, 0) == 0) {
        frame.emplace_back(record.level, record.message.substr(prefix.size()));
      }
    }
    return frame;
  }

  size_t frameCount(Level level, const std::string& text) {
    const auto frame = frameRecords();
    return static_cast<size_t>(
        std::count(frame.begin(), frame.end(), std::pair<Level, std::string>(level, text)));
  }

  void waitForRecord(const std::string& text) {
    ASSERT_TRUE(
        log_.wait_for(text, std::chrono::duration_cast<std::chrono::milliseconds>(kPatience)))
        << "no record containing \"" << text << "\"";
  }

  rclcpp_testing::LogCapture log_;
  Script script_;
  Script other_script_;
  std::shared_ptr<ServingNode> node_;
  std::shared_ptr<rclcpp::Node> client_node_;
  rclcpp_action::Client<Count>::SharedPtr client_;
  rclcpp_action::Client<Count>::SharedPtr other_client_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
};

TEST_F(ActionServer, RejectsGoalsUntilActivatedAndStaysActiveAfterDeactivation) {
  configure();
  script_.plan(1, Ending::Succeed);
  EXPECT_EQ(accepted(send(1)), nullptr);
  // A rejection leaves no record.
  EXPECT_TRUE(frameRecords().empty());
  EXPECT_TRUE(script_.executed().empty());

  node_->activate();
  script_.plan(2, Ending::Succeed);
  const auto second = resultOf(send(2));
  EXPECT_EQ(second.code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(second.result->value, 20);

  node_->deactivate();
  script_.plan(3, Ending::Succeed);
  const auto third = resultOf(send(3));
  EXPECT_EQ(third.code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(third.result->value, 30);
  EXPECT_EQ(script_.executed(), (std::vector<int>{2, 3}));
}

TEST_F(ActionServer, ANewerPendingGoalReplacesTheOlderAndRunsOnTheSameWorker) {
  configureAndActivate();
  script_.plan(1, Ending::Succeed, true);
  script_.plan(2, Ending::Succeed);
  script_.plan(3, Ending::Succeed);

  const auto first = send(1);
  script_.waitStarted(1);
  const auto second = send(2);
  ASSERT_NE(accepted(second), nullptr);
  const auto third = send(3);
  ASSERT_NE(accepted(third), nullptr);

  // The replaced goal ends at once, with a default result, while goal 1 still runs.
  const auto replaced = resultOf(second);
  EXPECT_EQ(replaced.code, rclcpp_action::ResultCode::ABORTED);
  EXPECT_EQ(replaced.result->value, 0);
  EXPECT_EQ(first.result.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  EXPECT_EQ(
      frameCount(Level::Debug, "An older goal is active, moving the new goal to a pending slot."),
      2u);
  EXPECT_EQ(frameCount(Level::Debug,
                       "The pending slot is occupied. The previous pending goal will be terminated "
                       "and replaced."),
            1u);
  EXPECT_EQ(frameCount(Level::Warn, "Aborting handle."), 1u);

  script_.release(1);
  EXPECT_EQ(resultOf(first).code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(resultOf(first).result->value, 10);
  EXPECT_EQ(resultOf(third).code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(resultOf(third).result->value, 30);

  EXPECT_EQ(script_.executed(), (std::vector<int>{1, 3}));
  const auto workers = script_.workers();
  ASSERT_EQ(workers.size(), 2u);
  EXPECT_EQ(workers[0], workers[1]);
  EXPECT_NE(workers[0], spinner_.get_id());
  EXPECT_NE(workers[0], std::this_thread::get_id());
  EXPECT_EQ(frameCount(Level::Debug, "Executing a pending handle on the existing thread."), 1u);
  EXPECT_EQ(frameCount(Level::Debug, "Preempted goal"), 1u);
}

TEST_F(ActionServer, CancellationShowsOnlyWhenTheRunningCallbackEnds) {
  configureAndActivate();
  // Ended by the callback through terminate_current: canceled, with its result.
  script_.plan(1, Ending::Terminate, true);
  const auto first = send(1);
  script_.waitStarted(1);
  EXPECT_TRUE(cancel(first));
  EXPECT_EQ(frameCount(Level::Debug, "Received request for goal cancellation"), 1u);
  // Nothing stops the callback: the goal is still open until it returns.
  EXPECT_EQ(first.result.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  script_.release(1);
  EXPECT_EQ(resultOf(first).code, rclcpp_action::ResultCode::CANCELED);
  EXPECT_EQ(resultOf(first).result->value, 10);
  EXPECT_EQ(frameCount(Level::Warn, "Client requested to cancel the goal. Cancelling."), 1u);

  // Left open by the callback: the work loop cancels it with a default result.
  script_.plan(2, Ending::ReturnOnly, true);
  const auto second = send(2);
  script_.waitStarted(2);
  EXPECT_TRUE(cancel(second));
  script_.release(2);
  EXPECT_EQ(resultOf(second).code, rclcpp_action::ResultCode::CANCELED);
  EXPECT_EQ(resultOf(second).result->value, 0);
  EXPECT_EQ(frameCount(Level::Warn, "Current goal was not completed successfully."), 1u);

  // Succeeded by the callback: the success stands.
  script_.plan(3, Ending::Succeed, true);
  const auto third = send(3);
  script_.waitStarted(3);
  EXPECT_TRUE(cancel(third));
  script_.release(3);
  EXPECT_EQ(resultOf(third).code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(resultOf(third).result->value, 30);
}

TEST_F(ActionServer, ACanceledPendingGoalIsStillTakenOverAndRun) {
  configureAndActivate();
  script_.plan(1, Ending::Succeed, true);
  script_.plan(2, Ending::Terminate);
  const auto first = send(1);
  script_.waitStarted(1);
  const auto second = send(2);
  EXPECT_TRUE(cancel(second));
  script_.release(1);

  EXPECT_EQ(resultOf(first).code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(resultOf(second).code, rclcpp_action::ResultCode::CANCELED);
  EXPECT_EQ(resultOf(second).result->value, 20);
  EXPECT_EQ(script_.executed(), (std::vector<int>{1, 2}));
}

TEST_F(ActionServer, AGoalLeftOpenIsAbortedAndThePendingGoalStillRuns) {
  configureAndActivate();
  script_.plan(1, Ending::ReturnOnly, true);
  script_.plan(2, Ending::Succeed);
  const auto first = send(1);
  script_.waitStarted(1);
  const auto second = send(2);
  ASSERT_NE(accepted(second), nullptr);
  script_.release(1);

  EXPECT_EQ(resultOf(first).code, rclcpp_action::ResultCode::ABORTED);
  EXPECT_EQ(resultOf(first).result->value, 0);
  EXPECT_EQ(resultOf(second).code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(resultOf(second).result->value, 20);
  EXPECT_EQ(frameCount(Level::Warn, "Current goal was not completed successfully."), 1u);
  EXPECT_EQ(frameCount(Level::Warn, "Aborting handle."), 1u);
}

TEST_F(ActionServer, AThrowingCallbackEndsBothGoalsAndTheWorkerCarriesOn) {
  configureAndActivate();
  struct Case {
    Ending ending;
    std::string record;
  };
  const std::vector<Case> cases = {
      {Ending::ThrowStd,
       "Action server failed while executing action callback: \"planner failed on goal 1\""},
      {Ending::ThrowOther,
       "Action server failed while executing action callback: \"unknown exception\""}};

  int order = 1;
  for (const auto& thrown : cases) {
    const int failing = order++;
    const int waiting = order++;
    const int next = order++;
    script_.plan(failing, thrown.ending, true);
    script_.plan(waiting, Ending::Succeed);
    script_.plan(next, Ending::Succeed);

    const auto failed = send(failing);
    script_.waitStarted(failing);
    const auto pending = send(waiting);
    ASSERT_NE(accepted(pending), nullptr);
    script_.release(failing);

    EXPECT_EQ(resultOf(failed).code, rclcpp_action::ResultCode::ABORTED);
    EXPECT_EQ(resultOf(failed).result->value, 0);
    EXPECT_EQ(resultOf(pending).code, rclcpp_action::ResultCode::ABORTED);
    EXPECT_EQ(resultOf(pending).result->value, 0);

    // The error goes to the node's logger as it is, not in the frame's form.
    EXPECT_EQ(log_.count(Level::Error, thrown.record), 1u) << thrown.record;

    const auto after = send(next);
    EXPECT_EQ(resultOf(after).code, rclcpp_action::ResultCode::SUCCEEDED);
    EXPECT_EQ(resultOf(after).result->value, next * 10);
  }
  EXPECT_EQ(script_.executed(), (std::vector<int>{1, 3, 4, 6}));
}

TEST_F(ActionServer, AGoalArrivingAfterTheLastLookAtThePendingSlotIsStillRun) {
  configureAndActivate();
  script_.plan(1, Ending::Succeed, true);
  const auto first = send(1);
  script_.waitStarted(1);

  // Queue a task of the test's own behind the running work loop. Once the loop
  // has made its last look at the pending slot and returned, this task keeps
  // the worker busy: the state in which a goal used to be parked in the pending
  // slot with no run left to take it over.
  const auto occupant = script_.extraGate(-1);
  node_->server()->occupyWorker([occupant] { occupant->enter(); });
  script_.release(1);
  EXPECT_EQ(resultOf(first).code, rclcpp_action::ResultCode::SUCCEEDED);
  occupant->waitEntered();

  script_.plan(2, Ending::Succeed);
  const auto second = send(2);
  ASSERT_NE(accepted(second), nullptr);
  waitForRecord("[count] [ActionServer] Executing goal asynchronously.");
  EXPECT_EQ(
      frameCount(Level::Debug, "An older goal is active, moving the new goal to a pending slot."),
      0u);
  EXPECT_EQ(frameCount(Level::Debug, "Executing goal asynchronously."), 2u);

  occupant->release();
  EXPECT_EQ(resultOf(second).code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(resultOf(second).result->value, 20);
  EXPECT_EQ(script_.executed(), (std::vector<int>{1, 2}));
  EXPECT_EQ(
      frameCount(Level::Error, "Forgot to handle a preemption. Terminating the pending goal."), 0u);
}

TEST_F(ActionServer, WritesItsRecordsInTheFrameFormat) {
  auto singleton = test_support::captureLog();
  singleton->clear();
  configureAndActivate();

  const auto construction = singleton->records();
  ASSERT_GE(construction.size(), 2u);
  EXPECT_EQ(construction[0].text.substr(3),
            " [INFO] [action_name] count options.result_service_qos.depth is 5");
  EXPECT_EQ(construction[1].text.substr(3),
            " [INFO] [action_name] count options.result_timeout.nanoseconds is 2500000000");
  EXPECT_EQ(construction[0].function, "VantrellSimpleActionServer");

  script_.plan(1, Ending::SucceedThenAskAgain);
  EXPECT_EQ(resultOf(send(1)).code, rclcpp_action::ResultCode::SUCCEEDED);
  waitForRecord("[count] [ActionServer] Worker thread done.");
  EXPECT_EQ(script_.askedAgain(), "null");

  const std::vector<std::pair<Level, std::string>> expected = {
      {Level::Debug, "Received request for goal acceptance"},
      {Level::Debug, "Receiving a new goal"},
      {Level::Debug, "Executing goal asynchronously."},
      {Level::Debug, "Executing the goal..."},
      {Level::Debug, "Setting succeed on current goal."},
      {Level::Error, "A goal is not available or has reached a final state"},
      {Level::Debug, "Blocking processing of new goal handles."},
      {Level::Debug, "Done processing available goals."},
      {Level::Debug, "Worker thread done."}};
  EXPECT_EQ(frameRecords(), expected);
}

TEST_F(ActionServer, WithItsOwnSpinThreadServesANodeNoExecutorSpins) {
  // This node is in no executor: only the server's own thread serves its goals.
  const auto lone_node = std::make_shared<rclcpp::Node>("lone_node");
  Script lone_script;
  std::shared_ptr<Server> lone_server;
  lone_server = std::make_shared<Server>(
      lone_node->get_node_base_interface(), lone_node->get_node_clock_interface(),
      lone_node->get_node_logging_interface(), lone_node->get_node_waitables_interface(),
      "count_alone", [&lone_script, &lone_server] { lone_script.execute(*lone_server); }, nullptr,
      std::chrono::milliseconds(500), true, rcl_action_server_get_default_options());
  lone_server->activate();
  const auto lone_client = makeClient(*client_node_, "count_alone");
  ASSERT_TRUE(lone_client->wait_for_action_server(kPatience));

  lone_script.plan(7, Ending::Succeed);
  const auto goal = sendTo(*lone_client, 7);
  EXPECT_EQ(resultOf(goal).code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(resultOf(goal).result->value, 70);
  lone_server.reset();
}

TEST_F(ActionServer, EachServerHasItsOwnWorker) {
  configureAndActivate();
  script_.plan(1, Ending::Succeed, true);
  other_script_.plan(1, Ending::Succeed);

  const auto held = send(1);
  script_.waitStarted(1);
  // The other action is served while the first one's callback still blocks.
  const auto other = sendTo(*other_client_, 1);
  EXPECT_EQ(resultOf(other).code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(held.result.wait_for(std::chrono::seconds(0)), std::future_status::timeout);

  script_.release(1);
  EXPECT_EQ(resultOf(held).code, rclcpp_action::ResultCode::SUCCEEDED);
  ASSERT_EQ(other_script_.workers().size(), 1u);
  EXPECT_NE(other_script_.workers()[0], script_.workers()[0]);
}

TEST_F(ActionServer, DestroyingTheServerWaitsForTheRunningGoal) {
  configureAndActivate();
  script_.plan(1, Ending::Succeed, true);
  script_.plan(2, Ending::Succeed);
  const auto first = send(1);
  script_.waitStarted(1);
  const auto second = send(2);
  ASSERT_NE(accepted(second), nullptr);

  std::thread destroyer([this] { node_->dropServer(); });
  waitForRecord(
      "[count] [ActionServer] Waiting for the running goal to return before the server goes.");
  // The callback still uses the server it was started by.
  script_.release(1);
  destroyer.join();

  EXPECT_EQ(resultOf(first).code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(resultOf(first).result->value, 10);
  // The waiting goal is ended, not run, by a server that is going away.
  EXPECT_EQ(resultOf(second).code, rclcpp_action::ResultCode::ABORTED);
  EXPECT_EQ(script_.executed(), (std::vector<int>{1}));
  EXPECT_EQ(frameCount(Level::Warn, "Stopping the thread per request."), 1u);
}

// The executor takes a goal request, has the server accept it and answers the client before it
// hands the goal over; the server may be destroyed in between. Here the answer is held until the
// server is gone.
TEST_F(ActionServer, AGoalAcceptedWhileTheServerGoesIsEndedWithoutRunning) {
  configureAndActivate();
  const auto endpoint = node_->server()->actionServer();
  const auto answering = script_.extraGate(100);
  auto goal = std::make_shared<Count::Goal>();
  goal->order = 1;
  rclcpp_action::GoalUUID uuid{};
  uuid[0] = 7;
  endpoint->receive_goal_request(uuid, goal,
                                 [answering](bool, const rclcpp::Time&) { answering->enter(); });
  answering->waitEntered();
  node_->dropServer();

  std::promise<int8_t> status;
  endpoint->receive_result_request(
      uuid, [&status](int8_t ended, Count::Result::SharedPtr) { status.set_value(ended); });
  answering->release();
  auto ended = status.get_future();
  ASSERT_EQ(ended.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(ended.get(), action_msgs::msg::GoalStatus::STATUS_ABORTED);
  EXPECT_TRUE(script_.executed().empty());
}

}  // namespace
