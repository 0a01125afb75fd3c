#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "rclcpp_testing/log_capture.hpp"
#include "std_msgs/msg/int8.hpp"

namespace {

using lifecycle_msgs::msg::State;
using lifecycle_msgs::msg::Transition;
using CallbackReturn = rclcpp_lifecycle::LifecycleNode::CallbackReturn;

// Answers every callback with what the test set for it (SUCCESS otherwise)
// and records "callback@previous state".
class RecordingNode : public rclcpp_lifecycle::LifecycleNode {
 public:
  explicit RecordingNode(const std::string& name) : rclcpp_lifecycle::LifecycleNode(name) {}

  CallbackReturn on_configure(const rclcpp_lifecycle::State& previous) override {
    return answer("configure", previous);
  }
  CallbackReturn on_activate(const rclcpp_lifecycle::State& previous) override {
    rclcpp_lifecycle::LifecycleNode::on_activate(previous);
    return answer("activate", previous);
  }
  CallbackReturn on_deactivate(const rclcpp_lifecycle::State& previous) override {
    rclcpp_lifecycle::LifecycleNode::on_deactivate(previous);
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
  std::map<std::string, CallbackReturn> answers;
  std::string throw_in;

 private:
  CallbackReturn answer(const std::string& name, const rclcpp_lifecycle::State& previous) {
    calls.push_back(name + "@" + previous.label());
    if (name == throw_in) {
      throw std::runtime_error(name + " threw");
    }
    auto it = answers.find(name);
    return it == answers.end() ? CallbackReturn::SUCCESS : it->second;
  }
};

// Brings a fresh node to `state` through successful transitions.
std::shared_ptr<RecordingNode> node_in(uint8_t state, const std::string& name) {
  auto node = std::make_shared<RecordingNode>(name);
  if (state == State::PRIMARY_STATE_INACTIVE || state == State::PRIMARY_STATE_ACTIVE) {
    node->configure();
  }
  if (state == State::PRIMARY_STATE_ACTIVE) {
    node->activate();
  }
  if (state == State::PRIMARY_STATE_FINALIZED) {
    node->shutdown();
  }
  EXPECT_EQ(node->get_current_state().id(), state);
  node->calls.clear();
  return node;
}

struct Row {
  uint8_t start;
  uint8_t transition;
  uint8_t end;  // == start when the transition is refused
  const char* callback;
};

// Every driver transition from every primary state.
TEST(LifecycleTransitions, EachTransitionFromEachPrimaryStateGoesWhereRosSays) {
  const uint8_t u = State::PRIMARY_STATE_UNCONFIGURED;
  const uint8_t i = State::PRIMARY_STATE_INACTIVE;
  const uint8_t a = State::PRIMARY_STATE_ACTIVE;
  const uint8_t f = State::PRIMARY_STATE_FINALIZED;
  const std::vector<Row> rows = {
      {u, Transition::TRANSITION_CONFIGURE, i, "configure@unconfigured"},
      {u, Transition::TRANSITION_CLEANUP, u, nullptr},
      {u, Transition::TRANSITION_ACTIVATE, u, nullptr},
      {u, Transition::TRANSITION_DEACTIVATE, u, nullptr},
      {u, Transition::TRANSITION_UNCONFIGURED_SHUTDOWN, f, "shutdown@unconfigured"},
      {u, Transition::TRANSITION_INACTIVE_SHUTDOWN, u, nullptr},
      {u, Transition::TRANSITION_ACTIVE_SHUTDOWN, u, nullptr},
      {i, Transition::TRANSITION_CONFIGURE, i, nullptr},
      {i, Transition::TRANSITION_CLEANUP, u, "cleanup@inactive"},
      {i, Transition::TRANSITION_ACTIVATE, a, "activate@inactive"},
      {i, Transition::TRANSITION_DEACTIVATE, i, nullptr},
      {i, Transition::TRANSITION_UNCONFIGURED_SHUTDOWN, i, nullptr},
      {i, Transition::TRANSITION_INACTIVE_SHUTDOWN, f, "shutdown@inactive"},
      {i, Transition::TRANSITION_ACTIVE_SHUTDOWN, i, nullptr},
      {a, Transition::TRANSITION_CONFIGURE, a, nullptr},
      {a, Transition::TRANSITION_CLEANUP, a, nullptr},
      {a, Transition::TRANSITION_ACTIVATE, a, nullptr},
      {a, Transition::TRANSITION_DEACTIVATE, i, "deactivate@active"},
      {a, Transition::TRANSITION_UNCONFIGURED_SHUTDOWN, a, nullptr},
      {a, Transition::TRANSITION_INACTIVE_SHUTDOWN, a, nullptr},
      {a, Transition::TRANSITION_ACTIVE_SHUTDOWN, f, "shutdown@active"},
      {f, Transition::TRANSITION_CONFIGURE, f, nullptr},
      {f, Transition::TRANSITION_CLEANUP, f, nullptr},
      {f, Transition::TRANSITION_ACTIVATE, f, nullptr},
      {f, Transition::TRANSITION_DEACTIVATE, f, nullptr},
      {f, Transition::TRANSITION_UNCONFIGURED_SHUTDOWN, f, nullptr},
      {f, Transition::TRANSITION_INACTIVE_SHUTDOWN, f, nullptr},
      {f, Transition::TRANSITION_ACTIVE_SHUTDOWN, f, nullptr},
      // Not driver transitions at all.
      {u, Transition::TRANSITION_CREATE, u, nullptr},
      {i, Transition::TRANSITION_DESTROY, i, nullptr},
      {a, Transition::TRANSITION_CALLBACK_SUCCESS, a, nullptr},
  };
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE("row " + std::to_string(index) + ": transition " + std::to_string(row.transition) +
                 " from state " + std::to_string(row.start));
    auto node = node_in(row.start, "table_node_" + std::to_string(index++));
    EXPECT_EQ(node->trigger_transition(row.transition).id(), row.end);
    EXPECT_EQ(node->get_current_state().id(), row.end);
    if (row.callback) {
      EXPECT_EQ(node->calls, (std::vector<std::string>{row.callback}));
    } else {
      EXPECT_TRUE(node->calls.empty());
    }
  }
}

TEST(LifecycleTransitions, AvailableTransitionsFollowTheState) {
  auto ids_of = [](const std::vector<rclcpp_lifecycle::Transition>& transitions) {
    std::vector<uint8_t> ids;
    for (const auto& t : transitions) {
      ids.push_back(t.id());
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  };
  EXPECT_EQ(
      ids_of(node_in(State::PRIMARY_STATE_UNCONFIGURED, "avail_u")->get_available_transitions()),
      (std::vector<uint8_t>{Transition::TRANSITION_CONFIGURE,
                            Transition::TRANSITION_UNCONFIGURED_SHUTDOWN}));
  EXPECT_EQ(ids_of(node_in(State::PRIMARY_STATE_INACTIVE, "avail_i")->get_available_transitions()),
            (std::vector<uint8_t>{Transition::TRANSITION_CLEANUP, Transition::TRANSITION_ACTIVATE,
                                  Transition::TRANSITION_INACTIVE_SHUTDOWN}));
  EXPECT_EQ(ids_of(node_in(State::PRIMARY_STATE_ACTIVE, "avail_a")->get_available_transitions()),
            (std::vector<uint8_t>{Transition::TRANSITION_DEACTIVATE,
                                  Transition::TRANSITION_ACTIVE_SHUTDOWN}));
  EXPECT_TRUE(
      node_in(State::PRIMARY_STATE_FINALIZED, "avail_f")->get_available_transitions().empty());
}

TEST(LifecycleTransitions, FailureReturnsToTheStartState) {
  struct Case {
    uint8_t start;
    const char* callback;
    uint8_t transition;
  };
  const std::vector<Case> cases = {
      {State::PRIMARY_STATE_UNCONFIGURED, "configure", Transition::TRANSITION_CONFIGURE},
      {State::PRIMARY_STATE_INACTIVE, "activate", Transition::TRANSITION_ACTIVATE},
      {State::PRIMARY_STATE_ACTIVE, "deactivate", Transition::TRANSITION_DEACTIVATE},
      {State::PRIMARY_STATE_INACTIVE, "cleanup", Transition::TRANSITION_CLEANUP},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.callback);
    auto node = node_in(c.start, "failing_" + std::to_string(index++));
    node->answers[c.callback] = CallbackReturn::FAILURE;
    CallbackReturn code = CallbackReturn::SUCCESS;
    EXPECT_EQ(node->trigger_transition(c.transition, code).id(), c.start);
    EXPECT_EQ(code, CallbackReturn::FAILURE);
    EXPECT_EQ(node->calls.size(), 1u);  // no on_error on the failure road
  }
}

TEST(LifecycleTransitions, FailedShutdownStillFinalizes) {
  auto node = node_in(State::PRIMARY_STATE_INACTIVE, "failing_shutdown");
  node->answers["shutdown"] = CallbackReturn::FAILURE;
  EXPECT_EQ(node->shutdown().id(), State::PRIMARY_STATE_FINALIZED);
}

// ERROR (or a throw) from any transition goes through on_error with the state
// the transition started from; on_error's SUCCESS lands in unconfigured, any
// other answer in finalized.
TEST(LifecycleTransitions, ErrorRoadFromEveryTransition) {
  struct Case {
    uint8_t start;
    const char* callback;
    uint8_t transition;
    const char* start_label;
  };
  const std::vector<Case> cases = {
      {State::PRIMARY_STATE_UNCONFIGURED, "configure", Transition::TRANSITION_CONFIGURE,
       "unconfigured"},
      {State::PRIMARY_STATE_INACTIVE, "activate", Transition::TRANSITION_ACTIVATE, "inactive"},
      {State::PRIMARY_STATE_ACTIVE, "deactivate", Transition::TRANSITION_DEACTIVATE, "active"},
      {State::PRIMARY_STATE_INACTIVE, "cleanup", Transition::TRANSITION_CLEANUP, "inactive"},
      {State::PRIMARY_STATE_ACTIVE, "shutdown", Transition::TRANSITION_ACTIVE_SHUTDOWN, "active"},
  };
  int index = 0;
  for (const auto& c : cases) {
    for (const auto error_answer :
         {CallbackReturn::SUCCESS, CallbackReturn::FAILURE, CallbackReturn::ERROR}) {
      for (const bool by_throw : {false, true}) {
        SCOPED_TRACE(std::string(c.callback) + (by_throw ? " throwing" : " returning ERROR") +
                     ", on_error answering " + std::to_string(static_cast<int>(error_answer)));
        rclcpp_testing::LogCapture capture;
        auto node = node_in(c.start, "erring_" + std::to_string(index++));
        if (by_throw) {
          node->throw_in = c.callback;
        } else {
          node->answers[c.callback] = CallbackReturn::ERROR;
        }
        node->answers["error"] = error_answer;
        const uint8_t expected = error_answer == CallbackReturn::SUCCESS
                                     ? State::PRIMARY_STATE_UNCONFIGURED
                                     : State::PRIMARY_STATE_FINALIZED;
        EXPECT_EQ(node->trigger_transition(c.transition).id(), expected);
        EXPECT_EQ(node->calls,
                  (std::vector<std::string>{std::string(c.callback) + "@" + c.start_label,
                                            std::string("error@") + c.start_label}));
        if (by_throw) {
          EXPECT_TRUE(capture.contains(std::string(c.callback) + " threw"));
        }
      }
    }
  }
}

TEST(LifecycleTransitions, ThrowingOnErrorFinalizes) {
  auto node = node_in(State::PRIMARY_STATE_INACTIVE, "throwing_on_error");
  node->answers["activate"] = CallbackReturn::ERROR;
  node->throw_in = "error";
  EXPECT_EQ(node->activate().id(), State::PRIMARY_STATE_FINALIZED);
}

TEST(LifecycleTransitions, RecoveredNodeCanBeConfiguredAgain) {
  auto node = node_in(State::PRIMARY_STATE_ACTIVE, "recovered");
  node->answers["deactivate"] = CallbackReturn::ERROR;
  EXPECT_EQ(node->deactivate().id(), State::PRIMARY_STATE_UNCONFIGURED);
  node->answers.clear();
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node->activate().id(), State::PRIMARY_STATE_ACTIVE);
}

TEST(LifecycleTransitions, CallbackSeesTheTransitionStateAndCannotStartAnother) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("nested");
  uint8_t state_inside = 0;
  uint8_t nested_answer = 0;
  node->register_on_configure([&](const rclcpp_lifecycle::State&) {
    state_inside = node->get_current_state().id();
    nested_answer = node->activate().id();  // refused while configuring
    return CallbackReturn::SUCCESS;
  });
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(state_inside, State::TRANSITION_STATE_CONFIGURING);
  EXPECT_EQ(nested_answer, State::TRANSITION_STATE_CONFIGURING);
  EXPECT_EQ(node->get_current_state().id(), State::PRIMARY_STATE_INACTIVE);
}

TEST(LifecycleTransitions, RegisteredCallbackReplacesTheOverride) {
  auto node = std::make_shared<RecordingNode>("registered");
  int registered_calls = 0;
  node->register_on_configure([&registered_calls](const rclcpp_lifecycle::State&) {
    ++registered_calls;
    return CallbackReturn::FAILURE;
  });
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(registered_calls, 1);
  EXPECT_TRUE(node->calls.empty());
}

// Publishers follow the node: off until activated, off again when
// deactivated, on again with the next activation.
TEST(LifecyclePublisherGate, FollowsActivationAndWarnsOncePerInactiveSpell) {
  rclcpp_testing::LogCapture capture;
  auto node = std::make_shared<RecordingNode>("gate_cycle");
  auto listener = std::make_shared<rclcpp::Node>("gate_cycle_listener");
  std::vector<int> received;
  auto sub = listener->create_subscription<std_msgs::msg::Int8>(
      "/gate_cycle", 10, [&received](const std_msgs::msg::Int8& m) { received.push_back(m.data); });
  auto pub = node->create_publisher<std_msgs::msg::Int8>("/gate_cycle", 10);
  auto send = [&pub](int value) {
    std_msgs::msg::Int8 msg;
    msg.data = static_cast<int8_t>(value);
    pub->publish(msg);
    pub->publish(std::make_unique<std_msgs::msg::Int8>(msg));  // both overloads gate
  };

  node->configure();
  send(1);
  EXPECT_EQ(capture.count("not activated"), 1u);

  node->activate();
  send(2);
  node->deactivate();
  send(3);
  send(4);
  EXPECT_EQ(capture.count("not activated"), 2u);  // once more for the new inactive spell
  node->activate();
  send(5);

  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);
  executor.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(received, (std::vector<int>{2, 2, 5, 5}));
}

}  // namespace
