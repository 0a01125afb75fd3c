#include "planning/global_planning/astar_planning.hpp"

#include "logger/logger.hpp"
#include "planning/codes.hpp"

namespace planning {

AstarPlanning::AstarPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                             std::shared_ptr<GridMapROS> global_map)
    : NavGlobalPlanning(node, std::move(global_map), nullptr) {}

bool AstarPlanning::makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                             vantrell_nav2_protocol::msg::MultiPaths& paths) {
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose) || !hasGoalAndEngines("AstarPlanning", goals, Engines::kGlobal)) {
    return false;
  }
  const AstarOptions options =
      globalSearchOptions(fuzzy_range_, goal_flags_.forbid_fuzzy_goal ? 0.0 : fuzzy_range_);
  const bool found = global_planner_->searchPaths(robot_pose, goals.front(), options, paths);
  return searchSucceeded(found, paths) || searchFailed();
}

}  // namespace planning
