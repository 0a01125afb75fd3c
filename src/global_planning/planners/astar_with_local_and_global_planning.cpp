#include "planning/global_planning/astar_with_local_and_global_planning.hpp"

#include "logger/logger.hpp"
#include "planning/codes.hpp"

namespace planning {

AstarWithLocalAndGlobalPlanning::AstarWithLocalAndGlobalPlanning(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
    std::shared_ptr<GridMapROS> global_map)
    : NavGlobalPlanning(node, std::move(global_map), nullptr) {}

bool AstarWithLocalAndGlobalPlanning::makePlan(
    const std::vector<geometry_msgs::msg::PoseStamped>& goals,
    vantrell_nav2_protocol::msg::MultiPaths& paths) {
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose) ||
      !hasGoalAndEngines("AstarWithLocalAndGlobalPlanning", goals, Engines::kLocalAndGlobal)) {
    return false;
  }
  const AstarOptions options =
      globalSearchOptions(fuzzy_range_, goal_flags_.forbid_fuzzy_goal ? 0.0 : fuzzy_range_);
  const geometry_msgs::msg::PoseStamped& goal = goals.front();

  const bool local_found = local_planner_->searchPaths(robot_pose, goal, options, paths);
  if (local_found) {
    // A local search that answers true without a path is final: the global map would not be
    // asked for a goal the local map already settled.
    if (!paths.paths.empty()) {
      return true;
    }
  } else {
    LOG_INFO("local planner failed, try global planner");
    paths.paths.clear();
    const bool global_found = global_planner_->searchPaths(robot_pose, goal, options, paths);
    if (searchSucceeded(global_found, paths)) {
      return true;
    }
  }
  return searchFailed();
}

}  // namespace planning
