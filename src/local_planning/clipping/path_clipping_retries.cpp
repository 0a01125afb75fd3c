// The retries of a failed detour search: jump points on the local map within one planning
// cycle, then the global map across cycles.

#include <algorithm>

#include "planning/codes.hpp"
#include "planning/local_planning/path_clipping.hpp"

namespace planning {

namespace {

// Local retries: the goal jumps this many poses per attempt; the first attempts start at the
// free pose before the obstacle, the later ones at the robot.
constexpr int kJumpPoses = 2;
constexpr int kLastAttemptFromStart = 9;
constexpr int kLastAttempt = 500;

// Global retries: failures that only wait for the next cycle, the tries allowed per reset of
// the counters, and the candidates each try may take per try counted.
constexpr unsigned kFailuresBeforeGlobal = 2;
constexpr unsigned kMaxGlobalTries = 10;
constexpr int kCandidatesPerTry = 50;

// Global candidates lie this many poses apart; a detour must stay shorter than the limit and
// its goal within it of the robot.
constexpr int kCandidateStride = 10;
constexpr double kGlobalDetourLimit = 15.0;

}  // namespace

bool PathClippingBase::localCostmapJumpPointPlanning(const int& start_index, int& end_index,
                                                     bool& from_robot, PoseStamped& robot_pose,
                                                     Path& local_path, Path& out_path) {
  if (!out_path.nav_path.poses.empty()) {
    return true;
  }
  const auto& poses = local_path.nav_path.poses;
  const int last = static_cast<int>(poses.size()) - 1;
  if (start_index < 0 || start_index > last) {
    LOG_WARN(
        "PathClippingBase::localCostmapJumpPointPlanning start index {} is not on a path "
        "of {} poses",
        start_index, poses.size());
    return false;
  }
  const AstarOptions options = clippingOptions(false, 0.5);
  for (int attempt = 1; attempt <= kLastAttempt; ++attempt) {
    end_index = std::max(0, std::min(end_index, last - kJumpPoses) + kJumpPoses);
    const PoseStamped& goal = poses[static_cast<size_t>(end_index)];
    if (!inLocalCostmap(goal)) {
      return false;
    }
    if (attempt <= kLastAttemptFromStart) {
      search(local_planner_, poses[static_cast<size_t>(start_index)], goal, options, out_path);
    } else {
      search(local_planner_, robot_pose, goal, options, out_path);
      from_robot = true;
    }
    if (!out_path.nav_path.poses.empty()) {
      break;
    }
  }
  return true;
}

bool PathClippingBase::globalCostmapJumpPointPlanning(const int& start_index, int& end_index,
                                                      unsigned& local_fail_count,
                                                      unsigned& global_try_count,
                                                      PoseStamped& robot_pose, Path& local_path,
                                                      Path& out_path) {
  if (local_fail_count <= kFailuresBeforeGlobal) {
    ++local_fail_count;
    return true;
  }
  ++global_try_count;
  // Any negative start stands for "no obstacle index": there is nothing to search from.
  if (global_try_count > kMaxGlobalTries || start_index < 0) {
    ++local_fail_count;
    return true;
  }
  end_index = start_index;
  const int max_tries = static_cast<int>(global_try_count) * kCandidatesPerTry;
  if (!tryToMakePlanInGlobalCostmap(local_path, end_index, robot_pose, out_path, max_tries)) {
    LOG_ERROR("LocalWayPoints::makePlan tryToMakePlanInGlobalCostmap failed, error code is {}",
              codes::kLocalPlanFailed);
  }
  ++local_fail_count;
  return true;
}

bool PathClippingBase::tryToMakePlanInGlobalCostmap(Path& local_path, int& index,
                                                    PoseStamped& robot_pose, Path& out_path,
                                                    const int& max_tries) {
  if (global_gridmap_ros_ && global_gridmap_ros_->getMultiGridMap()) {
    global_gridmap_ros_->getMultiGridMap()->updateMap();
  }
  if (!out_path.nav_path.poses.empty()) {
    return true;
  }
  if (index < 0) {
    LOG_WARN("PathClippingBase::tryToMakePlanInGlobalCostmap index {} is not on the path", index);
    return false;
  }
  const auto& poses = local_path.nav_path.poses;
  const int last = static_cast<int>(poses.size()) - 1;
  const AstarOptions options = clippingOptions(false, 1.0);
  for (int tries = 0; tries <= max_tries;) {
    // Compared by difference: index + stride could overflow for an index near the int limit.
    if (last - index < kCandidateStride) {
      index = last;
      return false;
    }
    ++tries;
    index += kCandidateStride;
    if (index == last) {
      return false;
    }
    const PoseStamped& candidate = poses[static_cast<size_t>(index)];
    if (base_robot_.calDistance(robot_pose, candidate) > kGlobalDetourLimit) {
      continue;
    }
    if (!search(global_planner_, robot_pose, candidate, options, out_path)) {
      LOG_ERROR("use global_gridmap_ros local planning failed, error code is {}",
                codes::kLocalPlanFailed);
    }
    if (!out_path.nav_path.poses.empty() &&
        base_robot_.calpathDistance(out_path.nav_path) >= kGlobalDetourLimit) {
      out_path.nav_path.poses.clear();
    }
    if (!out_path.nav_path.poses.empty()) {
      return true;
    }
  }
  return true;
}

}  // namespace planning
