#include "rclcpp/duration.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace rclcpp {

namespace {
constexpr int64_t kNsPerSecond = 1000LL * 1000LL * 1000LL;

int64_t checked_add(int64_t a, int64_t b, const char* what) {
  int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) {
    throw std::overflow_error(what);
  }
  return sum;
}
}  // namespace

Duration::Duration() : nanoseconds_(0) {}

Duration::Duration(int32_t seconds, uint32_t nanoseconds)
    : nanoseconds_(static_cast<int64_t>(seconds) * kNsPerSecond + nanoseconds) {}

Duration::Duration(std::chrono::nanoseconds nanoseconds) : nanoseconds_(nanoseconds.count()) {}

Duration::Duration(const builtin_interfaces::msg::Duration& duration_msg)
    : Duration(duration_msg.sec, duration_msg.nanosec) {}

Duration::Duration(const rcl_duration_t& duration) : nanoseconds_(duration.nanoseconds) {}

Duration::operator builtin_interfaces::msg::Duration() const {
  builtin_interfaces::msg::Duration msg;
  int64_t sec = nanoseconds_ / kNsPerSecond;
  int64_t rem = nanoseconds_ % kNsPerSecond;
  if (rem < 0) {
    sec -= 1;
    rem += kNsPerSecond;
  }
  if (sec > std::numeric_limits<int32_t>::max()) {
    msg.sec = std::numeric_limits<int32_t>::max();
    msg.nanosec = static_cast<uint32_t>(kNsPerSecond - 1);
  } else if (sec < std::numeric_limits<int32_t>::min()) {
    msg.sec = std::numeric_limits<int32_t>::min();
    msg.nanosec = 0;
  } else {
    msg.sec = static_cast<int32_t>(sec);
    msg.nanosec = static_cast<uint32_t>(rem);
  }
  return msg;
}

Duration& Duration::operator=(const builtin_interfaces::msg::Duration& duration_msg) {
  *this = Duration(duration_msg);
  return *this;
}

bool Duration::operator==(const Duration& rhs) const { return nanoseconds_ == rhs.nanoseconds_; }
bool Duration::operator!=(const Duration& rhs) const { return nanoseconds_ != rhs.nanoseconds_; }
bool Duration::operator<(const Duration& rhs) const { return nanoseconds_ < rhs.nanoseconds_; }
bool Duration::operator<=(const Duration& rhs) const { return nanoseconds_ <= rhs.nanoseconds_; }
bool Duration::operator>=(const Duration& rhs) const { return nanoseconds_ >= rhs.nanoseconds_; }
bool Duration::operator>(const Duration& rhs) const { return nanoseconds_ > rhs.nanoseconds_; }

Duration Duration::operator+(const Duration& rhs) const {
  return from_nanoseconds(
      checked_add(nanoseconds_, rhs.nanoseconds_, "addition leads to int64_t overflow"));
}

Duration& Duration::operator+=(const Duration& rhs) {
  *this = *this + rhs;
  return *this;
}

Duration Duration::operator-(const Duration& rhs) const {
  if (rhs.nanoseconds_ == std::numeric_limits<int64_t>::min()) {
    throw std::overflow_error("duration subtraction leads to int64_t overflow");
  }
  return from_nanoseconds(checked_add(nanoseconds_, -rhs.nanoseconds_,
                                      "duration subtraction leads to int64_t overflow"));
}

Duration& Duration::operator-=(const Duration& rhs) {
  *this = *this - rhs;
  return *this;
}

Duration Duration::operator-() const { return from_nanoseconds(-nanoseconds_); }

Duration Duration::operator*(double scale) const {
  if (!std::isfinite(scale)) {
    throw std::runtime_error("abnormal scale in rclcpp::Duration");
  }
  const long double product = static_cast<long double>(nanoseconds_) * scale;
  if (product > static_cast<long double>(std::numeric_limits<int64_t>::max()) ||
      product < static_cast<long double>(std::numeric_limits<int64_t>::min())) {
    throw std::overflow_error("duration scaling leads to int64_t overflow");
  }
  return from_nanoseconds(static_cast<int64_t>(product));
}

Duration& Duration::operator*=(double scale) {
  *this = *this * scale;
  return *this;
}

Duration Duration::max() { return Duration(std::numeric_limits<int32_t>::max(), 999999999); }

Duration Duration::from_seconds(double seconds) {
  return from_nanoseconds(static_cast<int64_t>(seconds * static_cast<double>(kNsPerSecond)));
}

Duration Duration::from_nanoseconds(rcl_duration_value_t nanoseconds) {
  Duration d;
  d.nanoseconds_ = nanoseconds;
  return d;
}

Duration Duration::from_rmw_time(rmw_time_t duration) {
  return from_nanoseconds(static_cast<int64_t>(duration.sec) * kNsPerSecond +
                          static_cast<int64_t>(duration.nsec));
}

rcl_duration_value_t Duration::nanoseconds() const { return nanoseconds_; }

double Duration::seconds() const {
  return static_cast<double>(nanoseconds_) / static_cast<double>(kNsPerSecond);
}

rmw_time_t Duration::to_rmw_time() const {
  if (nanoseconds_ < 0) {
    throw std::runtime_error("rmw_time_t cannot be negative");
  }
  rmw_time_t t;
  t.sec = static_cast<uint64_t>(nanoseconds_ / kNsPerSecond);
  t.nsec = static_cast<uint64_t>(nanoseconds_ % kNsPerSecond);
  return t;
}

}  // namespace rclcpp
