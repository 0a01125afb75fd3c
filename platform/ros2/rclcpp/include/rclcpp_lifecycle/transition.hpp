#ifndef RCLCPP_LIFECYCLE__TRANSITION_HPP_
#define RCLCPP_LIFECYCLE__TRANSITION_HPP_

#include <cstdint>
#include <string>

#include "rclcpp_lifecycle/state.hpp"

namespace rclcpp_lifecycle {

// A transition of the lifecycle state machine: id (lifecycle_msgs/msg/Transition) and label.
class Transition {
 public:
  explicit Transition(uint8_t id, const std::string& label = "");
  Transition(uint8_t id, const std::string& label, State&& start, State&& goal);
  virtual ~Transition();

  uint8_t id() const;
  std::string label() const;
  State start_state() const;
  State goal_state() const;

 private:
  uint8_t id_;
  std::string label_;
  State start_;
  State goal_;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__TRANSITION_HPP_
