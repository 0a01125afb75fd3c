#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_testing/manual_clock.hpp"
#include "spin_thread.hpp"
#include "std_msgs/msg/int8.hpp"

namespace {

using namespace std::chrono_literals;
using rclcpp_test::SpinThread;
using std_msgs::msg::Int8;

Int8 make(int value) {
  Int8 msg;
  msg.data = static_cast<int8_t>(value);
  return msg;
}

// Waits on this thread until `executor` reports that it spins.
void wait_until_spinning(rclcpp::Executor& executor) {
  while (!executor.is_spinning()) {
    std::this_thread::yield();
  }
}

TEST(SpinUntilFutureComplete, CancelFromAnotherThreadInterrupts) {
  auto node = std::make_shared<rclcpp::Node>("interrupted_node");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  std::promise<void> never;
  auto future = never.get_future().share();
  auto spinning = std::async(std::launch::async, [&]() {
    return executor.spin_until_future_complete(future);  // no timeout
  });
  wait_until_spinning(executor);
  executor.cancel();
  ASSERT_EQ(spinning.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(spinning.get(), rclcpp::FutureReturnCode::INTERRUPTED);
  EXPECT_FALSE(executor.is_spinning());
}

TEST(SpinUntilFutureComplete, FutureCompletedByAnotherThreadEndsTheSpin) {
  auto node = std::make_shared<rclcpp::Node>("completed_elsewhere");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  std::promise<int> answer;
  auto future = answer.get_future().share();
  std::thread completer([&]() {
    wait_until_spinning(executor);
    answer.set_value(7);
  });
  EXPECT_EQ(executor.spin_until_future_complete(future, 10s), rclcpp::FutureReturnCode::SUCCESS);
  completer.join();
  EXPECT_EQ(future.get(), 7);
}

TEST(SpinUntilFutureComplete, TimeoutRunsInRealTimeWhileTheClockIsDriven) {
  // A driven clock that nobody advances must not turn a timeout into a hang.
  rclcpp_testing::ManualClock clock;
  auto node = std::make_shared<rclcpp::Node>("driven_timeout");
  int fired = 0;
  auto timer = node->create_wall_timer(1h, [&fired]() { ++fired; });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  std::promise<void> never;
  EXPECT_EQ(executor.spin_until_future_complete(never.get_future().share(), 20ms),
            rclcpp::FutureReturnCode::TIMEOUT);
  EXPECT_EQ(fired, 0);
}

TEST(SpinUntilFutureComplete, RunsTheWorkThatCompletesTheFuture) {
  auto node = std::make_shared<rclcpp::Node>("completing_work");
  std::promise<int> received;
  auto sub = node->create_subscription<Int8>(
      "/completing_topic", 10, [&received](const Int8& m) { received.set_value(m.data); });
  node->create_publisher<Int8>("/completing_topic", 10)->publish(make(5));
  // The free function spins the node on an executor of its own and lets it go.
  EXPECT_EQ(rclcpp::spin_until_future_complete(node, received.get_future().share(), 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  rclcpp::executors::SingleThreadedExecutor other;
  EXPECT_NO_THROW(other.add_node(node));
}

TEST(SpinSome, ReturnsAtOnceWithoutReadyWork) {
  rclcpp_testing::ManualClock clock;
  auto node = std::make_shared<rclcpp::Node>("nothing_ready");
  int fired = 0;
  auto timer = node->create_wall_timer(1s, [&fired]() { ++fired; });
  auto sub = node->create_subscription<Int8>("/nothing_ready_topic", 10, [](const Int8&) {});
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.spin_some();  // a timer not due and an empty queue: nothing to wait for
  executor.spin_once(0ms);
  EXPECT_EQ(fired, 0);
  EXPECT_FALSE(executor.is_spinning());
}

TEST(Spin, CancelFromACallbackEndsTheSpin) {
  auto node = std::make_shared<rclcpp::Node>("self_cancelling");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  int fired = 0;
  auto timer = node->create_wall_timer(0ms, [&]() {
    ++fired;
    executor.cancel();
  });
  executor.spin();  // returns once the timer callback cancelled it
  EXPECT_GE(fired, 1);
  EXPECT_FALSE(executor.is_spinning());
}

TEST(Spin, CallbackExceptionReachesTheCallerAndFreesTheGroup) {
  auto node = std::make_shared<rclcpp::Node>("throwing_callback");
  std::vector<int> received;
  auto sub = node->create_subscription<Int8>("/throwing_topic", 10, [&received](const Int8& m) {
    if (m.data == 1) {
      throw std::runtime_error("bad message");
    }
    received.push_back(m.data);
  });
  auto pub = node->create_publisher<Int8>("/throwing_topic", 10);
  pub->publish(make(1));
  pub->publish(make(2));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  EXPECT_THROW(executor.spin_some(), std::runtime_error);
  EXPECT_FALSE(executor.is_spinning());
  // The mutually exclusive default group was released: the next message runs.
  executor.spin_some();
  EXPECT_EQ(received, (std::vector<int>{2}));
}

TEST(Spin, SecondSpinOfOneExecutorIsRefused) {
  auto node = std::make_shared<rclcpp::Node>("double_spin");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  std::promise<void> never;
  auto spinning = std::async(std::launch::async, [&]() { executor.spin(); });
  wait_until_spinning(executor);
  EXPECT_THROW(executor.spin_some(), std::runtime_error);
  EXPECT_THROW(executor.spin_until_future_complete(never.get_future().share(), 0ms),
               std::runtime_error);
  executor.cancel();
  EXPECT_EQ(spinning.wait_for(10s), std::future_status::ready);
}

TEST(Spin, RemovedNodeIsNoLongerServed) {
  auto node = std::make_shared<rclcpp::Node>("removed_node");
  int received = 0;
  auto sub = node->create_subscription<Int8>("/removed_topic", 10,
                                             [&received](const Int8&) { ++received; });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.remove_node(node);
  node->create_publisher<Int8>("/removed_topic", 10)->publish(make(1));
  executor.spin_some();
  EXPECT_EQ(received, 0);
  EXPECT_THROW(executor.remove_node(node), std::runtime_error);
  // Freed for another executor, which serves the waiting message.
  rclcpp::executors::SingleThreadedExecutor other;
  other.add_node(node);
  other.spin_some();
  EXPECT_EQ(received, 1);
}

TEST(Spin, GroupNotAddedAutomaticallyIsNotRunByTheNodesExecutor) {
  auto node = std::make_shared<rclcpp::Node>("manual_group_node");
  auto manual = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  int received = 0;
  rclcpp::SubscriptionOptions options;
  options.callback_group = manual;
  auto sub = node->create_subscription<Int8>(
      "/manual_group_topic", 10, [&received](const Int8&) { ++received; }, options);
  node->create_publisher<Int8>("/manual_group_topic", 10)->publish(make(1));
  rclcpp::executors::SingleThreadedExecutor node_executor;
  node_executor.add_node(node);
  node_executor.spin_some();
  EXPECT_EQ(received, 0);
  rclcpp::executors::SingleThreadedExecutor group_executor;
  group_executor.add_callback_group(manual, node->get_node_base_interface());
  group_executor.spin_some();
  EXPECT_EQ(received, 1);
}

// Counts how many callbacks of one group run at once; each lingers a moment
// so that a wrongly scheduled partner would be caught inside with it.
class Occupancy {
 public:
  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++inside_;
    max_inside_ = std::max(max_inside_, inside_);
    cv_.notify_all();
    cv_.wait_for(lock, 20ms, [this]() { return inside_ >= 2; });
    --inside_;
    ++finished_;
    cv_.notify_all();
  }

  bool wait_finished(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, 20s, [this, count]() { return finished_ >= count; });
  }

  int max_inside() {
    std::lock_guard<std::mutex> lock(mutex_);
    return max_inside_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int inside_ = 0;
  int max_inside_ = 0;
  int finished_ = 0;
};

TEST(MultiThreadedExecutor, ExclusiveGroupNeverOverlapsUnderManyThreads) {
  auto node = std::make_shared<rclcpp::Node>("crowded_exclusive");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  Occupancy occupancy;
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  std::vector<rclcpp::Subscription<Int8>::SharedPtr> subs;
  std::vector<rclcpp::Publisher<Int8>::SharedPtr> pubs;
  const int kTopics = 5;
  const int kMessages = 3;
  for (int t = 0; t < kTopics; ++t) {
    const std::string topic = "/crowded_" + std::to_string(t);
    subs.push_back(node->create_subscription<Int8>(
        topic, 10, [&occupancy](const Int8&) { occupancy.run(); }, options));
    pubs.push_back(node->create_publisher<Int8>(topic, 10));
  }
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 6);
  EXPECT_EQ(executor.get_number_of_threads(), 6u);
  executor.add_node(node);
  SpinThread spinning(executor);
  for (int m = 0; m < kMessages; ++m) {
    for (auto& pub : pubs) {
      pub->publish(make(m));
    }
  }
  ASSERT_TRUE(occupancy.wait_finished(kTopics * kMessages));
  EXPECT_EQ(occupancy.max_inside(), 1);
}

TEST(MultiThreadedExecutor, OneSubscriptionInAReentrantGroupKeepsEveryMessage) {
  auto node = std::make_shared<rclcpp::Node>("reentrant_counter");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<int> received;
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  auto sub = node->create_subscription<Int8>(
      "/reentrant_counter_topic", 100,
      [&](const Int8& m) {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back(m.data);
        cv.notify_all();
      },
      options);
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 4);
  executor.add_node(node);
  SpinThread spinning(executor);
  auto pub = node->create_publisher<Int8>("/reentrant_counter_topic", 100);
  for (int i = 0; i < 50; ++i) {
    pub->publish(make(i));
  }
  std::unique_lock<std::mutex> lock(mutex);
  ASSERT_TRUE(cv.wait_for(lock, 10s, [&]() { return received.size() >= 50; }));
  // Each message ran exactly once, though not necessarily in order.
  std::sort(received.begin(), received.end());
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(received[i], i);
  }
}

}  // namespace
