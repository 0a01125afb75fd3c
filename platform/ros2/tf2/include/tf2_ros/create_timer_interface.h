#ifndef TF2_ROS__CREATE_TIMER_INTERFACE_H_
#define TF2_ROS__CREATE_TIMER_INTERFACE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "rclcpp/clock.hpp"
#include "tf2/time.h"

namespace tf2_ros {

using TimerHandle = uint64_t;
using TimerCallbackType = std::function<void(const TimerHandle&)>;

class CreateTimerInterfaceException : public std::runtime_error {
 public:
  explicit CreateTimerInterfaceException(const std::string& error_description)
      : std::runtime_error(error_description) {}
};

class InvalidTimerHandleException : public std::runtime_error {
 public:
  explicit InvalidTimerHandleException(const std::string& description)
      : std::runtime_error(description) {}
};

// How a buffer makes the timers it needs, without knowing the node.
class CreateTimerInterface {
 public:
  using SharedPtr = std::shared_ptr<CreateTimerInterface>;
  using ConstSharedPtr = std::shared_ptr<const CreateTimerInterface>;
  using UniquePtr = std::unique_ptr<CreateTimerInterface>;

  virtual ~CreateTimerInterface() = default;

  // A timer calling `callback` with its handle every `period` of `clock`.
  virtual TimerHandle createTimer(rclcpp::Clock::SharedPtr clock, const tf2::Duration& period,
                                  TimerCallbackType callback) = 0;
  // Each throws InvalidTimerHandleException for a handle it does not know.
  virtual void cancel(const TimerHandle& timer_handle) = 0;
  virtual void reset(const TimerHandle& timer_handle) = 0;
  virtual void remove(const TimerHandle& timer_handle) = 0;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__CREATE_TIMER_INTERFACE_H_
