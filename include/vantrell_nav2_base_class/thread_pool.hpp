#ifndef VANTRELL_NAV2_BASE_CLASS__THREAD_POOL_HPP_
#define VANTRELL_NAV2_BASE_CLASS__THREAD_POOL_HPP_

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "logger/logger.hpp"

namespace nav2_util {

// A fixed set of workers taking tasks from one first-in, first-out queue. The
// action server owns one with a single worker, so its goals never run on the
// node's executor thread.
class ThreadPool {
 public:
  explicit ThreadPool(unsigned long threads) : stop_(false), running_tasks_(0) {
    if (threads == 0) {
      throw std::invalid_argument("ThreadPool needs at least one worker");
    }
    workers_.reserve(threads);
    for (unsigned long i = 0; i < threads; ++i) {
      workers_.emplace_back([this] { workerLoop(); });
    }
  }

  ~ThreadPool() { stop(); }

  // Queued tasks still run: every worker drains the queue before it ends. Returns once every
  // worker has ended; later calls, the destructor's included, find nothing left to join.
  void stop() {
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      stop_ = true;
    }
    condition_.notify_all();
    for (auto& worker : workers_) {
      if (worker.joinable()) {
        worker.join();
      }
    }
  }

  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  template <class F, class... Args>
  void enqueue(F&& f, Args&&... args) {
    std::function<void()> task = std::bind(std::forward<F>(f), std::forward<Args>(args)...);
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      if (stop_) {
        throw std::runtime_error("enqueue on stopped ThreadPool");
      }
      tasks_.push_back(std::move(task));
      if (tasks_.size() > 4) {
        LOG_WARN("Worker thread pool is busy with {} tasks", tasks_.size());
      }
    }
    condition_.notify_one();
  }

  // True while some worker runs a task, from taking it off the queue until it returns.
  bool busy() const { return running_tasks_.load() > 0; }

 private:
  void workerLoop() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> lock(queue_mutex_);
        condition_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
        if (stop_ && tasks_.empty()) {
          return;
        }
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      ++running_tasks_;
      task();
      --running_tasks_;
    }
  }

  std::vector<std::thread> workers_;
  std::deque<std::function<void()>> tasks_;
  std::mutex queue_mutex_;
  std::condition_variable condition_;
  bool stop_;
  // A count rather than a flag, so that one worker finishing does not hide another's task.
  std::atomic<unsigned long> running_tasks_;
};

}  // namespace nav2_util

#endif  // VANTRELL_NAV2_BASE_CLASS__THREAD_POOL_HPP_
