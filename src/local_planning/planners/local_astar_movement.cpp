// The movement constraint of "dijkstra": after smoothing, how the robot approaches the goal.
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "logger/logger.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/local_astar.hpp"

namespace planning {

namespace {

// The goal counts as the path's end within this gap.
constexpr double kEndAtGoal = 0.1;
// A path this short, as a share of the local map's width, ends close enough for a turn there.
constexpr double kShortPathShare = 0.25;
// Poses of the straight approach that may come too close to an obstacle before it is refused.
constexpr int kObstacleHits = 3;

}  // namespace

void LocalAstar::updatePathWithMovementConstraint(Path& path) {
  PoseStamped robot;
  if (!getLocalRobotPose(robot)) {
    LOG_WARN("updatePathWithMovementConstraint: no robot pose, the path is left as planned");
    return;
  }
  if (omniDirectionalMovement(path, robot)) {
    return;
  }
  if (goal_flags_[1] == 0 || path.nav_path.poses.empty()) {
    return;
  }
  const double end_gap = base_robot_.calDistance(path.nav_path.poses.back(), goal_pose_);
  const double length = base_robot_.calpathDistance(path.nav_path);
  const double width = local_gridmap_->getMultiGridMap()->getCostmap()->getSizeInMetersX();
  if (end_gap <= kEndAtGoal && length <= kShortPathShare * width) {
    chooseTurnAtGoal(path, robot);
    return;
  }
  backwardMovement(path, robot);
}

void LocalAstar::chooseTurnAtGoal(Path& path, const PoseStamped& robot) {
  double angle = 0.0;
  const bool forward_ok = isTargetPointRotatable(path.nav_path, angle);
  nav_msgs::msg::Path backward = path.nav_path;
  reversePath(backward);
  const bool backward_ok = isTargetPointRotatable(backward, angle);
  if (backward_ok && forward_ok) {
    backwardMovement(path, robot);
  } else if (backward_ok) {
    path.nav_path.poses = std::move(backward.poses);
  }
}

bool LocalAstar::omniDirectionalMovement(Path& path, const PoseStamped& robot) {
  const double to_goal = base_robot_.calDistance(robot, goal_pose_);
  const double reach = getFootprintMaxX(local_gridmap_.get());
  if (reach > to_goal) {
    // The goal lies within the robot's own extent: no obstacle can stand between.
    faceGoalAndReplace(lineToGoal(robot), path);
    return true;
  }
  if (!(follow_goal_yaw_path_threshold_ > fuzzy_distance_)) {
    return false;
  }
  nav_msgs::msg::Path line = lineToGoal(robot);
  if (hasObstacle(local_gridmap_, line, static_cast<int>(line.poses.size()), kObstacleHits,
                  reach)) {
    return false;
  }
  faceGoalAndReplace(std::move(line), path);
  return true;
}

nav_msgs::msg::Path LocalAstar::lineToGoal(const PoseStamped& robot) const {
  const double step = global_gridmap_->getMultiGridMap()->getCostmap()->getResolution();
  nav_msgs::msg::Path line;
  line.header = robot.header;
  line.poses = {robot, goal_pose_};
  path_product_->resamplePath(line, static_cast<float>(step));
  return line;
}

void LocalAstar::faceGoalAndReplace(nav_msgs::msg::Path line, Path& path) const {
  for (auto& pose : line.poses) {
    pose.pose.orientation = goal_pose_.pose.orientation;
  }
  path.nav_path.poses = std::move(line.poses);
}

bool LocalAstar::isTargetPointRotatable(const nav_msgs::msg::Path& path, double& angle) const {
  if (path.poses.empty()) {
    angle = 0.0;
    return false;
  }
  const double from = geometry::yawOf(path.poses.back());
  const double to = geometry::yawOf(goal_pose_);
  double clockwise = 0.0;
  double counter_clockwise = 0.0;
  spin_collision_->getSpinAngle(from, to, clockwise, counter_clockwise);
  angle = std::min(std::fabs(clockwise), std::fabs(counter_clockwise));
  if (angle < geometry::kPi / 2.0) {
    return true;
  }
  return spin_collision_->isCollisionFree(goal_pose_, clockwise, counter_clockwise);
}

bool LocalAstar::hasObstacle(const std::shared_ptr<GridMapROS>& map,
                             const nav_msgs::msg::Path& path, int count, int threshold,
                             double distance) const {
  if (count < 1) {
    return false;
  }
  const auto grid = map ? map->getMultiGridMap() : nullptr;
  const auto local_grid = local_gridmap_->getMultiGridMap();
  // The local map is told apart by its object: it adds nothing to its own distances.
  const bool other_map = map.get() != local_gridmap_.get();
  double nearest = std::numeric_limits<double>::max();
  int hits = 0;
  const size_t poses = std::min(static_cast<size_t>(count), path.poses.size());
  for (size_t i = 0; i < poses; ++i) {
    const auto& position = path.poses[i].pose.position;
    unsigned int mx = 0;
    unsigned int my = 0;
    if (other_map && local_grid->getCostmap()->worldToMap(position.x, position.y, mx, my)) {
      nearest = std::min(nearest, local_grid->getDistance(mx, my));
    }
    if (!grid || !grid->getCostmap()->worldToMap(position.x, position.y, mx, my)) {
      LOG_WARN("[DynamicCoveragePlanning] pathSmooter::worldToMap1 failed !!!!!!!");
      return true;
    }
    nearest = std::min(nearest, grid->getDistance(mx, my));
    if (nearest <= distance) {
      ++hits;
    }
    if (hits >= threshold) {
      return true;
    }
  }
  return false;
}

}  // namespace planning
