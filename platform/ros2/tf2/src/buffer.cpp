#include "tf2_ros/buffer.h"

#include <chrono>
#include <utility>

namespace tf2_ros {

Buffer::Buffer(rclcpp::Clock::SharedPtr clock, tf2::Duration cache_time, rclcpp::Node::SharedPtr)
    : tf2::BufferCore(cache_time), clock_(std::move(clock)) {}

bool Buffer::waitForTransform(const std::string& target_frame, const std::string& source_frame,
                              const tf2::TimePoint& time, const tf2::Duration timeout) const {
  const auto ready = [&] {
    return tf2::BufferCore::canTransform(target_frame, source_frame, time);
  };
  if (timeout <= tf2::Duration::zero()) {
    return ready();
  }
  return waitUntil(ready, std::chrono::steady_clock::now() + timeout);
}

geometry_msgs::msg::TransformStamped Buffer::lookupTransform(const std::string& target_frame,
                                                             const std::string& source_frame,
                                                             const tf2::TimePoint& time,
                                                             const tf2::Duration timeout) const {
  waitForTransform(target_frame, source_frame, time, timeout);
  return tf2::BufferCore::lookupTransform(target_frame, source_frame, time);
}

geometry_msgs::msg::TransformStamped Buffer::lookupTransform(const std::string& target_frame,
                                                             const std::string& source_frame,
                                                             const rclcpp::Time& time,
                                                             const rclcpp::Duration timeout) const {
  return lookupTransform(target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout));
}

bool Buffer::canTransform(const std::string& target_frame, const std::string& source_frame,
                          const tf2::TimePoint& time, const tf2::Duration timeout,
                          std::string* errstr) const {
  if (waitForTransform(target_frame, source_frame, time, timeout)) {
    return true;
  }
  // Once more for the reason.
  return tf2::BufferCore::canTransform(target_frame, source_frame, time, errstr);
}

bool Buffer::canTransform(const std::string& target_frame, const std::string& source_frame,
                          const rclcpp::Time& time, const rclcpp::Duration timeout,
                          std::string* errstr) const {
  return canTransform(target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout), errstr);
}

void Buffer::setCreateTimerInterface(CreateTimerInterface::SharedPtr create_timer_interface) {
  std::lock_guard<std::mutex> lock(timer_interface_mutex_);
  timer_interface_ = std::move(create_timer_interface);
}

}  // namespace tf2_ros
