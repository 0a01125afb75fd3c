// The smoothing of the static coverage planner's local paths, after its makePlan in the same
// cycle.
#include "logger/logger.hpp"
#include "planning/local_planning/coverage/static_coverage_planning.hpp"

namespace planning {

namespace {

// Resampling step around the outside smoother, metres.
constexpr float kFineResampleStep = 0.02F;
// Poses averaged by the mean smoothing.
constexpr int kMeanWindow = 8;
// Poses within this distance of an obstacle count towards a corner worth cutting...
constexpr double kCornerObstacleDistance = 0.5;
// ...when at least this many of them lie before the corner index.
constexpr int kCornerObstaclePoses = 3;
// A path cut down to this many poses is driven as it is, from the robot.
constexpr std::size_t kShortPathPoses = 2;

}  // namespace

bool StaticCoveragePlanning::pathSmooter(nav_msgs::msg::Path& path) {
  if (skip_smoother_ || path.poses.empty()) {
    return true;
  }
  // Never smoothed from, nor started at, a pose the robot does not have.
  if (!robot_pose_valid_) {
    LOG_ERROR("StaticCoveragePlanning::pathSmooter no robot pose, the path is not smoothed");
    return false;
  }
  path_product_->cutSharp(path.poses, cut_sharp_angle_threshold_, resolution_,
                          cut_sharp_forward_dis_);
  bool ok = true;
  if (path.poses.size() <= kShortPathPoses) {
    startFromRobot(path);
  } else {
    ok = smoothLongPath(path);
  }
  // A path without a frame cannot be followed: it takes the frame of the robot pose.
  if (path.header.frame_id.empty()) {
    path.header = robot_pose_.header;
  }
  return ok;
}

void StaticCoveragePlanning::startFromRobot(nav_msgs::msg::Path& path) {
  LOG_WARN("StaticCoveragePlanning::pathSmooter, local path size is {}, insert the current pose",
           path.poses.size());
  LOG_WARN("current pose is x: {}, y: {} ", robot_pose_.pose.position.x,
           robot_pose_.pose.position.y);
  nav_msgs::msg::Path from_robot;
  from_robot.poses.push_back(robot_pose_);
  for (const auto& pose : path.poses) {
    LOG_WARN("local path pose, x: {}, y: {}", pose.pose.position.x, pose.pose.position.y);
    from_robot.poses.push_back(pose);
  }
  path_product_->resamplePath(from_robot, kFineResampleStep);
  path = from_robot;
  for (std::size_t i = 0; i < path.poses.size(); ++i) {
    LOG_WARN("resample local path finish, x: {}, y: {}, index: {}", path.poses[i].pose.position.x,
             path.poses[i].pose.position.y, i);
  }
}

bool StaticCoveragePlanning::smoothLongPath(nav_msgs::msg::Path& path) {
  const std::size_t corner = smoothing_->cornerIndex(path, inside_corner_detection_distance_);
  const bool obstacle = hasObstacle(local_gridmap_, path, static_cast<int>(corner),
                                    kCornerObstaclePoses, kCornerObstacleDistance);
  // Every try asks for the robot pose again, and a pose that is not there may keep each asking
  // waiting: without one now, no corner is looked for.
  if (updateRobotPose()) {
    CoverageSmoothing::searchInsideCorner(
        path, obstacle, inside_corner_detection_distance_,
        [this](nav_msgs::msg::Path& p, bool near_obstacle, double distance) {
          return insideCornerSmootherWitrhDistance(p, near_obstacle, distance);
        });
  }
  path_product_->resamplePath(path, static_cast<float>(path_sample_distance_));
  const bool ok =
      smoothing_->runPathSmoother(*path_smoother_, path, gradient_smoother_, &robot_pose_);
  path_product_->resamplePath(path, kFineResampleStep);
  meanSmoothingWithPose(path, kMeanWindow, robot_pose_);
  path_product_->resamplePath(path, static_cast<float>(resolution_));
  path.poses.insert(path.poses.begin(), robot_pose_);
  if (!ok) {
    LOG_ERROR("StaticCoveragePlanning path smooth failed !!!!!!");
  }
  return ok;
}

bool StaticCoveragePlanning::insideCornerSmootherWitrhDistance(nav_msgs::msg::Path& path,
                                                               const bool& obstacle,
                                                               double distance) {
  if (!updateRobotPose()) {
    return false;
  }
  return smoothing_->cutInsideCorner(path, obstacle, distance, robot_pose_);
}

nav_msgs::msg::Path StaticCoveragePlanning::removeConcavePoints(nav_msgs::msg::Path& path,
                                                                std::shared_ptr<GridMapROS> map,
                                                                double max_distance, double offset,
                                                                bool global) {
  return smoothing_->removeConcavePoints(path, map, max_distance, offset, global);
}

}  // namespace planning
