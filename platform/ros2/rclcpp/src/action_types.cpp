#include <cstdio>

#include "rclcpp_action/types.hpp"

namespace rclcpp_action {

std::string to_string(const GoalUUID& goal_id) {
  std::string result;
  char byte[3];
  for (const auto value : goal_id) {
    std::snprintf(byte, sizeof(byte), "%02x", value);
    result += byte;
  }
  return result;
}

void convert(const GoalUUID& goal_id, GoalInfo* info) {
  for (size_t i = 0; i < goal_id.size(); ++i) {
    info->goal_id.uuid[i] = goal_id[i];
  }
}

void convert(const GoalInfo& info, GoalUUID* goal_id) {
  for (size_t i = 0; i < goal_id->size(); ++i) {
    (*goal_id)[i] = info.goal_id.uuid[i];
  }
}

}  // namespace rclcpp_action
