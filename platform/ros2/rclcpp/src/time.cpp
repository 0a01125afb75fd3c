#include "rclcpp/time.hpp"

#include <limits>
#include <stdexcept>

namespace rclcpp {

namespace {
constexpr int64_t kNsPerSecond = 1000LL * 1000LL * 1000LL;
}  // namespace

Time::Time(int32_t seconds, uint32_t nanoseconds, rcl_clock_type_t clock_type)
    : nanoseconds_(static_cast<int64_t>(seconds) * kNsPerSecond + nanoseconds),
      clock_type_(clock_type) {
  if (seconds < 0) {
    throw std::runtime_error("cannot store a negative time point in rclcpp::Time");
  }
}

Time::Time(int64_t nanoseconds, rcl_clock_type_t clock_type)
    : nanoseconds_(nanoseconds), clock_type_(clock_type) {
  if (nanoseconds < 0) {
    throw std::runtime_error("cannot store a negative time point in rclcpp::Time");
  }
}

Time::Time(const builtin_interfaces::msg::Time& time_msg, rcl_clock_type_t clock_type)
    : Time(time_msg.sec, time_msg.nanosec, clock_type) {}

Time& Time::operator=(const builtin_interfaces::msg::Time& time_msg) {
  *this = Time(time_msg);
  return *this;
}

Time::operator builtin_interfaces::msg::Time() const {
  builtin_interfaces::msg::Time msg;
  msg.sec = static_cast<int32_t>(nanoseconds_ / kNsPerSecond);
  msg.nanosec = static_cast<uint32_t>(nanoseconds_ % kNsPerSecond);
  return msg;
}

void Time::check_same_clock(const Time& rhs, const char* what) const {
  if (clock_type_ != rhs.clock_type_) {
    throw std::runtime_error(std::string("can't ") + what + " times with different time sources");
  }
}

bool Time::operator==(const Time& rhs) const {
  check_same_clock(rhs, "compare");
  return nanoseconds_ == rhs.nanoseconds_;
}

bool Time::operator!=(const Time& rhs) const { return !(*this == rhs); }

bool Time::operator<(const Time& rhs) const {
  check_same_clock(rhs, "compare");
  return nanoseconds_ < rhs.nanoseconds_;
}

bool Time::operator<=(const Time& rhs) const {
  check_same_clock(rhs, "compare");
  return nanoseconds_ <= rhs.nanoseconds_;
}

bool Time::operator>=(const Time& rhs) const {
  check_same_clock(rhs, "compare");
  return nanoseconds_ >= rhs.nanoseconds_;
}

bool Time::operator>(const Time& rhs) const {
  check_same_clock(rhs, "compare");
  return nanoseconds_ > rhs.nanoseconds_;
}

Time Time::operator+(const Duration& rhs) const {
  int64_t sum = 0;
  if (__builtin_add_overflow(nanoseconds_, rhs.nanoseconds(), &sum)) {
    throw std::overflow_error("addition leads to int64_t overflow");
  }
  return Time(sum, clock_type_);
}

Duration Time::operator-(const Time& rhs) const {
  check_same_clock(rhs, "subtract");
  int64_t difference = 0;
  if (__builtin_sub_overflow(nanoseconds_, rhs.nanoseconds_, &difference)) {
    throw std::overflow_error("time subtraction leads to int64_t overflow");
  }
  return Duration::from_nanoseconds(difference);
}

Time Time::operator-(const Duration& rhs) const {
  int64_t difference = 0;
  if (__builtin_sub_overflow(nanoseconds_, rhs.nanoseconds(), &difference)) {
    throw std::overflow_error("time subtraction leads to int64_t underflow");
  }
  return Time(difference, clock_type_);
}

Time& Time::operator+=(const Duration& rhs) {
  *this = *this + rhs;
  return *this;
}

Time& Time::operator-=(const Duration& rhs) {
  *this = *this - rhs;
  return *this;
}

rcl_time_point_value_t Time::nanoseconds() const { return nanoseconds_; }

double Time::seconds() const {
  return static_cast<double>(nanoseconds_) / static_cast<double>(kNsPerSecond);
}

rcl_clock_type_t Time::get_clock_type() const { return clock_type_; }

Time Time::max(rcl_clock_type_t clock_type) {
  return Time(std::numeric_limits<int32_t>::max(), 999999999, clock_type);
}

Time operator+(const rclcpp::Duration& lhs, const rclcpp::Time& rhs) { return rhs + lhs; }

}  // namespace rclcpp
