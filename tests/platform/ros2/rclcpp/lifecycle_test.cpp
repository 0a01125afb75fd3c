#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "rclcpp_testing/log_capture.hpp"
#include "std_msgs/msg/string.hpp"

namespace {

using lifecycle_msgs::msg::State;
using CallbackReturn = rclcpp_lifecycle::LifecycleNode::CallbackReturn;

// Records the callbacks it sees; each answers with what the test set.
class ScriptedNode : public rclcpp_lifecycle::LifecycleNode {
 public:
  ScriptedNode() : rclcpp_lifecycle::LifecycleNode("scripted") {}

  CallbackReturn on_configure(const rclcpp_lifecycle::State& previous) override {
    return answer("configure", previous);
  }
  CallbackReturn on_activate(const rclcpp_lifecycle::State& previous) override {
    return answer("activate", previous);
  }
  CallbackReturn on_deactivate(const rclcpp_lifecycle::State& previous) override {
    return answer("deactivate", previous);
  }
  CallbackReturn on_cleanup(const rclcpp_lifecycle::State& previous) override {
    return answer("cleanup", previous);
  }
  CallbackReturn on_shutdown(const rclcpp_lifecycle::State& previous) override {
    return answer("shutdown", previous);
  }
  CallbackReturn on_error(const rclcpp_lifecycle::State& previous) override {
    return answer("error", previous);
  }

  std::vector<std::string> calls;
  std::string throw_in;
  std::string fail_in;
  std::string error_in;
  CallbackReturn error_answer = CallbackReturn::SUCCESS;

 private:
  CallbackReturn answer(const std::string& name, const rclcpp_lifecycle::State& previous) {
    calls.push_back(name + "@" + previous.label());
    if (name == throw_in) {
      throw std::runtime_error("callback blew up");
    }
    if (name == "error") {
      return error_answer;
    }
    if (name == fail_in) {
      return CallbackReturn::FAILURE;
    }
    if (name == error_in) {
      return CallbackReturn::ERROR;
    }
    return CallbackReturn::SUCCESS;
  }
};

TEST(Lifecycle, RunsTheFullCycle) {
  auto node = std::make_shared<ScriptedNode>();
  EXPECT_EQ(node->get_current_state().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node->activate().id(), State::PRIMARY_STATE_ACTIVE);
  EXPECT_EQ(node->get_current_state().label(), "active");
  EXPECT_EQ(node->deactivate().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node->shutdown().id(), State::PRIMARY_STATE_FINALIZED);
  EXPECT_EQ(node->calls, (std::vector<std::string>{"configure@unconfigured", "activate@inactive",
                                                   "deactivate@active", "cleanup@inactive",
                                                   "shutdown@unconfigured"}));
}

TEST(Lifecycle, FailingCallbackReturnsToTheStartState) {
  auto node = std::make_shared<ScriptedNode>();
  node->fail_in = "configure";
  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(node->configure(code).id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::FAILURE);
  node->fail_in = "activate";
  node->configure();
  EXPECT_EQ(node->activate().id(), State::PRIMARY_STATE_INACTIVE);
}

TEST(Lifecycle, ErrorGoesThroughOnError) {
  auto node = std::make_shared<ScriptedNode>();
  node->configure();
  node->error_in = "activate";
  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(node->activate(code).id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::ERROR);
  EXPECT_EQ(node->calls.back(), "error@inactive");
}

TEST(Lifecycle, ThrowingCallbackIsAnErrorNotACrash) {
  rclcpp_testing::LogCapture capture;
  auto node = std::make_shared<ScriptedNode>();
  node->throw_in = "configure";
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node->calls.back(), "error@unconfigured");
  EXPECT_TRUE(capture.contains("callback blew up"));
}

TEST(Lifecycle, FailedErrorHandlingFinalizes) {
  auto node = std::make_shared<ScriptedNode>();
  node->error_in = "configure";
  node->error_answer = CallbackReturn::FAILURE;
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_FINALIZED);
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_FINALIZED);
}

TEST(Lifecycle, InvalidTransitionLeavesTheStateAndLogs) {
  rclcpp_testing::LogCapture capture;
  auto node = std::make_shared<ScriptedNode>();
  EXPECT_EQ(node->activate().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_TRUE(node->calls.empty());
  EXPECT_TRUE(capture.contains("Unable to start transition"));
  EXPECT_EQ(node->trigger_transition(lifecycle_msgs::msg::Transition::TRANSITION_CONFIGURE).id(),
            State::PRIMARY_STATE_INACTIVE);
}

TEST(Lifecycle, ShutdownFromActive) {
  auto node = std::make_shared<ScriptedNode>();
  node->configure();
  node->activate();
  EXPECT_EQ(node->shutdown().id(), State::PRIMARY_STATE_FINALIZED);
  EXPECT_EQ(node->calls.back(), "shutdown@active");
}

TEST(LifecyclePublisher, DropsMessagesUntilActivated) {
  rclcpp_testing::LogCapture capture;
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("gated");
  auto listener = std::make_shared<rclcpp::Node>("gate_listener");
  std::vector<std::string> received;
  auto sub = listener->create_subscription<std_msgs::msg::String>(
      "/gated_topic", 10,
      [&received](const std_msgs::msg::String& m) { received.push_back(m.data); });
  auto pub = node->create_publisher<std_msgs::msg::String>("/gated_topic", 10);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);

  std_msgs::msg::String msg;
  msg.data = "before";
  pub->publish(msg);
  pub->publish(msg);
  EXPECT_FALSE(pub->is_activated());
  EXPECT_EQ(capture.count("not activated"), 1u);

  node->configure();
  node->activate();  // the default on_activate switches the node's publishers on
  EXPECT_TRUE(pub->is_activated());
  msg.data = "active";
  pub->publish(msg);

  node->deactivate();
  msg.data = "after";
  pub->publish(msg);
  executor.spin_some();
  EXPECT_EQ(received, (std::vector<std::string>{"active"}));
}

TEST(LifecyclePublisher, BasePointerBypassesTheGate) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("bypass");
  auto listener = std::make_shared<rclcpp::Node>("bypass_listener");
  int received = 0;
  auto sub = listener->create_subscription<std_msgs::msg::String>(
      "/bypass_topic", 10, [&received](std_msgs::msg::String::ConstSharedPtr) { ++received; });
  auto lifecycle_pub = node->create_publisher<std_msgs::msg::String>("/bypass_topic", 10);
  std::shared_ptr<rclcpp::Publisher<std_msgs::msg::String>> base_pub = lifecycle_pub;
  lifecycle_pub->publish(std_msgs::msg::String());
  base_pub->publish(std_msgs::msg::String());
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);
  executor.spin_some();
  EXPECT_EQ(received, 1);
}

}  // namespace
