#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_testing/manual_clock.hpp"
#include "spin_thread.hpp"

namespace {

using namespace std::chrono_literals;
using rclcpp_test::SpinThread;

// Timers driven by the test clock and run by spin_some on this thread: no
// thread and no real time take part, so every count is exact.
class DrivenTimers : public ::testing::Test {
 protected:
  void SetUp() override {
    node_ = std::make_shared<rclcpp::Node>("driven_timers");
    executor_.add_node(node_);
  }

  // Advances time by `step` and runs whatever fell due.
  void advance(std::chrono::milliseconds step) {
    clock_.advance(step);
    executor_.spin_some();
  }

  int64_t elapsed_ms() const { return (clock_.now() - start_).nanoseconds() / 1000000; }

  rclcpp_testing::ManualClock clock_;
  const rclcpp::Time start_ = clock_.now();
  rclcpp::Node::SharedPtr node_;
  rclcpp::executors::SingleThreadedExecutor executor_;
};

TEST_F(DrivenTimers, ResetStartsANewPeriodFromNow) {
  int fired = 0;
  auto timer = node_->create_wall_timer(100ms, [&fired]() { ++fired; });
  advance(60ms);
  timer->reset();
  advance(60ms);  // 120 ms after creation, only 60 ms after the reset
  EXPECT_EQ(fired, 0);
  advance(39ms);
  EXPECT_EQ(fired, 0);
  advance(1ms);
  EXPECT_EQ(fired, 1);
  // The period goes on from the reset, not from creation.
  advance(99ms);
  EXPECT_EQ(fired, 1);
  advance(1ms);
  EXPECT_EQ(fired, 2);
}

TEST_F(DrivenTimers, MissedPeriodsFireOnceAndKeepThePhase) {
  int fired = 0;
  auto timer = node_->create_wall_timer(100ms, [&fired]() { ++fired; });
  clock_.advance(350ms);
  executor_.spin_all(1s);
  EXPECT_EQ(fired, 1);  // three periods passed, but no burst
  // Next call on the original grid: at 400 ms, not 450 ms.
  EXPECT_EQ(timer->time_until_trigger(), std::chrono::nanoseconds(50ms));
  advance(49ms);
  EXPECT_EQ(fired, 1);
  advance(1ms);
  EXPECT_EQ(fired, 2);
}

TEST_F(DrivenTimers, TimersOfDifferentPeriodsFireAtTheirOwnTimes) {
  std::vector<std::pair<int64_t, std::string>> calls;
  auto fast = node_->create_wall_timer(100ms, [&]() { calls.emplace_back(elapsed_ms(), "fast"); });
  auto slow = node_->create_wall_timer(250ms, [&]() { calls.emplace_back(elapsed_ms(), "slow"); });
  for (int step = 0; step < 10; ++step) {
    advance(50ms);
  }
  // Two timers due at the same instant may run in either order.
  std::sort(calls.begin(), calls.end());
  const std::vector<std::pair<int64_t, std::string>> expected = {
      {100, "fast"}, {200, "fast"}, {250, "slow"}, {300, "fast"},
      {400, "fast"}, {500, "fast"}, {500, "slow"}};
  EXPECT_EQ(calls, expected);
}

TEST_F(DrivenTimers, CancelStopsAndResetRevives) {
  int fired = 0;
  auto timer = node_->create_wall_timer(100ms, [&fired]() { ++fired; });
  EXPECT_FALSE(timer->is_canceled());
  timer->cancel();
  EXPECT_TRUE(timer->is_canceled());
  EXPECT_FALSE(timer->is_ready());
  EXPECT_EQ(timer->time_until_trigger(), std::chrono::nanoseconds::max());
  advance(500ms);
  EXPECT_EQ(fired, 0);
  // Cancelling twice is harmless; reset revives with a fresh period.
  timer->cancel();
  timer->reset();
  EXPECT_FALSE(timer->is_canceled());
  advance(99ms);
  EXPECT_EQ(fired, 0);
  advance(1ms);
  EXPECT_EQ(fired, 1);
  // A timer cancelled after falling due but before the spin stays silent.
  clock_.advance(100ms);
  EXPECT_TRUE(timer->is_ready());
  timer->cancel();
  executor_.spin_some();
  EXPECT_EQ(fired, 1);
}

TEST_F(DrivenTimers, CallbackMayTakeTheTimerAndCancelThroughIt) {
  int fired = 0;
  auto timer = node_->create_wall_timer(100ms, [&fired](rclcpp::TimerBase& self) {
    ++fired;
    self.cancel();
  });
  advance(100ms);
  advance(100ms);
  EXPECT_EQ(fired, 1);
  EXPECT_TRUE(timer->is_canceled());
}

TEST_F(DrivenTimers, DestroyedTimerNeverFires) {
  int fired = 0;
  auto timer = node_->create_wall_timer(100ms, [&fired]() { ++fired; });
  timer.reset();
  advance(1s);
  EXPECT_EQ(fired, 0);
}

TEST_F(DrivenTimers, TimerCreatedInACallbackStartsFromThatMoment) {
  std::vector<int64_t> inner_calls;
  rclcpp::TimerBase::SharedPtr inner;
  rclcpp::TimerBase::SharedPtr outer;
  outer = node_->create_wall_timer(100ms, [&]() {
    outer->cancel();
    inner = node_->create_wall_timer(30ms, [&]() { inner_calls.push_back(elapsed_ms()); });
  });
  for (int step = 0; step < 20; ++step) {
    advance(10ms);
  }
  EXPECT_EQ(inner_calls, (std::vector<int64_t>{130, 160, 190}));
}

TEST_F(DrivenTimers, RosTimerOnTheNodeClockAndNowAgree) {
  std::vector<int64_t> stamps;
  auto timer = rclcpp::create_timer(node_, node_->get_clock(), rclcpp::Duration::from_seconds(0.5),
                                    [&]() { stamps.push_back(node_->now().nanoseconds()); });
  const int64_t begin = node_->now().nanoseconds();
  for (int step = 0; step < 4; ++step) {
    advance(250ms);
  }
  ASSERT_EQ(stamps.size(), 2u);
  EXPECT_EQ(stamps[0] - begin, 500000000);
  EXPECT_EQ(stamps[1] - begin, 1000000000);
}

TEST(ManualClockTime, NowNeverGoesBackAndMovesExactlyByAdvance) {
  rclcpp_testing::ManualClock clock(rclcpp::Time(100, 0, RCL_ROS_TIME));
  rclcpp::Clock ros(RCL_ROS_TIME);
  rclcpp::Time previous = ros.now();
  EXPECT_EQ(previous, clock.now());
  for (int i = 0; i < 5; ++i) {
    // Standing still while nobody advances.
    EXPECT_EQ(ros.now(), previous);
    clock.advance(std::chrono::microseconds(1500));
    const rclcpp::Time current = ros.now();
    EXPECT_EQ((current - previous).nanoseconds(), 1500000);
    previous = current;
  }
  clock.advance(0ms);
  EXPECT_EQ(ros.now(), previous);
}

TEST(TimerCreation, BadPeriodOrForeignGroupIsRefused) {
  auto node = std::make_shared<rclcpp::Node>("timer_owner");
  auto other = std::make_shared<rclcpp::Node>("group_owner_node");
  auto foreign = other->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  EXPECT_THROW(node->create_wall_timer(-1ms, []() {}), std::invalid_argument);
  EXPECT_THROW(node->create_wall_timer(
                   1s, []() {}, foreign),
               std::runtime_error);
}

// Each callback announces that it started and waits for the test to let it
// finish; two announcements at once prove that two callbacks overlap.
class Gate {
 public:
  void enter(const std::string& who) {
    std::unique_lock<std::mutex> lock(mutex_);
    started_.push_back(who);
    cv_.notify_all();
    cv_.wait_for(lock, 10s, [this]() { return open_; });
  }

  bool wait_started(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, 10s, [this, count]() { return started_.size() >= count; });
  }

  void open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> started_;
  bool open_ = false;
};

TEST(MultiThreadedTimers, TimersOfAReentrantGroupRunTogether) {
  rclcpp_testing::ManualClock clock;
  auto node = std::make_shared<rclcpp::Node>("reentrant_timers");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  Gate gate;
  rclcpp::TimerBase::SharedPtr first;
  rclcpp::TimerBase::SharedPtr second;
  first = node->create_wall_timer(
      100ms,
      [&]() {
        first->cancel();
        gate.enter("first");
      },
      group);
  second = node->create_wall_timer(
      100ms,
      [&]() {
        second->cancel();
        gate.enter("second");
      },
      group);
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 3);
  executor.add_node(node);
  {
    SpinThread spinning(executor);
    clock.advance(100ms);
    // Both callbacks are inside at once, or this wait runs out.
    EXPECT_TRUE(gate.wait_started(2));
    gate.open();
  }
}

TEST(MultiThreadedTimers, TimersOfAnExclusiveGroupTakeTurns) {
  rclcpp_testing::ManualClock clock;
  auto node = std::make_shared<rclcpp::Node>("exclusive_timers");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  std::mutex mutex;
  std::condition_variable cv;
  int in_flight = 0;
  int max_in_flight = 0;
  int finished = 0;
  // Each callback lingers a moment so that a wrongly scheduled partner would
  // be caught inside with it.
  auto body = [&]() {
    std::unique_lock<std::mutex> lock(mutex);
    ++in_flight;
    max_in_flight = std::max(max_in_flight, in_flight);
    cv.notify_all();
    cv.wait_for(lock, 50ms, [&]() { return in_flight >= 2; });
    --in_flight;
    ++finished;
    cv.notify_all();
  };
  std::vector<rclcpp::TimerBase::SharedPtr> timers;
  for (int i = 0; i < 4; ++i) {
    timers.push_back(node->create_wall_timer(100ms, body, group));
  }
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 4);
  executor.add_node(node);
  {
    SpinThread spinning(executor);
    clock.advance(100ms);
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, 10s, [&]() { return finished >= 4; }));
    for (auto& timer : timers) {
      timer->cancel();
    }
  }
  EXPECT_EQ(max_in_flight, 1);
}

}  // namespace
