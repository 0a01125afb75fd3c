#ifndef RCLCPP__CREATE_TIMER_HPP_
#define RCLCPP__CREATE_TIMER_HPP_

#include <chrono>
#include <memory>
#include <stdexcept>
#include <utility>

#include "rclcpp/duration.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_timers_interface.hpp"
#include "rclcpp/timer.hpp"

namespace rclcpp {

// A timer on `clock` (a ROS-time clock follows driven time in tests).
template <typename CallbackT>
typename rclcpp::TimerBase::SharedPtr create_timer(
    node_interfaces::NodeBaseInterface::SharedPtr node_base,
    node_interfaces::NodeTimersInterface::SharedPtr node_timers, rclcpp::Clock::SharedPtr clock,
    rclcpp::Duration period, CallbackT&& callback,
    rclcpp::CallbackGroup::SharedPtr group = nullptr) {
  auto timer = std::make_shared<rclcpp::GenericTimer<std::decay_t<CallbackT>>>(
      clock, period.to_chrono<std::chrono::nanoseconds>(),
      std::decay_t<CallbackT>(std::forward<CallbackT>(callback)), node_base->get_context());
  node_timers->add_timer(timer, group);
  return timer;
}

template <typename NodeT, typename CallbackT>
typename rclcpp::TimerBase::SharedPtr create_timer(
    NodeT node, rclcpp::Clock::SharedPtr clock, rclcpp::Duration period, CallbackT&& callback,
    rclcpp::CallbackGroup::SharedPtr group = nullptr) {
  return create_timer(node->get_node_base_interface(), node->get_node_timers_interface(), clock,
                      period, std::forward<CallbackT>(callback), group);
}

template <typename DurationRepT, typename DurationT, typename CallbackT>
typename rclcpp::WallTimer<CallbackT>::SharedPtr create_wall_timer(
    std::chrono::duration<DurationRepT, DurationT> period, CallbackT callback,
    rclcpp::CallbackGroup::SharedPtr group, node_interfaces::NodeBaseInterface* node_base,
    node_interfaces::NodeTimersInterface* node_timers) {
  if (node_base == nullptr || node_timers == nullptr) {
    throw std::invalid_argument("create_wall_timer needs the node's base and timers interfaces");
  }
  const auto period_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(period);
  if (period_ns < std::chrono::nanoseconds::zero()) {
    throw std::invalid_argument("timer period cannot be negative");
  }
  auto timer = std::make_shared<rclcpp::WallTimer<CallbackT>>(period_ns, std::move(callback),
                                                              node_base->get_context());
  node_timers->add_timer(timer, group);
  return timer;
}

}  // namespace rclcpp

#endif  // RCLCPP__CREATE_TIMER_HPP_
