#include "rclcpp/timer.hpp"

#include <stdexcept>

#include "process_clock.hpp"

namespace rclcpp {

TimerBase::TimerBase(Clock::SharedPtr clock, std::chrono::nanoseconds period,
                     Context::SharedPtr context)
    : clock_(std::move(clock)), period_ns_(period.count()), context_(context) {
  if (!clock_) {
    throw std::invalid_argument("timer needs a clock");
  }
  if (period_ns_ < 0) {
    throw std::invalid_argument("timer period must not be negative");
  }
  next_call_ns_ = now_ns() + period_ns_;
}

TimerBase::~TimerBase() = default;

int64_t TimerBase::now_ns() const { return clock_->now().nanoseconds(); }

void TimerBase::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  canceled_ = true;
}

bool TimerBase::is_canceled() {
  std::lock_guard<std::mutex> lock(mutex_);
  return canceled_;
}

void TimerBase::reset() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    canceled_ = false;
    next_call_ns_ = now_ns() + period_ns_;
  }
  notify_ready();
}

Clock::SharedPtr TimerBase::get_clock() { return clock_; }

std::chrono::nanoseconds TimerBase::time_until_trigger() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (canceled_) {
    return std::chrono::nanoseconds::max();
  }
  return std::chrono::nanoseconds(next_call_ns_ - now_ns());
}

bool TimerBase::is_ready() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !canceled_ && now_ns() >= next_call_ns_;
}

bool TimerBase::exchange_in_use_by_wait_set_state(bool in_use_state) {
  return in_use_by_wait_set_.exchange(in_use_state);
}

std::function<void()> TimerBase::take_ready_work() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = now_ns();
    if (canceled_ || now < next_call_ns_) {
      return {};
    }
    // Missed periods are skipped, not run in a burst.
    if (period_ns_ == 0) {
      next_call_ns_ = now;
    } else {
      const int64_t missed = (now - next_call_ns_) / period_ns_;
      next_call_ns_ += (missed + 1) * period_ns_;
    }
  }
  return [self = shared_from_this()]() { self->execute_callback(); };
}

std::chrono::nanoseconds TimerBase::time_until_ready() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (canceled_) {
    return std::chrono::nanoseconds::max();
  }
  return std::chrono::nanoseconds(next_call_ns_ - now_ns());
}

bool TimerBase::is_timed() const { return true; }

bool TimerBase::has_ready_work() { return is_ready(); }

}  // namespace rclcpp
