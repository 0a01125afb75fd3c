// The local path of one cycle from the current row or edge path: the approach by grid search,
// then the follow from the robot on, with blocked poses cleared and gaps bridged.
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <optional>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/coverage/static_coverage_planning.hpp"
#include "planning/search_options.hpp"

namespace planning {

using geometry::headingBetween;
using geometry::planarDistance;
using geometry::setYawKeepingXY;

namespace {

// Reach of an edge path: within this much of a free pose the robot is on it.
constexpr double kEdgeReach = 1.0;
// Reach of a row once it has a pose with more room than the robot's front.
constexpr double kOpenRowReach = 0.25;
// An entry pose this close is taken as it is, without a search.
constexpr double kEntryCopyDistance = 0.1;
// Blocked poses are cleared within this much of path from the start of a followed path.
constexpr double kClearBlockedLength = 1.0;

// The record of every search of the local path: nothing but its three tolerances and the budget.
AstarOptions localPathSearchOptions() {
  SearchFields fields;
  fields.start_tolerance = 0.2;
  fields.goal_tolerance = 0.1;
  fields.path_tolerance = 0.25;
  fields.budget = kSearchBudget;
  return searchOptions(fields);
}

}  // namespace

double StaticCoveragePlanning::freeClearance(int32_t kind) const {
  return kind == kRowApproach || kind == kRowFollow ? footprint_max_y_ + coverage_threshold_offset_
                                                    : footprint_max_y_;
}

bool StaticCoveragePlanning::zoneDistance(const PoseStamped& pose, double& distance) const {
  unsigned int mx = 0;
  unsigned int my = 0;
  const auto grid = third_gridmap_->getMultiGridMap();
  if (!grid->getCostmap()->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my)) {
    return false;
  }
  distance = grid->getDistance(mx, my);
  return true;
}

std::optional<bool> StaticCoveragePlanning::poseIsFree(const PoseStamped& pose, double clearance,
                                                       double& distance) const {
  if (!zoneDistance(pose, distance)) {
    LOG_ERROR("StaticCoveragePlanning::makePlan worldToMap failed");
    return std::nullopt;
  }
  return distance > clearance;
}

bool StaticCoveragePlanning::search(const PoseStamped& start, const PoseStamped& goal,
                                    bool with_global, nav_msgs::msg::Path& found) const {
  const auto options = localPathSearchOptions();
  Path result;
  for (const auto& engine : {local_planner_, with_global ? global_planner_ : nullptr}) {
    if (engine && engine->searchPath(start, goal, options, result) &&
        !result.nav_path.poses.empty()) {
      found = std::move(result.nav_path);
      return true;
    }
  }
  return false;
}

bool StaticCoveragePlanning::planLocalPathFromGlobal(Path& global, nav_msgs::msg::Path& local,
                                                     ControlState& state) {
  const double reach = global.path_type > kRowFollow ? kEdgeReach : footprint_radius_;
  updateRobotPose();
  Step step = Step::kClose;
  if (!global.nav_path.poses.empty()) {
    local.poses.clear();
    if (global.path_type == kRowApproach || global.path_type == kFirstEdgeApproach) {
      step = approach(global, local, state, reach);
    } else if (global.path_type == kRowFollow || global.path_type == kEdgeFollow) {
      step = Step::kFollow;
    }
    if (step == Step::kFollow) {
      step = followPath(global, local, state);
    }
  }
  if (step != Step::kClose) {
    return step == Step::kDone;
  }
  if (local.poses.empty()) {
    // Nothing to drive: the robot stays where it is.
    if (getNextGlobalPath(global) >= 0) {
      local.poses.push_back(robot_pose_);
    }
  } else {
    cutLocalPathOutofBound(local);
  }
  calculateCleaningEfficiency(global, local, state);
  return true;
}

StaticCoveragePlanning::Step StaticCoveragePlanning::approach(Path& global,
                                                              nav_msgs::msg::Path& local,
                                                              ControlState& state, double reach) {
  auto& poses = global.nav_path.poses;
  const double clearance = freeClearance(global.path_type);
  for (std::size_t i = 0; i < poses.size(); ++i) {
    double distance = 0.0;
    const auto free = poseIsFree(poses[i], clearance, distance);
    if (!free) {
      return Step::kFailed;
    }
    if (!*free) {
      continue;
    }
    if (distance > footprint_max_x_ && global.path_type == kRowApproach) {
      reach = kOpenRowReach;
    }
    const auto before = poses.begin() + static_cast<std::ptrdiff_t>(i);
    if (base_robot_.calDistance(poses[i], robot_pose_) < reach) {
      global.path_type += 1;
      updateCurrentGlobalPath(global);
      poses.erase(poses.begin(), before);
      updateCurrentGlobalPath(global);
      return Step::kFollow;
    }
    nav_msgs::msg::Path found;
    if (search(robot_pose_, poses[i], true, found)) {
      Path approach_path;
      approach_path.nav_path = std::move(found);
      updateLocalPathOrientation(approach_path, global.nav_path);
      local.poses = std::move(approach_path.nav_path.poses);
      poses.erase(poses.begin(), before);
      updateCurrentGlobalPath(global);
      return Step::kClose;
    }
  }
  // Not a pose of the path can be reached: the path goes.
  if (dropPathAndFinishWhenNoneLeft(global, local, state)) {
    return Step::kDone;
  }
  return global.path_type == kRowFollow || global.path_type == kEdgeFollow ? Step::kFollow
                                                                           : Step::kClose;
}

StaticCoveragePlanning::Step StaticCoveragePlanning::followPath(Path& global,
                                                                nav_msgs::msg::Path& local,
                                                                ControlState& state) {
  auto& poses = global.nav_path.poses;
  const double clearance = freeClearance(global.path_type);
  // Poses the robot has already passed are no entry, however far behind a cut corner left them.
  const std::size_t passed = nearestAhead(poses);
  std::size_t entry = passed;
  double entry_distance = std::numeric_limits<double>::infinity();
  bool entry_is_last = false;
  bool found_entry = false;
  for (std::size_t i = passed; i < poses.size() && !found_entry; ++i) {
    const double d = planarDistance(robot_pose_, poses[i]);
    double distance = 0.0;
    const auto free = poseIsFree(poses[i], clearance, distance);
    if (!free) {
      return Step::kFailed;
    }
    if (!*free) {
      continue;
    }
    const bool last = i + 1 == poses.size();
    if (d >= footprint_max_x_ || last) {
      entry = i;
      entry_distance = d;
      entry_is_last = last;
      found_entry = true;
    } else {
      // A free pose within the robot's front, not the last: should no entry follow, the robot
      // stands on it and every pose after it is blocked. Joined back to it, the robot turned
      // round on the spot cycle after cycle, forward along the path and back to it; the blocked
      // rest after it is joined instead.
      entry = i + 1;
    }
  }
  poses.erase(poses.begin(), poses.begin() + static_cast<std::ptrdiff_t>(entry));
  clearPointsBlocked(global);
  local.poses.clear();
  int offset = 0;
  if (entry_distance < kEntryCopyDistance) {
    local.poses = poses;
  } else if (!joinRobotToPath(global, local, !entry_is_last, offset)) {
    LOG_ERROR("StaticCoveragePlanning::makePlan Replan3 failed");
    if (dropPathAndFinishWhenNoneLeft(global, local, state)) {
      return Step::kDone;
    }
    offset = 0;
  }
  fixPathsBlocked(global, local, offset);
  preloadNextGlobalPath(global);
  return Step::kClose;
}

std::size_t StaticCoveragePlanning::nearestAhead(const std::vector<PoseStamped>& poses) const {
  std::size_t nearest = 0;
  double nearest_distance = std::numeric_limits<double>::max();
  double length = 0.0;
  for (std::size_t i = 0; i < poses.size() && length <= kClearBlockedLength; ++i) {
    if (i > 0) {
      length += planarDistance(poses[i - 1], poses[i]);
    }
    const double d = planarDistance(robot_pose_, poses[i]);
    if (d < nearest_distance) {
      nearest_distance = d;
      nearest = i;
    }
  }
  return nearest;
}

bool StaticCoveragePlanning::joinRobotToPath(Path& global, nav_msgs::msg::Path& local,
                                             bool with_global, int& offset) {
  auto& poses = global.nav_path.poses;
  for (std::size_t j = 0; j < poses.size(); ++j) {
    nav_msgs::msg::Path found;
    if (search(robot_pose_, poses[j], with_global, found)) {
      poses.erase(poses.begin(), poses.begin() + static_cast<std::ptrdiff_t>(j));
      offset = static_cast<int>(found.poses.size());
      local.poses = std::move(found.poses);
      local.poses.insert(local.poses.end(), poses.begin(), poses.end());
      return true;
    }
  }
  return false;
}

// Only the path that cannot be reached goes: dropping the whole cache here ended a task as
// finished with most of its zone not cleaned, for one row behind a table's legs.
bool StaticCoveragePlanning::dropPathAndFinishWhenNoneLeft(Path& global, nav_msgs::msg::Path& local,
                                                           ControlState& state) {
  auto& paths = global_paths_->paths;
  if (!paths.empty()) {
    paths.erase(paths.begin());
  }
  updateGlobalPaths(*global_paths_);
  if (getNextGlobalPath(global) > 0) {
    return false;
  }
  calculateCleaningEfficiency(global, local, state);
  state.finished = true;
  return true;
}

void StaticCoveragePlanning::clearPointsBlocked(Path& global) {
  auto& poses = global.nav_path.poses;
  if (poses.empty() || (global.path_type != kRowFollow && global.path_type != kEdgeFollow)) {
    return;
  }
  std::size_t start = poses.size() - 1;
  double length = 0.0;
  for (std::size_t u = 0; u + 1 < poses.size(); ++u) {
    length += base_robot_.calDistance(poses[u], poses[u + 1]);
    if (length > kClearBlockedLength) {
      start = u;
      break;
    }
  }
  const double clearance = freeClearance(global.path_type);
  for (std::size_t m = start + 1; m-- > 0;) {
    double distance = 0.0;
    if (!zoneDistance(poses[m], distance)) {
      LOG_ERROR("StaticCoveragePlanning::makePlan worldToMap failed");
      return;
    }
    if (distance <= clearance) {
      poses.erase(poses.begin() + static_cast<std::ptrdiff_t>(m));
    }
  }
}

void StaticCoveragePlanning::fixPathsBlocked(const Path& global, nav_msgs::msg::Path& local,
                                             int offset) {
  const auto& poses = global.nav_path.poses;
  for (std::size_t k = poses.size(); k-- > 1;) {
    if (planarDistance(poses[k - 1], poses[k]) < footprint_radius_) {
      continue;
    }
    // Global pose k sits at offset + k of the local path; a bridge past its end has no place.
    const std::size_t at = static_cast<std::size_t>(std::max(offset, 0)) + k;
    if (at > local.poses.size()) {
      continue;
    }
    nav_msgs::msg::Path bridge;
    if (search(poses[k - 1], poses[k], false, bridge)) {
      local.poses.insert(local.poses.begin() + static_cast<std::ptrdiff_t>(at),
                         bridge.poses.begin(), bridge.poses.end());
    }
  }
}

void StaticCoveragePlanning::updateLocalPathOrientation(Path& approach,
                                                        const nav_msgs::msg::Path& global) {
  auto& poses = approach.nav_path.poses;
  if (poses.empty()) {
    return;
  }
  if (poses.size() >= 2) {
    setYawKeepingXY(poses.front().pose.orientation, headingBetween(poses.front(), poses.back()));
  }
  if (global.poses.size() >= 2) {
    setYawKeepingXY(poses.back().pose.orientation,
                    headingBetween(global.poses.front(), global.poses.back()));
  } else {
    poses.back().pose.orientation = robot_pose_.pose.orientation;
  }
}

void StaticCoveragePlanning::cutLocalPathOutofBound(nav_msgs::msg::Path& local) {
  const auto costmap = local_gridmap_->getMultiGridMap()->getCostmap();
  auto& poses = local.poses;
  for (auto it = poses.begin(); it != poses.end(); ++it) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!costmap->worldToMap(it->pose.position.x, it->pose.position.y, mx, my)) {
      poses.erase(it, poses.end());
      return;
    }
  }
}

bool StaticCoveragePlanning::isNextToTheObstacle(int obstacle_count, double area,
                                                 const Cells& contour) const {
  const int n = static_cast<int>(contour.size());
  const double length = contour.empty() ? 0.0 : cv::arcLength(contour, true);
  const double density = length > 0.0 ? area / length : 0.0;
  const int s = n / 3;
  const double cell_area = resolution_ * resolution_;
  if (obstacle_count >= s && (area < 50.0 || (area < 100.0 && density > 10.0))) {
    return true;
  }
  double limit = 0.0;
  if (obstacle_count == n) {
    if (area < 2.0 / cell_area) {
      return true;
    }
    if (obstacle_count < 2 * s) {
      return area < 4.0 / cell_area;
    }
    limit = 4.0 / cell_area;
  } else {
    if (obstacle_count < 2 * s) {
      return false;
    }
    limit = 2.0 / cell_area;
  }
  if (area < limit) {
    return true;
  }
  const double w = complex_density_width_ / resolution_;
  const double complex_density = area / (2.0 * (w + area / w));
  if (area > complex_contour_area_ / cell_area || complex_density < density) {
    return false;
  }
  LOG_INFO("obstacle_count={},area={},density={},complex_density={} ", obstacle_count, area,
           density, complex_density);
  return true;
}

}  // namespace planning
