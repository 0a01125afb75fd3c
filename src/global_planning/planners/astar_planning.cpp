#include "planning/global_planning/astar_planning.hpp"

#include "logger/logger.hpp"
#include "planning/codes.hpp"

namespace planning {

AstarPlanning::AstarPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                             std::shared_ptr<GridMapROS> global_map)
    : NavGlobalPlanning(node, std::move(global_map), nullptr) {}

bool AstarPlanning::makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                             vantrell_nav2_protocol::msg::MultiPaths& paths) {
  if (goals.empty()) {
    LOG_WARN("AstarPlanning received no goal pose");
    return false;
  }
  if (!global_planner_) {
    LOG_WARN("AstarPlanning has no global grid search");
    return false;
  }
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose)) {
    return false;
  }
  const AstarOptions options =
      makeSearchOptions(goal_flags_.forbid_fuzzy_goal ? 0.0 : fuzzy_range_);
  const bool found = global_planner_->searchPaths(robot_pose, goals.front(), options, paths);
  if (searchSucceeded(found, paths)) {
    return true;
  }
  LOG_ERROR("global planner failed, error code is {}", codes::kGlobalPlanFailed);
  error_code_ = codes::kGlobalPlanFailed;
  return false;
}

}  // namespace planning
