// The obstacle stop of the static coverage planner: the robot stands for a dynamic obstacle on
// its path for a while, then goes around it.
#include "logger/logger.hpp"
#include "planning/local_planning/coverage/coverage_steps.hpp"
#include "planning/local_planning/coverage/static_coverage_planning.hpp"

namespace planning {

namespace {

using coverage::secondsBetween;

// Obstacles nearer than this along the path ahead do not count: the robot stands on them.
constexpr double kDynamicObstacleFirstDistance = 0.2;

}  // namespace

bool StaticCoveragePlanning::stopObstacle(nav_msgs::msg::Path& path, ControlState& state,
                                          Path& out) {
  if (is_stopping_) {
    const TimePoint current = now();
    if (secondsBetween(stop_start_time_, current) <= wait_dyn_obstacle_time_) {
      state.wait_state = 0;
      out.nav_path.poses.push_back(robot_pose_);
      return true;
    }
    LOG_INFO("停障等待到最大时长，结束停障开始绕障");
    is_stopping_ = false;
    stop_end_time_ = current;
  }
  if (!stop_dynamic_obstacle_) {
    return false;
  }
  const TimePoint current = now();
  double distance = 0.0;
  const bool found = path_product_->hasDynamicObstacle(
      path, local_gridmap_, kDynamicObstacleFirstDistance, stop_obstacle_distance_, distance,
      dynamic_obstacle_checkout_range_, robot_pose_);
  if (found && secondsBetween(stop_end_time_, current) > stop_obstacle_trigger_interval_time_) {
    is_stopping_ = true;
    stop_start_time_ = current;
    out.nav_path.poses.push_back(robot_pose_);
    return true;
  }
  return false;
}

bool StaticCoveragePlanning::hasObstacle(std::shared_ptr<GridMapROS> map,
                                         const nav_msgs::msg::Path& path, int count, int limit,
                                         double threshold) {
  return smoothing_->hasObstacle(map, path, count, limit, threshold);
}

}  // namespace planning
