#include "time_source.hpp"

#include <stdexcept>

#include "rclcpp/detail/executor_notifier.hpp"

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

TimeSource& TimeSource::instance() {
  static TimeSource source;
  return source;
}

rcl_time_point_value_t TimeSource::now(rcl_clock_type_t clock_type) const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (driven_) {
      return clock_type == RCL_STEADY_TIME ? driven_steady_ns_ : driven_system_ns_;
    }
  }
  return clock_type == RCL_STEADY_TIME ? real_steady_ns() : real_system_ns();
}

bool TimeSource::is_driven() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return driven_;
}

void TimeSource::take_over(int64_t system_start) {
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

void TimeSource::release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    driven_ = false;
  }
  wake_all();
}

void TimeSource::advance(int64_t nanoseconds) {
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

bool TimeSource::sleep_until(rcl_clock_type_t clock_type, rcl_time_point_value_t target,
                             const std::function<bool()>& interrupted) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    const uint64_t seen = wake_generation_;
    lock.unlock();
    if (interrupted()) {
      return false;
    }
    const int64_t remaining = target - now(clock_type);
    if (remaining <= 0) {
      return true;
    }
    lock.lock();
    auto woken = [this, seen]() { return wake_generation_ != seen; };
    if (driven_) {
      cv_.wait(lock, woken);
    } else {
      cv_.wait_for(lock, std::chrono::nanoseconds(remaining), woken);
    }
  }
}

void TimeSource::wake_all() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++wake_generation_;
  }
  cv_.notify_all();
  notify_all_executors();
}

}  // namespace detail
}  // namespace rclcpp
