#include "vantrell_nav2_base_class/thread_pool.hpp"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/log_capture.hpp"

namespace {

using nav2_util::ThreadPool;

// A task that stays in its body until the test lets it go.
class Gate {
 public:
  std::function<void()> task() {
    return [this] {
      entered_.set_value();
      released_.wait();
    };
  }
  void waitEntered() { entered_future_.wait(); }
  void release() { release_.set_value(); }

 private:
  std::promise<void> entered_;
  std::future<void> entered_future_ = entered_.get_future();
  std::promise<void> release_;
  std::shared_future<void> released_ = release_.get_future().share();
};

TEST(ThreadPool, RunsTasksOneAfterAnotherInQueueOrder) {
  std::mutex order_mutex;
  std::vector<int> order;
  Gate gate;
  {
    ThreadPool pool(1);
    pool.enqueue(gate.task());
    gate.waitEntered();
    for (int i = 0; i < 3; ++i) {
      pool.enqueue(
          [&order, &order_mutex](int value) {
            std::lock_guard<std::mutex> lock(order_mutex);
            order.push_back(value);
          },
          i);
    }
    {
      // Nothing queued behind the gate may start while it holds the only worker.
      std::lock_guard<std::mutex> lock(order_mutex);
      EXPECT_TRUE(order.empty());
    }
    gate.release();
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(ThreadPool, DestructorRunsEveryQueuedTaskBeforeReturning) {
  int done = 0;
  Gate gate;
  std::optional<ThreadPool> pool;
  pool.emplace(1);
  pool->enqueue(gate.task());
  gate.waitEntered();
  for (int i = 0; i < 5; ++i) {
    pool->enqueue([&done] { ++done; });
  }
  std::thread destroyer([&pool] { pool.reset(); });
  gate.release();
  destroyer.join();
  EXPECT_EQ(done, 5);
}

TEST(ThreadPool, BusyOnlyWhileATaskRuns) {
  Gate gate;
  ThreadPool pool(1);
  EXPECT_FALSE(pool.busy());

  pool.enqueue(gate.task());
  gate.waitEntered();
  EXPECT_TRUE(pool.busy());

  std::promise<bool> busy_inside;
  pool.enqueue([&pool, &busy_inside] { busy_inside.set_value(pool.busy()); });
  gate.release();
  EXPECT_TRUE(busy_inside.get_future().get());

  // A task queued last runs last: once it has been seen, the earlier ones are done.
  std::promise<void> last;
  pool.enqueue([&last] { last.set_value(); });
  last.get_future().wait();
  // The worker clears the flag right after the task returns.
  while (pool.busy()) {
    std::this_thread::yield();
  }
  EXPECT_FALSE(pool.busy());
}

TEST(ThreadPool, WarnsWhenFiveOrMoreTasksWait) {
  auto capture = test_support::captureLog();
  capture->clear();
  Gate gate;
  ThreadPool pool(1);
  pool.enqueue(gate.task());
  gate.waitEntered();
  for (int i = 0; i < 4; ++i) {
    pool.enqueue([] {});
  }
  EXPECT_TRUE(capture->records().empty());

  pool.enqueue([] {});
  pool.enqueue([] {});
  const auto records = capture->records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].level, spdlog::level::warn);
  EXPECT_EQ(records[0].text.substr(3), " [WARN] Worker thread pool is busy with 5 tasks");
  EXPECT_EQ(records[0].function, "enqueue");
  EXPECT_EQ(records[1].text.substr(3), " [WARN] Worker thread pool is busy with 6 tasks");
  gate.release();
}

TEST(ThreadPool, RefusesWorkOnceItsDestructorHasBegun) {
  Gate gate;
  std::optional<ThreadPool> pool;
  pool.emplace(1);
  pool->enqueue(gate.task());
  gate.waitEntered();
  // The destructor cannot finish while the gate holds the worker, so the pool
  // stays reachable until the refusal has been seen.
  std::thread destroyer([&pool] { pool.reset(); });
  std::string refusal;
  while (refusal.empty()) {
    try {
      pool->enqueue([] {});
      std::this_thread::yield();
    } catch (const std::runtime_error& error) {
      refusal = error.what();
    }
  }
  gate.release();
  destroyer.join();
  EXPECT_EQ(refusal, "enqueue on stopped ThreadPool");
}

TEST(ThreadPool, RejectsAPoolWithoutWorkers) {
  EXPECT_THROW(ThreadPool pool(0), std::invalid_argument);
}

TEST(ThreadPool, SeveralWorkersRunTasksSideBySide) {
  Gate first;
  Gate second;
  ThreadPool pool(2);
  pool.enqueue(first.task());
  pool.enqueue(second.task());
  // Both are inside their bodies at once: the second did not wait for the first.
  first.waitEntered();
  second.waitEntered();
  EXPECT_TRUE(pool.busy());
  first.release();
  second.release();
}

}  // namespace
