// The smoothing of the dynamic coverage planner's local paths, after its makePlan in the same
// cycle, and the straightening of new contour paths.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "logger/logger.hpp"
#include "planning/local_planning/coverage/dynamic_coverage_planning.hpp"

namespace planning {

namespace {

// Poses within this distance of an obstacle count towards a corner worth cutting...
constexpr double kCornerObstacleDistance = 0.5;
// ...when at least this many of them lie before the corner index.
constexpr int kCornerObstaclePoses = 3;
// A corner search slower than this is reported, milliseconds.
constexpr int64_t kSlowCornerSearch = 10;
// The outside smoother's weights and steps after its obstacle distance, in the order
// PathSmoother::config takes them.
constexpr double kObstacleWeight = 0.5;
constexpr double kCurvatureWeight = 0.0;
constexpr double kSmoothnessWeight = 0.0;
constexpr double kPredictionWeight = 0.005;
constexpr double kCutLength = 0.3;
constexpr double kResampleStep = 0.05;
// The mean smoothing takes no wider window than this many poses.
constexpr double kWidestMeanWindow = 1e6;

}  // namespace

bool DynamicCoveragePlanning::pathSmooter(nav_msgs::msg::Path& path) {
  bool ok = true;
  if (path.poses.size() >= 2) {
    const std::size_t corner = smoothing_->cornerIndex(path, inside_corner_detection_distance_);
    const bool obstacle = hasObstacle(local_gridmap_, path, static_cast<int>(corner),
                                      kCornerObstaclePoses, kCornerObstacleDistance);
    const auto started = std::chrono::steady_clock::now();
    // Every try asks for the robot pose again, and a pose that is not there may keep each
    // asking waiting: without one now, no corner is looked for.
    if (takeRobotPose()) {
      CoverageSmoothing::searchInsideCorner(
          path, obstacle, inside_corner_detection_distance_,
          [this](nav_msgs::msg::Path& p, bool near_obstacle, double distance) {
            return insideCornerSmootherWitrhDistance(p, near_obstacle, distance);
          });
    }
    const auto used = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
    if (used > kSlowCornerSearch) {
      LOG_WARN("insideCornerSmootherWitrhDistance use time {} ms ", static_cast<int64_t>(used));
    }
    path_product_->resamplePath(path, static_cast<float>(path_sample_distance_));
    removeConcavePoints(path, local_gridmap_, max_dis_threshold_, local_path_offset_, false);
    const CoverageSmoothing::SmootherConfig config{
        safe_distance_,    kObstacleWeight, kCurvatureWeight, kSmoothnessWeight,
        kPredictionWeight, kCutLength,      kResampleStep};
    // Never smoothed from a pose the robot does not have (the map origin).
    ok = smoothing_->runPathSmoother(*path_smoother_, path, config,
                                     robot_pose_valid_ ? &robot_pose_ : nullptr);
    path_product_->resamplePath(path, static_cast<float>(coverage_resolution_));
    const double window = smooth_window_size_ >= 1.0 ? smooth_window_size_ : 1.0;
    meanSmoothing(path, static_cast<int>(std::min(window, kWidestMeanWindow)));
    if (!ok) {
      LOG_ERROR("DynamicCoveragePlanning path smooth failed !!!!!!");
    }
  }
  // A path without a frame cannot be followed: it takes the frame of the robot pose.
  if (path.header.frame_id.empty()) {
    path.header = robot_pose_.header;
  }
  return ok;
}

bool DynamicCoveragePlanning::insideCornerSmootherWitrhDistance(nav_msgs::msg::Path& path,
                                                                const bool& obstacle,
                                                                double distance) {
  if (!takeRobotPose()) {
    return false;
  }
  return smoothing_->cutInsideCorner(path, obstacle, distance, robot_pose_);
}

nav_msgs::msg::Path DynamicCoveragePlanning::removeConcavePoints(nav_msgs::msg::Path& path,
                                                                 std::shared_ptr<GridMapROS> map,
                                                                 double max_distance, double offset,
                                                                 bool global) {
  return smoothing_->removeConcavePoints(path, map, max_distance, offset, global);
}

void DynamicCoveragePlanning::meanSmoothing(nav_msgs::msg::Path& path, int window) {
  meanSmoothingWithPose(path, window, robot_pose_);
}

}  // namespace planning
