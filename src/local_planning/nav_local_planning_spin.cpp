// The local planner base: the rotate-in-place decision, the reachable part of a path and the
// backward move of the grid-search planners.
#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/nav_local_planning.hpp"
#include "planning/planner_keys.hpp"

namespace planning {

namespace {

using geometry::headingBetween;
using geometry::kPi;
using geometry::normalizeAngle;

// A path that starts at a zelto corner is measured this much beyond the look-ahead, so that the
// heading comes from the leg after the corner.
constexpr double kZeltoExtraLookAhead = 0.2;

geometry_msgs::msg::Pose2D toPose2D(const geometry_msgs::msg::PoseStamped& pose) {
  geometry_msgs::msg::Pose2D flat;
  flat.x = pose.pose.position.x;
  flat.y = pose.pose.position.y;
  flat.theta = geometry::yawOf(pose);
  return flat;
}

bool samePosition(const geometry_msgs::msg::PoseStamped& a,
                  const geometry_msgs::msg::PoseStamped& b) {
  return a.pose.position.x == b.pose.position.x && a.pose.position.y == b.pose.position.y &&
         a.pose.position.z == b.pose.position.z;
}

}  // namespace

void NavLocalPlanning::spinJudge(const PoseStamped& robot, Path& piece, nav_msgs::msg::Path& path,
                                 SpinState& state, double path_length_tolerance) {
  const auto& poses = path.poses;
  if (poses.size() < 2) {
    LOG_WARN("NavlocalPlanning::spinJudge, nav path too short, size is {}", poses.size());
  }
  const double robot_yaw = base_robot_.quaternion2Yaw(robot.pose.orientation);
  // Without poses there is nothing to face: the heading stays the robot's own.
  double heading = robot_yaw;
  std::optional<std::size_t> found;
  double walked = 0.0;
  for (std::size_t i = 0; i < poses.size() && !found; ++i) {
    walked += i == 0 ? 0.0 : base_robot_.calDistance(poses[i - 1], poses[i]);
    if (walked >= state.look_ahead_length) {
      found = i;
      heading = headingBetween(poses.front(), poses[i]);
    }
  }
  if (!found && !poses.empty()) {
    heading = headingBetween(robot, poses.back());
    if (poses.size() > 1) {
      found = poses.size() - 1;
    }
  }
  state.spin_required =
      !poses.empty() &&
      std::fabs(normalizeAngle(robot_yaw - heading)) >= state.start_spin_threshold &&
      base_robot_.calDistance(poses.front(), poses.back()) >= path_length_tolerance;

  if (zelto_need_rotation_) {
    state.spin_required = true;
    found.reset();
    heading = zelto_rotation_angle_;
    for (std::size_t i = 1; i < poses.size(); ++i) {
      if (base_robot_.calDistance(poses.front(), poses[i]) >=
          state.look_ahead_length + kZeltoExtraLookAhead) {
        found = i;
        heading = headingBetween(poses.front(), poses[i]);
        break;
      }
    }
    trace("!!!!!!!!!!!!zelto need rotation, rotation angle is: {}", heading);
  }

  if (piece.move_backward && found) {
    // Driven tail first: the robot must face away from the path.
    heading = normalizeAngle(heading - kPi);
    state.spin_required = std::fabs(normalizeAngle(robot_yaw - heading)) >= kPi / 2.0;
    if (!piece.check_blocked) {
      state.spin_option = false;
    }
  }
  state.spin_angle = heading;
}

bool NavLocalPlanning::pruningReachablePath(PoseStamped /*robot*/, nav_msgs::msg::Path& path,
                                            double& fuzzy) {
  auto& poses = path.poses;
  if (poses.empty()) {
    return true;
  }
  const Collision::CollisionCheck::Footprint footprint =
      local_gridmap_->getCostmapROS()->getRobotFootprint();
  for (std::size_t k = poses.size(); k-- > 0;) {
    const bool first_test = k + 1 == poses.size();
    if (!collision_check_->isCollisionFreePose(toPose2D(poses[k]), first_test, footprint)) {
      continue;
    }
    fuzzy = base_robot_.calDistance(goal_pose_, poses[k]);
    if (first_test) {
      return false;
    }
    poses.erase(poses.begin() + static_cast<std::ptrdiff_t>(k) + 1, poses.end());
    return true;
  }
  poses.clear();
  return true;
}

double NavLocalPlanning::getRobotPathAngle(const nav_msgs::msg::Path& path,
                                           const PoseStamped& robot) const {
  const auto& poses = path.poses;
  if (poses.size() <= 4) {
    return 0.0;
  }
  if (samePosition(poses[4], poses[0]) || samePosition(poses.back(), poses[poses.size() - 5])) {
    return 0.0;
  }
  return normalizeAngle(base_robot_.quaternion2Yaw(robot.pose.orientation) -
                        headingBetween(poses[0], poses[4]));
}

void NavLocalPlanning::reversePath(nav_msgs::msg::Path& path) const {
  auto& poses = path.poses;
  const std::size_t n = poses.size();
  if (n == 0) {
    return;
  }
  std::vector<double> yaws(n, 0.0);
  for (std::size_t i = 0; i < n && n > 1; ++i) {
    const std::size_t ahead = i + 1 < n ? i + 1 : i;
    const std::size_t behind = i > 0 ? i - 1 : i;
    yaws[i] = headingBetween(poses[ahead], poses[behind]);
  }
  for (std::size_t i = 0; i < n; ++i) {
    poses[i].pose.orientation = geometry::yawToQuaternion(yaws[i]);
  }
}

bool NavLocalPlanning::backwardMovement(Path& piece, const PoseStamped& robot) {
  if (goal_flags_[1] == 0) {
    return false;
  }
  const double angle = getRobotPathAngle(piece.nav_path, robot);
  if (planning_mode_ != local_keys::kForceBackwardMode && std::fabs(angle) <= kPi / 2.0) {
    return false;
  }
  piece.move_backward = true;
  reversePath(piece.nav_path);
  return true;
}

}  // namespace planning
