#ifndef RCLCPP_ACTION__TYPES_HPP_
#define RCLCPP_ACTION__TYPES_HPP_

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>

#include "action_msgs/msg/goal_info.hpp"
#include "action_msgs/msg/goal_status.hpp"

namespace rclcpp_action {

using GoalUUID = std::array<uint8_t, 16>;
using GoalStatus = action_msgs::msg::GoalStatus;
using GoalInfo = action_msgs::msg::GoalInfo;

std::string to_string(const GoalUUID& goal_id);

void convert(const GoalUUID& goal_id, GoalInfo* info);
void convert(const GoalInfo& info, GoalUUID* goal_id);

}  // namespace rclcpp_action

namespace std {
template <>
struct less<rclcpp_action::GoalUUID> {
  bool operator()(const rclcpp_action::GoalUUID& lhs, const rclcpp_action::GoalUUID& rhs) const {
    return lhs < rhs;
  }
};

template <>
struct hash<rclcpp_action::GoalUUID> {
  size_t operator()(const rclcpp_action::GoalUUID& uuid) const noexcept {
    size_t result = 0;
    for (size_t i = 0; i < uuid.size(); ++i) {
      result = result * 31u + uuid[i];
    }
    return result;
  }
};
}  // namespace std

#endif  // RCLCPP_ACTION__TYPES_HPP_
