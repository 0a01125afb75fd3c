#include "nav2_util/node_thread.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "std_msgs/msg/int8.hpp"

namespace {

using namespace std::chrono_literals;
using std_msgs::msg::Int8;

TEST(NodeThread, SpinsALifecycleNodeUntilDestroyed) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("threaded_node");
  std::promise<int> received;
  auto sub = node->create_subscription<Int8>(
      "/node_thread_topic", 10, [&received](const Int8& m) { received.set_value(m.data); });
  {
    nav2_util::NodeThread thread(node);
    Int8 msg;
    msg.data = 5;
    auto talker = std::make_shared<rclcpp::Node>("node_thread_talker");
    talker->create_publisher<Int8>("/node_thread_topic", 10)->publish(msg);
    auto future = received.get_future();
    ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(future.get(), 5);
  }
  // The node is free again for another executor.
  rclcpp::executors::SingleThreadedExecutor executor;
  EXPECT_NO_THROW(executor.add_node(node->get_node_base_interface()));
}

TEST(NodeThread, SpinsAGivenExecutor) {
  auto node = std::make_shared<rclcpp::Node>("executor_owner");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  std::promise<void> fired;
  rclcpp::TimerBase::SharedPtr timer;
  timer = node->create_wall_timer(
      1ms,
      [&fired, &timer]() {
        timer->cancel();
        fired.set_value();
      },
      group);
  auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor->add_callback_group(group, node->get_node_base_interface());
  nav2_util::NodeThread thread(executor);
  EXPECT_EQ(fired.get_future().wait_for(10s), std::future_status::ready);
}

TEST(NodeThread, StopsAtOnceWhenDestroyedStraightAway) {
  auto node = std::make_shared<rclcpp::Node>("brief_node");
  for (int i = 0; i < 20; ++i) {
    nav2_util::NodeThread thread(node);
  }
  rclcpp::executors::SingleThreadedExecutor executor;
  EXPECT_NO_THROW(executor.add_node(node));
}

}  // namespace
