#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_testing/manual_clock.hpp"
#include "spin_thread.hpp"
#include "std_msgs/msg/int8.hpp"

namespace {

using namespace std::chrono_literals;
using std_msgs::msg::Int8;

using rclcpp_test::SpinThread;

// Counts callbacks of one group that run at the same time. Each callback waits
// a while for a partner to join it, which only a reentrant group allows.
class OverlapProbe {
 public:
  void run_callback() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++in_flight_;
    max_in_flight_ = std::max(max_in_flight_, in_flight_);
    cv_.notify_all();
    cv_.wait_for(lock, 300ms, [this]() { return in_flight_ >= 2; });
    --in_flight_;
    ++finished_;
    cv_.notify_all();
  }

  bool wait_finished(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, 10s, [this, count]() { return finished_ >= count; });
  }

  int max_in_flight() {
    std::lock_guard<std::mutex> lock(mutex_);
    return max_in_flight_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int in_flight_ = 0;
  int max_in_flight_ = 0;
  int finished_ = 0;
};

TEST(Executor, MutuallyExclusiveNeverOverlapsReentrantDoes) {
  auto exclusive_node = std::make_shared<rclcpp::Node>("exclusive_node");
  auto reentrant_node = std::make_shared<rclcpp::Node>("reentrant_node");
  auto reentrant_group =
      reentrant_node->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  OverlapProbe exclusive;
  OverlapProbe reentrant;
  auto on_exclusive = [&exclusive](const Int8&) { exclusive.run_callback(); };
  auto on_reentrant = [&reentrant](const Int8&) { reentrant.run_callback(); };
  rclcpp::SubscriptionOptions in_reentrant;
  in_reentrant.callback_group = reentrant_group;
  auto s1 = exclusive_node->create_subscription<Int8>("/ex_a", 10, on_exclusive);
  auto s2 = exclusive_node->create_subscription<Int8>("/ex_b", 10, on_exclusive);
  auto s3 = reentrant_node->create_subscription<Int8>("/re_a", 10, on_reentrant, in_reentrant);
  auto s4 = reentrant_node->create_subscription<Int8>("/re_b", 10, on_reentrant, in_reentrant);

  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 4);
  executor.add_node(exclusive_node);
  executor.add_node(reentrant_node);
  SpinThread spinning(executor);

  auto publisher = std::make_shared<rclcpp::Node>("overlap_publisher");
  for (const char* topic : {"/ex_a", "/ex_b", "/re_a", "/re_b"}) {
    publisher->create_publisher<Int8>(topic, 10)->publish(Int8());
  }
  ASSERT_TRUE(exclusive.wait_finished(2));
  ASSERT_TRUE(reentrant.wait_finished(2));
  EXPECT_EQ(exclusive.max_in_flight(), 1);
  EXPECT_EQ(reentrant.max_in_flight(), 2);
}

TEST(Executor, GroupBelongsToOneExecutor) {
  auto node = std::make_shared<rclcpp::Node>("group_owner");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  rclcpp::executors::SingleThreadedExecutor first;
  rclcpp::executors::SingleThreadedExecutor second;
  first.add_callback_group(group, node->get_node_base_interface());
  EXPECT_THROW(second.add_callback_group(group, node->get_node_base_interface()),
               std::runtime_error);
  first.add_node(node);
  EXPECT_THROW(second.add_node(node), std::runtime_error);
  // The node's default group went with the node.
  EXPECT_THROW(
      second.add_callback_group(node->get_node_base_interface()->get_default_callback_group(),
                                node->get_node_base_interface()),
      std::runtime_error);
  first.remove_callback_group(group);
  EXPECT_NO_THROW(second.add_callback_group(group, node->get_node_base_interface()));
}

TEST(Executor, DestroyedExecutorReleasesItsGroups) {
  auto node = std::make_shared<rclcpp::Node>("released");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant, false);
  {
    rclcpp::executors::SingleThreadedExecutor first;
    first.add_node(node);
    first.add_callback_group(group, node->get_node_base_interface());
  }
  rclcpp::executors::SingleThreadedExecutor second;
  EXPECT_NO_THROW(second.add_node(node));
  EXPECT_NO_THROW(second.add_callback_group(group, node->get_node_base_interface()));
}

TEST(Executor, GroupMadeAfterAddNodeMayStillGoToAnotherExecutor) {
  auto node = std::make_shared<rclcpp::Node>("late_group");
  rclcpp::executors::SingleThreadedExecutor node_executor;
  node_executor.add_node(node);
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, true);
  int fired = 0;
  auto timer = node->create_wall_timer(
      0ms, [&fired]() { ++fired; }, group);
  rclcpp::executors::SingleThreadedExecutor private_executor;
  EXPECT_NO_THROW(private_executor.add_callback_group(group, node->get_node_base_interface()));
  node_executor.spin_some();
  EXPECT_EQ(fired, 0);
  private_executor.spin_some();
  EXPECT_EQ(fired, 1);
}

TEST(Executor, GroupMadeAfterAddNodeJoinsTheNodesExecutor) {
  auto node = std::make_shared<rclcpp::Node>("joining_group");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  int fired = 0;
  auto timer = node->create_wall_timer(
      0ms, [&fired]() { ++fired; }, group);
  executor.spin_some();
  EXPECT_EQ(fired, 1);
  rclcpp::executors::SingleThreadedExecutor other;
  EXPECT_THROW(other.add_callback_group(group, node->get_node_base_interface()),
               std::runtime_error);
}

TEST(Timer, OneShotCancelledFromItsOwnCallback) {
  rclcpp_testing::ManualClock clock;
  auto node = std::make_shared<rclcpp::Node>("one_shot");
  int fired = 0;
  rclcpp::TimerBase::SharedPtr timer;
  timer = node->create_wall_timer(100ms, [&fired, &timer]() {
    ++fired;
    timer->cancel();
  });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.spin_some();
  EXPECT_EQ(fired, 0);
  clock.advance(100ms);
  executor.spin_some();
  EXPECT_EQ(fired, 1);
  EXPECT_TRUE(timer->is_canceled());
  clock.advance(1s);
  executor.spin_some();
  EXPECT_EQ(fired, 1);
  timer->reset();
  EXPECT_FALSE(timer->is_canceled());
  clock.advance(100ms);
  executor.spin_some();
  EXPECT_EQ(fired, 2);
}

TEST(Timer, DrivenClockFiresAMinuteTimerAtOnce) {
  rclcpp_testing::ManualClock clock;
  auto node = std::make_shared<rclcpp::Node>("minute_timer");
  std::promise<void> fired;
  std::atomic<int> count{0};
  auto timer = node->create_wall_timer(60s, [&]() {
    if (count.fetch_add(1) == 0) {
      fired.set_value();
    }
  });
  // A message in the same group tells when the executor has looked at work.
  std::promise<void> pinged;
  auto ping = node->create_subscription<Int8>("/minute_ping", 10,
                                              [&pinged](const Int8&) { pinged.set_value(); });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  SpinThread spinning(executor);

  clock.advance(59s);
  node->create_publisher<Int8>("/minute_ping", 10)->publish(Int8());
  ASSERT_EQ(pinged.get_future().wait_for(10s), std::future_status::ready);
  EXPECT_EQ(count.load(), 0);
  clock.advance(1s);
  ASSERT_EQ(fired.get_future().wait_for(10s), std::future_status::ready);
  EXPECT_EQ(count.load(), 1);
}

TEST(Timer, RosClockTimerFollowsDrivenTime) {
  rclcpp_testing::ManualClock clock;
  auto node = std::make_shared<rclcpp::Node>("ros_timer");
  int fired = 0;
  auto timer = rclcpp::create_timer(node, node->get_clock(), rclcpp::Duration::from_seconds(2.0),
                                    [&fired]() { ++fired; });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  clock.advance(1s);
  executor.spin_some();
  EXPECT_EQ(fired, 0);
  clock.advance(1s);
  executor.spin_some();
  EXPECT_EQ(fired, 1);
}

TEST(Executor, SpinUntilFutureComplete) {
  auto node = std::make_shared<rclcpp::Node>("future_node");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  std::promise<int> never;
  EXPECT_EQ(executor.spin_until_future_complete(never.get_future().share(), 20ms),
            rclcpp::FutureReturnCode::TIMEOUT);

  std::promise<int> answer;
  auto future = answer.get_future().share();
  auto timer = node->create_wall_timer(1ms, [&answer]() { answer.set_value(42); });
  timer->cancel();
  timer->reset();
  // One shot: cancel in the callback would be the usual way; here the future tells.
  EXPECT_EQ(executor.spin_until_future_complete(future, 10s), rclcpp::FutureReturnCode::SUCCESS);
  timer->cancel();
  EXPECT_EQ(future.get(), 42);
}

TEST(Executor, CancelEndsABlockedSpin) {
  auto node = std::make_shared<rclcpp::Node>("idle_node");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  std::thread spinner([&executor]() { executor.spin(); });
  while (!executor.is_spinning()) {
    std::this_thread::yield();
  }
  executor.cancel();
  spinner.join();
  EXPECT_FALSE(executor.is_spinning());
  EXPECT_THROW(
      {
        std::thread again([&executor]() { executor.spin(); });
        while (!executor.is_spinning()) {
          std::this_thread::yield();
        }
        try {
          executor.spin_once(0ms);
        } catch (...) {
          executor.cancel();
          again.join();
          throw;
        }
        executor.cancel();
        again.join();
      },
      std::runtime_error);
}

TEST(Executor, NodeDestroyedWhileSpinning) {
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2);
  auto node = std::make_shared<rclcpp::Node>("short_lived_node");
  std::atomic<int> received{0};
  auto sub = node->create_subscription<Int8>("/short_lived_node_topic", 10,
                                             [&received](const Int8&) { ++received; });
  executor.add_node(node);
  SpinThread spinning(executor);
  auto publisher = std::make_shared<rclcpp::Node>("short_lived_publisher");
  auto pub = publisher->create_publisher<Int8>("/short_lived_node_topic", 10);
  for (int i = 0; i < 20; ++i) {
    pub->publish(Int8());
  }
  sub.reset();
  node.reset();
  for (int i = 0; i < 20; ++i) {
    pub->publish(Int8());
  }
  // A callback the executor is running when the node goes keeps its subscription alive until it
  // returns, as in rclcpp: the publisher sees the subscription leave once it has.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (pub->get_subscription_count() != 0u && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(pub->get_subscription_count(), 0u);
}

TEST(Executor, ShutdownEndsSpin) {
  auto node = std::make_shared<rclcpp::Node>("shutdown_node");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  std::thread spinner([&executor]() { executor.spin(); });
  rclcpp::shutdown();
  spinner.join();
  EXPECT_FALSE(rclcpp::ok());
  rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  EXPECT_TRUE(rclcpp::ok());
}

TEST(Executor, SpinSomeTakesOneMessagePerSubscription) {
  auto node = std::make_shared<rclcpp::Node>("spin_some_node");
  int received = 0;
  auto sub = node->create_subscription<Int8>("/spin_some_topic", 10,
                                             [&received](const Int8&) { ++received; });
  auto pub = node->create_publisher<Int8>("/spin_some_topic", 10);
  pub->publish(Int8());
  pub->publish(Int8());
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.spin_some();
  EXPECT_EQ(received, 1);
  executor.spin_some();
  EXPECT_EQ(received, 2);
}

}  // namespace
