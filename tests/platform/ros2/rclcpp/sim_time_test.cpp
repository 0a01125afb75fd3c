// Simulated time as ROS 2 hosts drive it: a node with "use_sim_time" follows "/clock", and the
// timers on its clock fire on simulated time.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp/time_source.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "rosgraph_msgs/msg/clock.hpp"

namespace {

using namespace std::chrono_literals;

rclcpp::NodeOptions simTime(bool use_clock_thread) {
  return rclcpp::NodeOptions()
      .append_parameter_override("use_sim_time", true)
      .use_clock_thread(use_clock_thread);
}

rclcpp::Time simSeconds(double seconds) {
  return rclcpp::Time(static_cast<int64_t>(seconds * 1e9), RCL_ROS_TIME);
}

class SimulatedTime : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    publisher_ = host_->create_publisher<rosgraph_msgs::msg::Clock>("/clock", rclcpp::QoS(10));
  }

  void publishTick(double seconds) {
    rosgraph_msgs::msg::Clock tick;
    tick.clock = simSeconds(seconds);
    publisher_->publish(tick);
  }

  rclcpp::Node::SharedPtr host_ = std::make_shared<rclcpp::Node>("clock_publisher");
  rclcpp::Publisher<rosgraph_msgs::msg::Clock>::SharedPtr publisher_;
};

// Without a clock thread the node's own executor takes the ticks, so every reading is exact.
class SimulatedTimeOnTheNodesExecutor : public SimulatedTime {
 protected:
  void SetUp() override {
    SimulatedTime::SetUp();
    node_ = std::make_shared<rclcpp::Node>("sim_time_node", simTime(false));
    executor_.add_node(node_);
  }

  // The tick, then whatever fell due with it.
  void tick(double seconds) {
    publishTick(seconds);
    executor_.spin_some();
    executor_.spin_some();
  }

  rclcpp::Node::SharedPtr node_;
  rclcpp::executors::SingleThreadedExecutor executor_;
};

TEST_F(SimulatedTimeOnTheNodesExecutor, TheNodeClockReadsTheTicksAndItsTimersFireOnThem) {
  EXPECT_TRUE(node_->get_clock()->ros_time_is_active());
  EXPECT_EQ(node_->now().nanoseconds(), 0) << "no tick yet";
  tick(5.0);
  EXPECT_EQ(node_->now(), simSeconds(5.0));

  std::vector<rclcpp::Time> fired;
  auto timer = rclcpp::create_timer(node_, node_->get_clock(), rclcpp::Duration(1s),
                                    [&]() { fired.push_back(node_->now()); });
  const std::vector<std::pair<double, size_t>> steps{{5.5, 0}, {6.0, 1}, {6.9, 1}, {9.2, 2}};
  for (const auto& [seconds, firings] : steps) {
    SCOPED_TRACE(seconds);
    tick(seconds);
    EXPECT_EQ(fired.size(), firings);
  }
  // Periods that simulated time skipped are not made up for.
  EXPECT_EQ(fired, (std::vector<rclcpp::Time>{simSeconds(6.0), simSeconds(9.2)}));
}

TEST_F(SimulatedTimeOnTheNodesExecutor, UseSimTimeSwitchesBetweenTheTicksAndTheSystemClock) {
  tick(42.0);
  ASSERT_TRUE(node_->set_parameter(rclcpp::Parameter("use_sim_time", false)).successful);
  EXPECT_FALSE(node_->get_clock()->ros_time_is_active());
  EXPECT_GT(node_->now().seconds(), 1.5e9);
  tick(43.0);
  EXPECT_GT(node_->now().seconds(), 1.5e9) << "ticks are not heard any more";

  ASSERT_TRUE(node_->set_parameter(rclcpp::Parameter("use_sim_time", true)).successful);
  EXPECT_EQ(node_->now(), simSeconds(42.0)) << "the last tick heard";
  tick(44.0);
  EXPECT_EQ(node_->now(), simSeconds(44.0));

  EXPECT_FALSE(node_->set_parameter(rclcpp::Parameter("use_sim_time", "yes")).successful);
  EXPECT_TRUE(node_->get_parameter("use_sim_time").as_bool());
}

TEST_F(SimulatedTime, NodesWithoutUseSimTimeAndOtherClocksKeepTheSystemTime) {
  auto plain = std::make_shared<rclcpp::Node>("plain_node");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(plain);
  publishTick(7.0);
  executor.spin_some();
  EXPECT_FALSE(plain->get_parameter("use_sim_time").as_bool());
  EXPECT_GT(plain->now().seconds(), 1.5e9);

  rclcpp::TimeSource source;
  EXPECT_THROW(source.attachClock(std::make_shared<rclcpp::Clock>(RCL_SYSTEM_TIME)),
               std::invalid_argument);
  EXPECT_THROW(std::make_shared<rclcpp::Node>(
                   "odd_node", rclcpp::NodeOptions().append_parameter_override("use_sim_time", 1)),
               rclcpp::exceptions::InvalidParameterTypeException);
}

// With the clock thread (the default) a node follows the ticks while nothing spins it, and a
// sleeper on its clock wakes when simulated time reaches its target.
TEST_F(SimulatedTime, AClockThreadKeepsANodeThatNobodySpinsOnTime) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("lifecycle_sim", simTime(true));
  auto clock = node->get_clock();
  std::promise<bool> woke;
  std::thread sleeper([&]() { woke.set_value(clock->sleep_until(simSeconds(3.0))); });
  for (double seconds : {1.0, 2.0, 3.0}) {
    publishTick(seconds);
  }
  auto woken = woke.get_future();
  ASSERT_EQ(woken.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(woken.get());
  sleeper.join();
  EXPECT_EQ(clock->now(), simSeconds(3.0));

  rclcpp::TimeSource detached;
  auto own_clock = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
  auto other = std::make_shared<rclcpp::Node>("detached_sim", simTime(true));
  detached.attachNode(other);
  detached.attachClock(own_clock);
  EXPECT_TRUE(own_clock->ros_time_is_active());
  detached.detachNode();
  EXPECT_FALSE(own_clock->ros_time_is_active());
}

}  // namespace
