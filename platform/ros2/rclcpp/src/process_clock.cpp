#include "process_clock.hpp"

#include <stdexcept>

#include "rclcpp/detail/executor_notifier.hpp"
#include "rclcpp/detail/process_wide.hpp"

namespace rclcpp {
namespace detail {

namespace {
int64_t real_system_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

int64_t real_steady_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

ProcessClock& ProcessClock::instance() { return ProcessWide<ProcessClock>::instance(); }

std::shared_ptr<ProcessClock> ProcessClock::shared_instance() {
  return ProcessWide<ProcessClock>::shared();
}

rcl_time_point_value_t ProcessClock::now(rcl_clock_type_t clock_type) const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (driven_) {
      return clock_type == RCL_STEADY_TIME ? driven_steady_ns_ : driven_system_ns_;
    }
  }
  return clock_type == RCL_STEADY_TIME ? real_steady_ns() : real_system_ns();
}

bool ProcessClock::is_driven() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return driven_;
}

void ProcessClock::take_over(int64_t system_start) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (driven_) {
      throw std::logic_error("time is already driven by another ManualClock");
    }
    driven_ = true;
    // Steady time continues from its real reading so that timers started
    // before the take-over keep sensible deadlines.
    driven_steady_ns_ = real_steady_ns();
    driven_system_ns_ = system_start >= 0 ? system_start : real_system_ns();
  }
  wake_all();
}

void ProcessClock::release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    driven_ = false;
  }
  wake_all();
}

void ProcessClock::advance(int64_t nanoseconds) {
  if (nanoseconds < 0) {
    throw std::invalid_argument("driven time cannot go backwards");
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!driven_) {
      throw std::logic_error("time is not driven");
    }
    driven_system_ns_ += nanoseconds;
    driven_steady_ns_ += nanoseconds;
  }
  wake_all();
}

bool ProcessClock::sleep_until(rcl_clock_type_t clock_type, rcl_time_point_value_t target,
                               const std::function<bool()>& interrupted) {
  return sleep_until([this, clock_type]() { return now(clock_type); }, target,
                     [this]() { return is_driven(); }, interrupted);
}

bool ProcessClock::sleep_until(const std::function<rcl_time_point_value_t()>& read_now,
                               rcl_time_point_value_t target, const std::function<bool()>& told,
                               const std::function<bool()>& interrupted) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    const uint64_t seen = wake_generation_;
    lock.unlock();
    if (interrupted()) {
      return false;
    }
    const int64_t remaining = target - read_now();
    if (remaining <= 0) {
      return true;
    }
    const bool moves_when_told = told();
    lock.lock();
    auto woken = [this, seen]() { return wake_generation_ != seen; };
    if (moves_when_told) {
      cv_.wait(lock, woken);
    } else {
      cv_.wait_for(lock, std::chrono::nanoseconds(remaining), woken);
    }
  }
}

void ProcessClock::wake_all() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++wake_generation_;
  }
  cv_.notify_all();
  notify_all_executors();
}

}  // namespace detail
}  // namespace rclcpp
