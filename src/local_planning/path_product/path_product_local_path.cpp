// The local stretch of a global path and the first blocked pose ahead.

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/path_product.hpp"

namespace planning {

using geometry::planarDistance;
using geometry_msgs::msg::PoseStamped;

namespace {

// The robot must be this close to the path to take a local stretch from it, metres.
constexpr double kNearestPoseLimit = 0.3;
// The nearest pose is sought within this much path from its start, metres.
constexpr double kNearestSearchLength = 5.0;
// A local stretch reaches this far from the robot, metres.
constexpr double kLocalReach = 2.5;
// Beyond this distance from pose 0 the robot is looked for along the path, metres.
constexpr double kOnPathStartDistance = 1.0;
// A goal this close to the robot, with the path's end as close, becomes the end, metres.
constexpr double kNearEndDistance = 1.5;

// Index of the pose nearest to the robot among the poses within the first
// kNearestSearchLength of path (the pose that reaches it included); later poses
// win ties.
size_t nearestPoseNearStart(const PoseStamped& robot, const std::vector<PoseStamped>& poses,
                            double& nearest) {
  nearest = std::numeric_limits<double>::max();
  size_t nearest_index = 0;
  double walked = 0.0;
  const PoseStamped* previous = &poses.front();
  for (size_t i = 0; i < poses.size(); ++i) {
    const double d = planarDistance(robot, poses[i]);
    walked += planarDistance(*previous, poses[i]);
    previous = &poses[i];
    if (nearest >= d) {
      nearest = d;
      nearest_index = i;
    }
    if (walked >= kNearestSearchLength) {
      break;
    }
  }
  return nearest_index;
}

// Index of the pose nearest to the robot over the whole path; earlier poses
// win ties.
size_t nearestPose(const PoseStamped& robot, const std::vector<PoseStamped>& poses) {
  double nearest = std::numeric_limits<double>::max();
  size_t nearest_index = 0;
  for (size_t i = 0; i < poses.size(); ++i) {
    const double d = planarDistance(robot, poses[i]);
    if (d < nearest) {
      nearest = d;
      nearest_index = i;
    }
  }
  return nearest_index;
}

// Walks the path from its second pose, summing segment lengths, until `range`
// is passed (false) or a pose's cell is `blocked` (true: `index` is the pose
// before it, `distance` the length up to it). A pose off the map ends the walk
// with true and leaves both untouched. Its records name `operation`, the caller.
template <typename Blocked>
bool walkToFirstBlocked(const char* operation, const BaseRobot& base_robot,
                        const std::vector<PoseStamped>& poses, const geometry::MapView& view,
                        double range, int& index, double& distance, Blocked blocked) {
  double walked = 0.0;
  for (size_t i = 1; i < poses.size(); ++i) {
    walked += base_robot.calDistance(poses[i], poses[i - 1]);
    if (!(range >= walked)) {
      return false;
    }
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!view.toCell(poses[i], mx, my)) {
      LOG_WARN_FROM(operation, "PathProduct::startLocalPlan worldToMap failed!!!");
      return true;
    }
    if (blocked(mx, my)) {
      distance = walked;
      index = static_cast<int>(i) - 1;
      LOG_DEBUG_FROM(operation, "There is obstacle in the front!!!");
      return true;
    }
  }
  return false;
}

}  // namespace

bool PathProduct::getLocalPathFromGlobal(
    const PoseStamped& robot_pose, nav_msgs::msg::Path& global,
    std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map, nav_msgs::msg::Path& local) const {
  const auto& poses = global.poses;
  if (poses.size() < 2) {
    return false;
  }
  geometry::MapView view;
  if (!geometry::openMap(grid_map, "PathProduct", "getLocalPathFromGlobal", view)) {
    return false;
  }
  double nearest = 0.0;
  const size_t first = nearestPoseNearStart(robot_pose, poses, nearest);
  if (nearest >= kNearestPoseLimit) {
    return false;
  }

  long end = -1;
  long start = -1;
  double smallest = std::numeric_limits<double>::max();
  for (size_t i = first; i < poses.size(); ++i) {
    end = i == first ? -1 : static_cast<long>(i) - 1;
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!view.toCell(poses[i], mx, my)) {
      break;
    }
    const double d = planarDistance(robot_pose, poses[i]);
    if (!(kLocalReach >= d)) {
      break;
    }
    if (view.grid->inDanger(mx, my, 0)) {
      LOG_DEBUG("PathProduct::getLocalPathFromGlobal oops mx my {} {} is obstacle", mx, my);
      return false;
    }
    if (d < smallest) {
      start = static_cast<long>(i);
    }
    smallest = std::min(smallest, d);
    if (i + 1 == poses.size()) {
      end = static_cast<long>(i);
      break;
    }
  }
  if (end == -1 || start == -1 || start + 2 >= end) {
    return false;
  }

  std::vector<PoseStamped> stretch(poses.begin() + start, poses.begin() + end);
  geometry::setYawKeepingXY(stretch.back().pose.orientation, getLocalGoalYaw(global, end));
  global.poses.erase(global.poses.begin(), global.poses.begin() + start);
  local.poses = std::move(stretch);
  return true;
}

bool PathProduct::globalPathCut(const PoseStamped& robot_pose, nav_msgs::msg::Path& global,
                                std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map,
                                PoseStamped& local_goal) const {
  const auto& poses = global.poses;
  if (poses.empty()) {
    return false;
  }
  geometry::MapView view;
  if (!geometry::openMap(grid_map, "PathProduct", "globalPathCut", view)) {
    return false;
  }
  const long last = static_cast<long>(poses.size()) - 1;
  long start = 0;
  if (planarDistance(robot_pose, poses.front()) > kOnPathStartDistance) {
    start = static_cast<long>(nearestPose(robot_pose, poses));
  }

  unsigned int mx = 0;
  unsigned int my = 0;
  // The goal candidate stays two poses short of where the path leaves the map.
  long end = last;
  for (long k = start; k <= last; ++k) {
    if (!view.toCell(poses[k], mx, my)) {
      end = k - 2;
      break;
    }
  }
  // A path that leaves the map at its first or second pose names no candidate.
  if (end < 0 || !view.toCell(poses[end], mx, my)) {
    LOG_ERROR("PathProduct::globalPathCut can not get free goal 1");
    return false;
  }
  while (start < end) {
    if (!view.grid->inDanger(mx, my, 0)) {
      break;
    }
    --end;
    if (!view.toCell(poses[end], mx, my)) {
      LOG_ERROR("PathProduct::globalPathCut can not get free goal 2");
      return false;
    }
  }
  if (end <= start) {
    LOG_WARN("index_end <= index_start index_end={},index_start={}", end, start);
    return false;
  }

  if (planarDistance(robot_pose, poses[end]) < kNearEndDistance &&
      planarDistance(robot_pose, poses[last]) < kNearEndDistance) {
    end = last;
  }
  PoseStamped goal = poses[end];
  geometry::setYawKeepingXY(goal.pose.orientation, getLocalGoalYaw(global, end));
  global.poses.erase(global.poses.begin(), global.poses.begin() + end);
  local_goal = std::move(goal);
  return true;
}

bool PathProduct::startLocalPlan(const nav_msgs::msg::Path& path,
                                 std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map,
                                 double range, int& index, double& distance) const {
  const auto& poses = path.poses;
  if (poses.size() < 2) {
    return false;
  }
  geometry::MapView view;
  if (!geometry::openMap(grid_map, "PathProduct", "startLocalPlan", view)) {
    return false;
  }
  return walkToFirstBlocked(
      "startLocalPlan", base_robot_, poses, view, range, index, distance,
      [&view](unsigned int mx, unsigned int my) { return view.grid->inDanger(mx, my, 0); });
}

bool PathProduct::startLocalPlanWithMorphology(
    const cv::Mat& obstacle_image, const nav_msgs::msg::Path& path,
    std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map, double range, int& index,
    double& distance, double /*start*/) const {
  const auto& poses = path.poses;
  if (poses.size() < 2) {
    return false;
  }
  geometry::MapView view;
  if (!geometry::openMap(grid_map, "PathProduct", "startLocalPlanWithMorphology", view)) {
    return false;
  }
  // Every cell of the map must have its pixel, or the lookup below would read
  // outside the image.
  const unsigned int size_x = view.costmap->getSizeInCellsX();
  const unsigned int size_y = view.costmap->getSizeInCellsY();
  if (obstacle_image.dims != 2 || obstacle_image.type() != CV_8UC1 ||
      static_cast<unsigned int>(obstacle_image.cols) < size_x ||
      static_cast<unsigned int>(obstacle_image.rows) < size_y) {
    LOG_ERROR(
        "PathProduct::startLocalPlanWithMorphology obstacle image {}x{} does not cover the map "
        "{}x{}",
        obstacle_image.cols, obstacle_image.rows, size_x, size_y);
    return false;
  }
  return walkToFirstBlocked("startLocalPlanWithMorphology", base_robot_, poses, view, range, index,
                            distance, [&obstacle_image](unsigned int mx, unsigned int my) {
                              return obstacle_image.ptr<unsigned char>(static_cast<int>(my))[mx] ==
                                     0;
                            });
}

}  // namespace planning
