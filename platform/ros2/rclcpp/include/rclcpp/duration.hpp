#ifndef RCLCPP__DURATION_HPP_
#define RCLCPP__DURATION_HPP_

#include <chrono>
#include <cstdint>

#include "builtin_interfaces/msg/duration.hpp"
#include "rcl/time.h"
#include "rmw/types.h"

namespace rclcpp {

class Time;

// A signed span of time in nanoseconds.
class Duration {
 public:
  Duration(int32_t seconds, uint32_t nanoseconds);
  explicit Duration(std::chrono::nanoseconds nanoseconds);
  template <class Rep, class Period>
  Duration(const std::chrono::duration<Rep, Period>& duration)  // NOLINT: implicit as in rclcpp
      : Duration(std::chrono::duration_cast<std::chrono::nanoseconds>(duration)) {}
  Duration(const builtin_interfaces::msg::Duration& duration_msg);  // NOLINT
  explicit Duration(const rcl_duration_t& duration);

  Duration(const Duration&) = default;
  Duration& operator=(const Duration&) = default;

  operator builtin_interfaces::msg::Duration() const;
  Duration& operator=(const builtin_interfaces::msg::Duration& duration_msg);

  bool operator==(const Duration& rhs) const;
  bool operator!=(const Duration& rhs) const;
  bool operator<(const Duration& rhs) const;
  bool operator<=(const Duration& rhs) const;
  bool operator>=(const Duration& rhs) const;
  bool operator>(const Duration& rhs) const;
  Duration operator+(const Duration& rhs) const;
  Duration& operator+=(const Duration& rhs);
  Duration operator-(const Duration& rhs) const;
  Duration& operator-=(const Duration& rhs);
  Duration operator-() const;
  Duration operator*(double scale) const;
  Duration& operator*=(double scale);

  static Duration max();
  static Duration from_seconds(double seconds);
  static Duration from_nanoseconds(rcl_duration_value_t nanoseconds);
  static Duration from_rmw_time(rmw_time_t duration);

  rcl_duration_value_t nanoseconds() const;
  double seconds() const;
  rmw_time_t to_rmw_time() const;

  template <class DurationT>
  DurationT to_chrono() const {
    return std::chrono::duration_cast<DurationT>(std::chrono::nanoseconds(nanoseconds_));
  }

 private:
  friend class Time;
  Duration();

  rcl_duration_value_t nanoseconds_;
};

}  // namespace rclcpp

#endif  // RCLCPP__DURATION_HPP_
