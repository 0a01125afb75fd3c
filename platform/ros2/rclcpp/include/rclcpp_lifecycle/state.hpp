#ifndef RCLCPP_LIFECYCLE__STATE_HPP_
#define RCLCPP_LIFECYCLE__STATE_HPP_

#include <cstdint>
#include <string>

namespace rclcpp_lifecycle {

// A state of the lifecycle state machine: id (lifecycle_msgs/msg/State) and label.
class State {
 public:
  State();
  State(uint8_t id, const std::string& label);
  virtual ~State();

  uint8_t id() const;
  std::string label() const;

 private:
  uint8_t id_;
  std::string label_;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__STATE_HPP_
