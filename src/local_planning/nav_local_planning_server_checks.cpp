// The local planning node's checks of a goal: start-spin threshold, blocked local goal and the
// backward fallback. Called from the goals' worker thread.
#include <cmath>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/nav_local_planning_server.hpp"
#include "planning/planner_keys.hpp"

namespace planning {

namespace {

using geometry::headingBetween;

// Only a local goal this close to the robot is judged: a farther one may clear on the way.
constexpr double kBlockedGoalRange = 2.5;
// A local goal this close to an obstacle is blocked outright...
constexpr double kBlockedClearance = 0.2;
// ...and one with more room than this is free; in between, the robot must be able to turn there.
constexpr double kFreeClearance = 0.8;
// The heading of the first path's end is taken over its last this many steps.
constexpr size_t kEndHeadingSteps = 3;
// The robot turns towards the first path pose at least this far from it.
constexpr double kSpinTargetStep = 0.3;

}  // namespace

double NavLocalPlanningServer::getStartSpinThetaThreshold(int32_t mode, bool backward) const {
  if (mode != local_keys::kCoverageMode) {
    return geometry::kPi / 2.0;
  }
  return backward ? static_coverage_spin_theta_tolerance_backward_
                  : static_coverage_spin_theta_tolerance_;
}

bool NavLocalPlanningServer::isPathBlocked(const MultiPaths& paths) {
  if (paths.paths.size() < 2) {
    return false;
  }
  const auto& first = paths.paths.front().nav_path.poses;
  const auto& last = paths.paths.back().nav_path.poses;
  if (first.size() < kEndHeadingSteps + 1 || last.size() < kEndHeadingSteps + 1) {
    return false;
  }
  PoseStamped robot;
  if (!local_gridmap_->getCostmapROS()->getRobotPose(robot)) {
    LOG_INFO("NavLocalPlanningServer::isPathBlocked get robot pose failed.");
    return true;
  }
  const PoseStamped& goal = last.front();
  if (base_robot_.calDistance(robot, goal) > kBlockedGoalRange) {
    return false;
  }
  const auto grid = local_gridmap_->getMultiGridMap();
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!grid->getCostmap()->worldToMap(goal.pose.position.x, goal.pose.position.y, mx, my)) {
    LOG_INFO(
        "NavLocalPlanningServer::isPathBlocked local goal ({}, {}) is off the local map, "
        "not judged blocked.",
        goal.pose.position.x, goal.pose.position.y);
    return false;
  }
  // The grid keeps its distances in single precision: compared there, a goal 0.2 m from an
  // obstacle is blocked and one 0.8 m away still turns, as meant.
  const float clearance = static_cast<float>(grid->getDistance(mx, my));
  if (clearance <= static_cast<float>(kBlockedClearance)) {
    LOG_INFO("NavLocalPlanningServer::isPathBlocked dist:{} goal blocked. global replanning!",
             clearance);
    return true;
  }
  if (clearance > static_cast<float>(kFreeClearance)) {
    return false;
  }
  geometry_msgs::msg::Pose2D at_goal;
  at_goal.x = goal.pose.position.x;
  at_goal.y = goal.pose.position.y;
  at_goal.theta = headingBetween(first[first.size() - 1 - kEndHeadingSteps], first.back());
  if (at_goal.theta < 0.0) {
    at_goal.theta += 2.0 * geometry::kPi;
  }
  if (spin_collision_->isCollisionFree(at_goal, -geometry::kPi, geometry::kPi)) {
    return false;
  }
  LOG_INFO("path blocked! target_yaw:{}", headingBetween(last[0], last[1]));
  return true;
}

bool NavLocalPlanningServer::doubleCheckMoveBackward(const Path& path,
                                                     const PoseStamped& robot) const {
  double min_angle = 0.0;
  double max_angle = 0.0;
  spin_collision_->getSpinAngle(robot, path.nav_path, kSpinTargetStep, min_angle, max_angle);
  if (min_angle < -geometry::kPi / 2.0 && max_angle > geometry::kPi / 2.0) {
    return !spin_collision_->isCollisionFree(robot, min_angle, max_angle);
  }
  return false;
}

}  // namespace planning
