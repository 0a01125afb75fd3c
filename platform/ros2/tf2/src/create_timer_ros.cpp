#include "tf2_ros/create_timer_ros.h"

#include <string>
#include <utility>

#include "rclcpp/create_timer.hpp"

namespace tf2_ros {

CreateTimerROS::CreateTimerROS(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
                               rclcpp::node_interfaces::NodeTimersInterface::SharedPtr node_timers,
                               rclcpp::CallbackGroup::SharedPtr callback_group)
    : node_base_(std::move(node_base)),
      node_timers_(std::move(node_timers)),
      callback_group_(std::move(callback_group)) {}

CreateTimerROS::~CreateTimerROS() {
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  for (auto& entry : timers_map_) {
    entry.second->cancel();
  }
}

TimerHandle CreateTimerROS::createTimer(rclcpp::Clock::SharedPtr clock, const tf2::Duration& period,
                                        TimerCallbackType callback) {
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  const TimerHandle handle = next_timer_handle_index_++;
  auto timer = rclcpp::create_timer(
      node_base_, node_timers_, std::move(clock), rclcpp::Duration(period),
      [handle, callback = std::move(callback)]() { callback(handle); }, callback_group_);
  timers_map_[handle] = timer;
  return handle;
}

rclcpp::TimerBase::SharedPtr CreateTimerROS::findTimer(const TimerHandle& timer_handle) {
  const auto entry = timers_map_.find(timer_handle);
  if (entry == timers_map_.end()) {
    throw InvalidTimerHandleException("Invalid timer handle " + std::to_string(timer_handle));
  }
  return entry->second;
}

void CreateTimerROS::cancel(const TimerHandle& timer_handle) {
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  findTimer(timer_handle)->cancel();
}

void CreateTimerROS::reset(const TimerHandle& timer_handle) {
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  findTimer(timer_handle)->reset();
}

void CreateTimerROS::remove(const TimerHandle& timer_handle) {
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  findTimer(timer_handle)->cancel();
  timers_map_.erase(timer_handle);
}

}  // namespace tf2_ros
