#include "planning/global_planning/recommand_points_planning.hpp"

#include "logger/logger.hpp"
#include "nav_2d_utils/conversions.hpp"
#include "planning/codes.hpp"

namespace planning {

namespace {

// The lines of choosing and showing the goal belong to the plan, whichever helper writes them.
constexpr char kMakePlan[] = "makePlan";

}  // namespace

RecommandPointsPlanning::RecommandPointsPlanning(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
    std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map)
    : NavGlobalPlanning(node, std::move(global_map), std::move(local_map)),
      origin_goal_topic_("origin_goal_posture"),
      global_goal_topic_("global_goal_posture"),
      parent_node_(node) {
  if (const auto locked = parent_node_.lock()) {
    // Held as plain publishers: the poses are for display and go out in every lifecycle state.
    origin_goal_pub_ =
        locked->create_publisher<geometry_msgs::msg::PoseStamped>(origin_goal_topic_, 1);
    global_goal_pub_ =
        locked->create_publisher<geometry_msgs::msg::PoseStamped>(global_goal_topic_, 1);
  }
  const auto& checked_map = local_gridmap_ros_ ? local_gridmap_ros_ : global_gridmap_ros_;
  collision_checker_ = std::make_shared<Collision::CollisionCheck>(checked_map);
}

bool RecommandPointsPlanning::makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                                       vantrell_nav2_protocol::msg::MultiPaths& paths) {
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose)) {
    LOG_INFO("RecommandPointsPlanning getRobotPose failed");
    return false;
  }

  AstarOptions options = globalSearchOptions(fuzzy_range_, fuzzy_range_);
  if (goal_flags_.forbid_fuzzy_goal) {
    LOG_INFO("RecommandPointsPlanning forbidden fuzzy model");
    options.goal_fuzzy_range = 0.0;
  }

  const int chosen = chooseGoal(goals);
  if (chosen < 0) {
    LOG_ERROR("All recommend points are illegal(collision)");
    return false;
  }
  if (!global_planner_) {
    LOG_WARN("RecommandPointsPlanning has no global grid search");
    return false;
  }

  const geometry_msgs::msg::PoseStamped& goal = goals[static_cast<size_t>(chosen)];
  const bool found = global_planner_->searchPaths(robot_pose, goal, options, paths);
  if (!searchSucceeded(found, paths)) {
    LOG_ERROR("global planner failed search_res: {}, paths_msg.paths.size(): {}, error code is {}",
              found, paths.paths.size(), codes::kGlobalPlanFailed);
    error_code_ = codes::kGlobalPlanFailed;
    return false;
  }
  publishGoals(goal, paths);
  return true;
}

int RecommandPointsPlanning::chooseGoal(
    const std::vector<geometry_msgs::msg::PoseStamped>& goals) const {
  int chosen = -1;
  for (size_t i = 0; i < goals.size(); ++i) {
    const auto& position = goals[i].pose.position;
    LOG_INFO_FROM(
        kMakePlan,
        "RecommandPointsPlanning::makePlan Receive recommend point index: {}, position: ({}, {})",
        i, position.x, position.y);
    if (chosen >= 0) {
      continue;
    }
    if (collision_checker_->isCollisionFreePose(nav_2d_utils::poseToPose2D(goals[i].pose), true)) {
      chosen = static_cast<int>(i);
      LOG_INFO_FROM(
          kMakePlan,
          "RecommandPointsPlanning::makePlan selected point index: {}, position: ({}, {})", i,
          position.x, position.y);
    }
  }
  return chosen;
}

void RecommandPointsPlanning::publishGoals(
    const geometry_msgs::msg::PoseStamped& chosen,
    const vantrell_nav2_protocol::msg::MultiPaths& paths) const {
  if (origin_goal_pub_) {
    LOG_INFO_FROM(kMakePlan, "RecommandPointsPlanning::makePlane publish origin goal posture");
    origin_goal_pub_->publish(chosen);
  }
  if (!global_goal_pub_) {
    return;
  }
  const auto path_end = globalGoalPosture(paths);
  if (!path_end) {
    // Nothing marks where the path ends; the plan itself stands.
    return;
  }
  LOG_INFO_FROM(kMakePlan, "RecommandPointsPlanning::makePlane publish global goal posture");
  global_goal_pub_->publish(*path_end);
}

std::optional<geometry_msgs::msg::PoseStamped> RecommandPointsPlanning::globalGoalPosture(
    const vantrell_nav2_protocol::msg::MultiPaths& paths) {
  if (paths.paths.empty() || paths.paths.front().nav_path.poses.empty()) {
    return std::nullopt;
  }
  geometry_msgs::msg::PoseStamped path_end = paths.paths.front().nav_path.poses.back();
  path_end.header.frame_id = "map";
  return path_end;
}

}  // namespace planning
