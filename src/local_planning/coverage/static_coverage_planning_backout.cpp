// The back-out test on every local path: in a narrow place the robot backs out instead of
// turning round on the spot.
#include <cmath>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/coverage/static_coverage_planning.hpp"

namespace planning {

namespace {

// Sideways probes of the free-place search grow by this much.
constexpr double kFreePlaceProbeStep = 0.1;
// The clearance of a narrow path is sampled at every third pose.
constexpr std::size_t kNarrowProbeStride = 3;

using geometry::headingBetween;

// Obstacle distance at (x, y) on the grid map; false off it.
bool distanceAt(const vantrell_nav2_gridmap::GridMapROS& map, double x, double y,
                double& distance) {
  unsigned int mx = 0;
  unsigned int my = 0;
  const auto grid = map.getMultiGridMap();
  if (!grid->getCostmap()->worldToMap(x, y, mx, my)) {
    return false;
  }
  distance = grid->getDistance(mx, my);
  return true;
}

}  // namespace

bool StaticCoveragePlanning::judgePointRotation(nav_msgs::msg::Path& path) {
  auto& poses = path.poses;
  if (poses.size() < 4) {
    return false;
  }
  for (std::size_t i = 1; i + 1 < poses.size(); ++i) {
    geometry::setYawKeepingXY(poses[i].pose.orientation,
                              headingBetween(poses[i - 1], poses[i + 1]));
  }
  poses.front().pose.orientation = poses[1].pose.orientation;
  poses.back().pose.orientation = poses[poses.size() - 2].pose.orientation;

  double obstacle_distance = 0.0;
  if (!distanceAt(*local_gridmap_, robot_pose_.pose.position.x, robot_pose_.pose.position.y,
                  obstacle_distance)) {
    LOG_ERROR("StaticCoveragePlanning::judgePointRotation Failed worldToMap");
    return false;
  }
  const double turn =
      base_robot_.calDelAngle(base_robot_.quaternion2Yaw(robot_pose_.pose.orientation),
                              base_robot_.quaternion2Yaw(poses[0].pose.orientation));
  const bool back = isNarrowPath(path) && obstacle_distance <= free_obstacle_dis_ &&
                    std::fabs(turn) > dif_angle_tolerance_;
  if (!back) {
    return false;
  }
  LOG_ERROR("robot need back, cur_obs_dis {}, del_theta {}, and in narrow path", obstacle_distance,
            turn);
  const int free_index = freePlaceIndex(path);
  if (free_index >= 0 && cut_path_) {
    LOG_WARN("StaticCoveragePlanning::judgePointRotation cut the nav_path, free index is {}",
             free_index);
    poses.resize(static_cast<std::size_t>(free_index));
  }
  return true;
}

int StaticCoveragePlanning::freePlaceIndex(const nav_msgs::msg::Path& path) const {
  const auto& poses = path.poses;
  if (jump_index_ < 0 || static_cast<std::size_t>(jump_index_) >= poses.size()) {
    return -1;
  }
  for (std::size_t i = static_cast<std::size_t>(jump_index_); i < poses.size(); ++i) {
    const auto& position = poses[i].pose.position;
    const double heading = base_robot_.quaternion2Yaw(poses[i].pose.orientation);
    const double left_x = -std::sin(heading);
    const double left_y = std::cos(heading);
    for (double r = 0.0; r <= margin_dis_; r += kFreePlaceProbeStep) {
      int marked = -1;
      for (const double side : {0.0, 1.0, -1.0}) {
        double distance = 0.0;
        if (!distanceAt(*local_gridmap_, position.x + side * r * left_x,
                        position.y + side * r * left_y, distance)) {
          marked = static_cast<int>(i) - 1;
          break;
        }
        if (distance > free_obstacle_dis_) {
          marked = static_cast<int>(i);
          break;
        }
      }
      // A mark at the start index itself does not end the search.
      if (marked > jump_index_) {
        return marked;
      }
    }
  }
  return -1;
}

bool StaticCoveragePlanning::isNarrowPath(const nav_msgs::msg::Path& path) {
  const double yaw = base_robot_.quaternion2Yaw(robot_pose_.pose.orientation);
  const double c = std::cos(yaw);
  const double s = std::sin(yaw);
  const auto& robot = robot_pose_.pose.position;
  const auto costmap = local_gridmap_->getMultiGridMap()->getCostmap();
  for (const auto& point : local_gridmap_->getCostmapROS()->getRobotFootprint()) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!costmap->worldToMap(robot.x + c * point.x - s * point.y,
                             robot.y + s * point.x + c * point.y, mx, my)) {
      LOG_ERROR("StaticCoveragePlanning::judgePointRotation Failed worldToMap");
      return false;
    }
  }
  // The side probes stand across the robot's heading, not the path's.
  const double left_x = -s * path_judge_margin_;
  const double left_y = c * path_judge_margin_;
  double left_sum = 0.0;
  double right_sum = 0.0;
  double length = 0.0;
  int count = 0;
  const auto& poses = path.poses;
  for (std::size_t i = 0, previous = 0; i < poses.size(); previous = i, i += kNarrowProbeStride) {
    const auto& p = poses[i].pose.position;
    double centre = 0.0;
    double left = 0.0;
    double right = 0.0;
    if (!distanceAt(*local_gridmap_, p.x, p.y, centre) ||
        !distanceAt(*local_gridmap_, p.x + left_x, p.y + left_y, left) ||
        !distanceAt(*local_gridmap_, p.x - left_x, p.y - left_y, right)) {
      return false;
    }
    left_sum += left;
    right_sum += right;
    length += base_robot_.calDistance(poses[previous], poses[i]);
    ++count;
    if (length > judge_path_length_) {
      break;
    }
  }
  if (count == 0) {
    return false;
  }
  const double left_mean = left_sum / count;
  const double right_mean = right_sum / count;
  if (left_mean > foot_print_obstacle_dis_tolerance_ ||
      right_mean > foot_print_obstacle_dis_tolerance_) {
    return false;
  }
  LOG_INFO("StaticCoveragePlanning narrow space left dis {}, right dis {}", left_mean, right_mean);
  return true;
}

}  // namespace planning
