#ifndef RCLCPP__SRC__PROCESS_CLOCK_HPP_
#define RCLCPP__SRC__PROCESS_CLOCK_HPP_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "rcl/time.h"

namespace rclcpp {
namespace detail {

// The process's time. Normally the system and steady clocks of the machine;
// a test may take it over, and then every clock kind reads the driven time,
// which moves only when told to. (A ROS-time clock attached to a node that
// uses simulated time reads that instead: see rcl/time.h.)
class ProcessClock : public std::enable_shared_from_this<ProcessClock> {
 public:
  static ProcessClock& instance();
  // What a holder keeps to read the time on its way out (see ProcessWide).
  static std::shared_ptr<ProcessClock> shared_instance();

  ProcessClock() = default;

  rcl_time_point_value_t now(rcl_clock_type_t clock_type) const;
  bool is_driven() const;

  // Freezes time at the current readings (system and ROS time at
  // `system_start` when it is not negative). Throws when already driven.
  void take_over(int64_t system_start);
  void release();
  // Moves driven time forward and wakes every executor and sleeper.
  void advance(int64_t nanoseconds);

  // Sleeps until the clock of `clock_type` reads `target`. Returns false as
  // soon as `interrupted` holds; it is checked whenever `wake_all` runs.
  bool sleep_until(rcl_clock_type_t clock_type, rcl_time_point_value_t target,
                   const std::function<bool()>& interrupted);
  // The same for a clock read by `read_now`; `told` says whether its time
  // moves only when told to (then only `wake_all` ends a wait).
  bool sleep_until(const std::function<rcl_time_point_value_t()>& read_now,
                   rcl_time_point_value_t target, const std::function<bool()>& told,
                   const std::function<bool()>& interrupted);
  // Wakes sleepers and executors: time moved, or the context shut down.
  void wake_all();

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  uint64_t wake_generation_ = 0;
  bool driven_ = false;
  int64_t driven_system_ns_ = 0;
  int64_t driven_steady_ns_ = 0;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__SRC__PROCESS_CLOCK_HPP_
