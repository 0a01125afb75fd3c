#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/int8.hpp"
#include "std_msgs/msg/string.hpp"

namespace {

using std_msgs::msg::Int8;

std::vector<int> drain(rclcpp::Node::SharedPtr node, const std::vector<int>* received) {
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  // One message per subscription per spin_some, as in rclcpp; spin_all drains.
  executor.spin_all(std::chrono::seconds(1));
  return *received;
}

Int8 make(int value) {
  Int8 msg;
  msg.data = static_cast<int8_t>(value);
  return msg;
}

TEST(Topics, DeliversBetweenNodesAndKeepsTheLastDepthMessages) {
  auto talker = std::make_shared<rclcpp::Node>("talker");
  auto listener = std::make_shared<rclcpp::Node>("listener");
  std::vector<int> received;
  auto sub = listener->create_subscription<Int8>(
      "/numbers", rclcpp::QoS(3), [&received](const Int8& m) { received.push_back(m.data); });
  auto pub = talker->create_publisher<Int8>("/numbers", 10);
  EXPECT_EQ(pub->get_subscription_count(), 1u);
  EXPECT_EQ(sub->get_publisher_count(), 1u);
  for (int i = 1; i <= 5; ++i) {
    pub->publish(make(i));
  }
  // Nothing runs before an executor takes the subscription's work.
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(drain(listener, &received), (std::vector<int>{3, 4, 5}));
}

TEST(Topics, TransientLocalReachesLateSubscribers) {
  auto talker = std::make_shared<rclcpp::Node>("latched_talker");
  auto listener = std::make_shared<rclcpp::Node>("late_listener");
  auto pub = talker->create_publisher<Int8>("/latched",
                                            rclcpp::QoS(rclcpp::KeepLast(2)).transient_local());
  for (int i = 1; i <= 3; ++i) {
    pub->publish(make(i));
  }
  std::vector<int> late;
  auto late_sub = listener->create_subscription<Int8>(
      "/latched", rclcpp::QoS(10).transient_local(),
      [&late](Int8::ConstSharedPtr m) { late.push_back(m->data); });
  std::vector<int> volatile_received;
  auto volatile_sub = listener->create_subscription<Int8>(
      "/latched", 10, [&volatile_received](const Int8& m) { volatile_received.push_back(m.data); });
  EXPECT_EQ(drain(listener, &late), (std::vector<int>{2, 3}));
  EXPECT_TRUE(volatile_received.empty());
}

TEST(Topics, IncompatibleQosDoesNotMatch) {
  auto node = std::make_shared<rclcpp::Node>("qos_check");
  auto best_effort_pub = node->create_publisher<Int8>("/qos_topic", rclcpp::SensorDataQoS());
  std::vector<int> received;
  auto reliable_sub =
      node->create_subscription<Int8>("/qos_topic", rclcpp::QoS(10).reliable(),
                                      [&received](const Int8& m) { received.push_back(m.data); });
  EXPECT_EQ(best_effort_pub->get_subscription_count(), 0u);
  best_effort_pub->publish(make(1));
  EXPECT_TRUE(drain(node, &received).empty());
}

TEST(Topics, RelativeAndPrivateNamesResolveAgainstTheNode) {
  auto node = std::make_shared<rclcpp::Node>("resolver", "/robot");
  EXPECT_STREQ(node->get_fully_qualified_name(), "/robot/resolver");
  auto relative = node->create_publisher<Int8>("status", 1);
  auto absolute = node->create_publisher<Int8>("/status", 1);
  auto private_topic = node->create_publisher<Int8>("~/debug", 1);
  EXPECT_STREQ(relative->get_topic_name(), "/robot/status");
  EXPECT_STREQ(absolute->get_topic_name(), "/status");
  EXPECT_STREQ(private_topic->get_topic_name(), "/robot/resolver/debug");
  EXPECT_THROW(node->create_publisher<Int8>("bad name", 1),
               rclcpp::exceptions::InvalidTopicNameError);
  EXPECT_THROW(rclcpp::Node("1node"), rclcpp::exceptions::InvalidNodeNameError);
}

TEST(Topics, DifferentTypesOnOneNameDoNotMeet) {
  auto node = std::make_shared<rclcpp::Node>("typed_topics");
  auto pub = node->create_publisher<std_msgs::msg::String>("/shared_name", 10);
  std::vector<int> received;
  auto sub = node->create_subscription<Int8>(
      "/shared_name", 10, [&received](const Int8& m) { received.push_back(m.data); });
  EXPECT_EQ(pub->get_subscription_count(), 0u);
  EXPECT_EQ(node->count_subscribers("/shared_name"), 1u);
}

TEST(Topics, MessageOutlivesItsPublisherInTheQueue) {
  auto listener = std::make_shared<rclcpp::Node>("outliving");
  std::vector<int> received;
  auto sub = listener->create_subscription<Int8>(
      "/short_lived", 10, [&received](std::unique_ptr<Int8> m) { received.push_back(m->data); });
  {
    auto talker = std::make_shared<rclcpp::Node>("short_lived_talker");
    talker->create_publisher<Int8>("/short_lived", 10)->publish(make(9));
  }
  EXPECT_EQ(drain(listener, &received), (std::vector<int>{9}));
}

// Collects what one subscription receives.
struct Received {
  std::vector<int> values;
  std::function<void(const Int8&)> callback() {
    return [this](const Int8& m) { values.push_back(m.data); };
  }
};

TEST(TopicHistory, EachSubscriptionDropsItsOwnOldestMessages) {
  auto node = std::make_shared<rclcpp::Node>("depths");
  Received shallow;
  Received deep;
  Received everything;
  auto s1 = node->create_subscription<Int8>("/depths", rclcpp::QoS(1), shallow.callback());
  auto s2 = node->create_subscription<Int8>("/depths", rclcpp::QoS(4), deep.callback());
  auto s3 = node->create_subscription<Int8>("/depths", rclcpp::QoS(rclcpp::KeepAll()),
                                            everything.callback());
  auto pub = node->create_publisher<Int8>("/depths", 10);
  for (int i = 1; i <= 30; ++i) {
    pub->publish(make(i));
  }
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(shallow.values, (std::vector<int>{30}));
  EXPECT_EQ(deep.values, (std::vector<int>{27, 28, 29, 30}));
  ASSERT_EQ(everything.values.size(), 30u);
  EXPECT_EQ(everything.values.front(), 1);
  EXPECT_EQ(everything.values.back(), 30);
}

TEST(TopicHistory, QueueKeepsFillingWhileACallbackRuns) {
  auto node = std::make_shared<rclcpp::Node>("refill");
  auto pub = node->create_publisher<Int8>("/refill", 10);
  std::vector<int> received;
  auto sub = node->create_subscription<Int8>("/refill", rclcpp::QoS(2), [&](const Int8& m) {
    received.push_back(m.data);
    if (m.data == 1) {
      for (int i = 2; i <= 5; ++i) {
        pub->publish(make(i));  // only the last two fit while this one runs
      }
    }
  });
  pub->publish(make(1));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(received, (std::vector<int>{1, 4, 5}));
}

TEST(TopicHistory, LateJoinerGetsAtMostItsDepthOfTheKeptHistoryThenLiveMessages) {
  auto talker = std::make_shared<rclcpp::Node>("history_talker");
  auto pub = talker->create_publisher<Int8>("/history",
                                            rclcpp::QoS(rclcpp::KeepLast(5)).transient_local());
  for (int i = 1; i <= 7; ++i) {
    pub->publish(make(i));
  }
  auto listener = std::make_shared<rclcpp::Node>("history_listener");
  Received narrow;
  Received wide;
  auto s1 = listener->create_subscription<Int8>("/history", rclcpp::QoS(2).transient_local(),
                                                narrow.callback());
  auto s2 = listener->create_subscription<Int8>("/history", rclcpp::QoS(10).transient_local(),
                                                wide.callback());
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);
  executor.spin_all(std::chrono::seconds(1));
  pub->publish(make(8));
  executor.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(narrow.values, (std::vector<int>{6, 7, 8}));
  EXPECT_EQ(wide.values, (std::vector<int>{3, 4, 5, 6, 7, 8}));
}

TEST(TopicHistory, LateJoinerHearsEveryLatchedPublisherButNotAGoneOne) {
  auto listener = std::make_shared<rclcpp::Node>("many_latched_listener");
  auto a = std::make_shared<rclcpp::Node>("latched_a");
  auto b = std::make_shared<rclcpp::Node>("latched_b");
  const auto latched = rclcpp::QoS(1).transient_local();
  auto pub_a = a->create_publisher<Int8>("/many_latched", latched);
  auto pub_b = b->create_publisher<Int8>("/many_latched", latched);
  pub_a->publish(make(1));
  pub_b->publish(make(2));
  {
    auto gone = listener->create_publisher<Int8>("/many_latched", latched);
    gone->publish(make(3));
  }  // its history goes with it
  Received late;
  auto sub = listener->create_subscription<Int8>("/many_latched", rclcpp::QoS(10).transient_local(),
                                                 late.callback());
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);
  executor.spin_all(std::chrono::seconds(1));
  std::sort(late.values.begin(), late.values.end());
  EXPECT_EQ(late.values, (std::vector<int>{1, 2}));
}

TEST(TopicHistory, VolatileReaderOfALatchedWriterHearsOnlyLiveMessages) {
  auto node = std::make_shared<rclcpp::Node>("volatile_reader");
  auto pub =
      node->create_publisher<Int8>("/latched_live", rclcpp::QoS(5).transient_local().reliable());
  pub->publish(make(1));
  Received live;
  auto sub = node->create_subscription<Int8>("/latched_live", rclcpp::QoS(5).best_effort(),
                                             live.callback());
  EXPECT_EQ(pub->get_subscription_count(), 1u);
  pub->publish(make(2));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(live.values, (std::vector<int>{2}));
}

TEST(TopicNames, NamespacesDecideWhoMeets) {
  auto robot = std::make_shared<rclcpp::Node>("robot_talker", "/robot");
  auto robot_listener = std::make_shared<rclcpp::Node>("robot_listener", "robot");
  auto root_listener = std::make_shared<rclcpp::Node>("root_listener");
  auto other_listener = std::make_shared<rclcpp::Node>("other_listener", "/other");
  EXPECT_STREQ(robot_listener->get_namespace(), "/robot");
  Received same_ns;
  Received absolute;
  Received other_ns;
  auto s1 = robot_listener->create_subscription<Int8>("status", 10, same_ns.callback());
  auto s2 = root_listener->create_subscription<Int8>("/robot/status", 10, absolute.callback());
  auto s3 = other_listener->create_subscription<Int8>("status", 10, other_ns.callback());
  auto pub = robot->create_publisher<Int8>("status", 10);
  EXPECT_EQ(pub->get_subscription_count(), 2u);
  pub->publish(make(1));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(robot_listener);
  executor.add_node(root_listener);
  executor.add_node(other_listener);
  executor.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(same_ns.values, (std::vector<int>{1}));
  EXPECT_EQ(absolute.values, (std::vector<int>{1}));
  EXPECT_TRUE(other_ns.values.empty());
}

TEST(TopicNames, ExpandsSubstitutionsAndTheTilde) {
  auto nested = std::make_shared<rclcpp::Node>("expander", "/fleet/robot");
  auto root = std::make_shared<rclcpp::Node>("root_expander");
  auto name_of = [](const rclcpp::Node::SharedPtr& node, const std::string& topic) {
    return std::string(node->create_publisher<Int8>(topic, 1)->get_topic_name());
  };
  EXPECT_EQ(name_of(nested, "~"), "/fleet/robot/expander");
  EXPECT_EQ(name_of(nested, "~/state"), "/fleet/robot/expander/state");
  EXPECT_EQ(name_of(nested, "{node}/state"), "/fleet/robot/expander/state");
  EXPECT_EQ(name_of(nested, "{ns}/state"), "/fleet/robot/state");
  EXPECT_EQ(name_of(nested, "a/b"), "/fleet/robot/a/b");
  EXPECT_EQ(name_of(root, "~/state"), "/root_expander/state");
  EXPECT_EQ(name_of(root, "{ns}/state"), "/state");
  EXPECT_EQ(name_of(root, "state"), "/state");
}

TEST(TopicNames, MalformedNamesAreRefused) {
  auto node = std::make_shared<rclcpp::Node>("strict", "/ns");
  for (const char* bad : {"", "/", "a//b", "a/", "/1abc", "2abc", "a b", "~abc", "a/~/b", "a-b"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(node->create_publisher<Int8>(bad, 1), rclcpp::exceptions::InvalidTopicNameError);
    EXPECT_THROW(node->create_subscription<Int8>(bad, 1, [](const Int8&) {}),
                 rclcpp::exceptions::InvalidTopicNameError);
  }
  for (const char* bad_ns : {"/ns/", "/a//b", "/1ns", "/a b"}) {
    SCOPED_TRACE(bad_ns);
    EXPECT_THROW(rclcpp::Node("bad_namespace", bad_ns), rclcpp::exceptions::InvalidNamespaceError);
  }
  EXPECT_THROW(rclcpp::Node("bad-name"), rclcpp::exceptions::InvalidNodeNameError);
  EXPECT_THROW(rclcpp::Node(""), rclcpp::exceptions::InvalidNodeNameError);
}

TEST(TopicNames, RemapArgumentsRenameTheNode) {
  rclcpp::NodeOptions options;
  options.arguments({"--ros-args", "-r", "__node:=renamed", "-r", "__ns:=/moved"});
  auto node = std::make_shared<rclcpp::Node>("original", "/origin", options);
  EXPECT_STREQ(node->get_fully_qualified_name(), "/moved/renamed");
  EXPECT_STREQ(node->create_publisher<Int8>("~/x", 1)->get_topic_name(), "/moved/renamed/x");
}

TEST(TopicGraph, CountsFollowTheLifetimesOfEndpoints) {
  auto node = std::make_shared<rclcpp::Node>("counting");
  auto pub = node->create_publisher<Int8>("/counted", 10);
  EXPECT_EQ(pub->get_subscription_count(), 0u);
  auto first = node->create_subscription<Int8>("/counted", 10, [](const Int8&) {});
  auto second = node->create_subscription<Int8>("/counted", 10, [](const Int8&) {});
  EXPECT_EQ(pub->get_subscription_count(), 2u);
  EXPECT_EQ(node->count_subscribers("/counted"), 2u);
  EXPECT_EQ(node->count_publishers("/counted"), 1u);
  first.reset();
  EXPECT_EQ(pub->get_subscription_count(), 1u);
  EXPECT_EQ(second->get_publisher_count(), 1u);
  pub.reset();
  EXPECT_EQ(second->get_publisher_count(), 0u);
  EXPECT_EQ(node->count_publishers("/counted"), 0u);
}

}  // namespace
