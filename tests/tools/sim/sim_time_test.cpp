// Simulated time reaches the nodes the ROS 2 way: a node made with simTimeOptions() reads the
// SimClock's time and runs its ROS timers on it, while wall time plays no part.
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "planning_sim/node_host.hpp"
#include "planning_sim/sim_clock.hpp"
#include "support/task_manager_client.hpp"

namespace sim_test {
namespace {

using namespace std::chrono_literals;

// What a timer saw each time it fired; the test waits for a firing before it moves time on.
class Firings {
 public:
  void add(const rclcpp::Time& time) {
    std::lock_guard<std::mutex> lock(mutex_);
    times_.push_back(time);
    changed_.notify_all();
  }
  std::vector<rclcpp::Time> waitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, test_support::kActionPatience,
                      [&]() { return times_.size() >= count; });
    return times_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<rclcpp::Time> times_;
};

TEST(SimClock, DrivesTheClockAndTheTimersOfANodeOnSimulatedTime) {
  planning_sim::SimClock clock(rclcpp::Time(50, 0, RCL_ROS_TIME));
  auto node = std::make_shared<rclcpp::Node>("sim_timed_node", planning_sim::simTimeOptions());
  Firings firings;
  planning_sim::NodeHost host;
  clock.attach(node->get_clock());
  clock.synchronise();
  EXPECT_EQ(node->now(), clock.now());

  auto timer = rclcpp::create_timer(node, node->get_clock(), rclcpp::Duration(1s),
                                    [&]() { firings.add(node->now()); });
  host.spin(node);
  clock.advance(rclcpp::Duration(1s));
  EXPECT_EQ(firings.waitFor(1), (std::vector<rclcpp::Time>{clock.now()}));
  clock.advance(rclcpp::Duration(500ms));
  clock.advance(rclcpp::Duration(500ms));
  const auto fired = firings.waitFor(2);
  ASSERT_EQ(fired.size(), 2u);
  EXPECT_EQ(fired[1], rclcpp::Time(52, 0, RCL_ROS_TIME));
  clock.synchronise();
  EXPECT_EQ(node->now(), rclcpp::Time(52, 0, RCL_ROS_TIME));

  auto system_timed = std::make_shared<rclcpp::Node>("system_timed_node");
  EXPECT_THROW(clock.attach(system_timed->get_clock()), std::invalid_argument);
  EXPECT_THROW(planning_sim::SimClock(rclcpp::Time(0, 0, RCL_ROS_TIME)), std::invalid_argument);
  EXPECT_THROW(clock.advance(rclcpp::Duration(-1s)), std::invalid_argument);
}

}  // namespace
}  // namespace sim_test
