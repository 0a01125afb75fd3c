#include "planning/global_planning/astar_uptake_water_planning.hpp"

#include "logger/logger.hpp"
#include "planning/codes.hpp"

namespace planning {

namespace {

// Retries after the first search, each with the goal pulled halfway towards the robot.
constexpr int kMaxRetries = 10;

}  // namespace

AstarUptakeWaterPlanning::AstarUptakeWaterPlanning(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
    std::shared_ptr<GridMapROS> global_map)
    : NavGlobalPlanning(node, std::move(global_map), nullptr) {}

bool AstarUptakeWaterPlanning::makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                                        vantrell_nav2_protocol::msg::MultiPaths& paths) {
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose)) {
    return false;
  }
  LOG_INFO("AstarUptakeWaterPlanning  planner goal size:{}", goals.size());
  if (goals.empty()) {
    LOG_ERROR("AstarUptakeWaterPlanning goal empty");
    return false;
  }
  if (!global_planner_) {
    LOG_WARN("AstarUptakeWaterPlanning has no global grid search");
    return false;
  }

  // The water station is reached within the fuzzy range whatever the goal asks.
  const AstarOptions options = globalSearchOptions(fuzzy_range_, fuzzy_range_);
  const geometry_msgs::msg::PoseStamped& first_goal = goals.front();
  bool found = global_planner_->searchPaths(robot_pose, first_goal, options, paths);

  // Only the position of the first goal carries over into the retries.
  geometry_msgs::msg::PoseStamped retry_goal;
  retry_goal.pose.position.x = first_goal.pose.position.x;
  retry_goal.pose.position.y = first_goal.pose.position.y;

  int tries = 0;
  while (!found && tries < kMaxRetries) {
    // The robot may have moved since the last search: halve towards where it is now.
    if (!getRobotPose(robot_pose)) {
      return false;
    }
    LOG_INFO(
        "try  AstarUptakeWaterPlanning  planner try no:{}, goal pose {:.3f}, {:.3f}, "
        "curren_pose:{:.3f}, {:.3f}",
        tries, retry_goal.pose.position.x, retry_goal.pose.position.y, robot_pose.pose.position.x,
        robot_pose.pose.position.y);
    retry_goal.pose.position.x = (robot_pose.pose.position.x + retry_goal.pose.position.x) * 0.5;
    retry_goal.pose.position.y = (robot_pose.pose.position.y + retry_goal.pose.position.y) * 0.5;
    LOG_INFO("try  AstarUptakeWaterPlanning  planner try no:{} goal pose {:.3f}, {:.3f}", tries,
             retry_goal.pose.position.x, retry_goal.pose.position.y);
    found = global_planner_->searchPaths(robot_pose, retry_goal, options, paths);
    ++tries;
  }

  if (searchSucceeded(found, paths)) {
    return true;
  }
  LOG_ERROR("global planner failed:{}, {}, error code is {}", first_goal.pose.position.x,
            first_goal.pose.position.y, codes::kGlobalPlanFailed);
  error_code_ = codes::kGlobalPlanFailed;
  return false;
}

}  // namespace planning
