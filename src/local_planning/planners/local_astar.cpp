#include "planning/local_planning/local_astar.hpp"

#include <limits>
#include <utility>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/local_planning/point_to_point_steps.hpp"

namespace planning {

namespace {

// A piece this short needs no search: it is handed on as it is.
constexpr size_t kPieceWithoutSearch = 2;
// Goal-side tolerance of the search, unless the goal must be reached exactly.
constexpr double kGoalFuzzyRange = 0.5;

}  // namespace

LocalAstar::LocalAstar(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                       std::shared_ptr<GridMapROS> global_map,
                       std::shared_ptr<GridMapROS> local_map, std::shared_ptr<GridMapROS> third_map)
    : NavLocalPlanning(node, std::move(global_map), std::move(local_map), std::move(third_map)),
      constrained_smoother_(point_to_point::makeConstrainedSmoother(node_)),
      path_smoother_(std::make_shared<PathSmoother>(node_, local_gridmap_)),
      collision_checker_(std::make_shared<Collision::CollisionCheck>(local_gridmap_)),
      spin_collision_(std::make_shared<Collision::SpinCollision>(collision_checker_)) {
  // Until a goal gives its fuzzy distance, the straight approach by threshold never applies.
  fuzzy_distance_ = std::numeric_limits<double>::max();
}

bool LocalAstar::makePlan(Path& out, ControlState& state, bool& need_replan) {
  const auto& paths = global_paths_->paths;
  if (paths.empty()) {
    return false;
  }
  if (paths.size() == 1 && !paths.front().move_backward) {
    PoseStamped robot;
    if (!getLocalRobotPose(robot)) {
      trace("makePlan getRobotPose failed");
      return false;
    }
    if (cutFromGlobalPath(robot, out)) {
      return true;
    }
  }
  Path piece;
  if (const auto decided = point_to_point::takeNextPiece(*this, piece, out, state)) {
    return *decided;
  }
  if (piece.nav_path.poses.size() <= kPieceWithoutSearch) {
    out = piece;
    return true;
  }
  return searchAlongPiece(piece, out, need_replan);
}

bool LocalAstar::cutFromGlobalPath(const PoseStamped& robot, Path& out) {
  nav_msgs::msg::Path local;
  if (!path_product_->getLocalPathFromGlobal(robot, global_paths_->paths.front().nav_path,
                                             local_gridmap_, local)) {
    return false;
  }
  out.nav_path.poses = std::move(local.poses);
  return true;
}

bool LocalAstar::searchAlongPiece(const Path& piece, Path& out, bool& need_replan) {
  PoseStamped robot;
  if (!getLocalRobotPose(robot)) {
    trace("makePlan getRobotPose failed");
    return false;
  }
  nav_msgs::msg::Path remaining = piece.nav_path;
  PoseStamped local_goal;
  if (!path_product_->globalPathCut(robot, remaining, local_gridmap_, local_goal)) {
    need_replan = true;
    LOG_WARN("globalPathCut failed!");
    return false;
  }
  trace("current_pose is {} {}", robot.pose.position.x, robot.pose.position.y);
  vantrell_nav2_planner::astar2::AstarReferencePath reference;
  const double goal_fuzzy_range = goal_flags_[0] != 0 ? 0.0 : kGoalFuzzyRange;
  const auto options = point_to_point::referencedSearchOptions(piece.tolerance, goal_fuzzy_range,
                                                               out.nav_path, reference);
  const bool found =
      point_to_point::searchThisCycle(local_planner_.get(), robot, local_goal, options, out);
  if (found && !out.nav_path.poses.empty()) {
    out.nav_path.poses.back().pose.orientation = local_goal.pose.orientation;
    return true;
  }
  if (out.check_blocked) {
    need_replan = true;
  }
  LOG_ERROR("astar local planner failed, error code is {}", codes::kLocalPlanFailed);
  return false;
}

bool LocalAstar::pathSmooter(nav_msgs::msg::Path& path) {
  if (!point_to_point::smoothFromRobot(*path_smoother_, *local_gridmap_, *communicator_, true,
                                       path)) {
    LOG_ERROR("a star path smooth failed !!!!!!");
    return false;
  }
  return true;
}

void LocalAstar::reset() { point_to_point::resetForNewTask(*communicator_, *third_gridmap_); }

}  // namespace planning
