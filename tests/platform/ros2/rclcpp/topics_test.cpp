#include <gtest/gtest.h>

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

}  // namespace
