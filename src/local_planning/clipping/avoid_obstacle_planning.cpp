#include "planning/local_planning/avoid_obstacle_planning.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/geometry.hpp"

namespace planning {

namespace {

bool onPath(const vantrell_nav2_protocol::msg::Path& path, int index) {
  return index >= 0 && static_cast<size_t>(index) < path.nav_path.poses.size();
}

}  // namespace

AvoidObataclePlanning::AvoidObataclePlanning(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
    std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map)
    : PathClippingBase(node, std::move(global_map), std::move(local_map)) {}

bool AvoidObataclePlanning::generatePath(int obstacle_index, const int& /*zero_index_count*/,
                                         bool plan_from_current, unsigned& local_fail_count,
                                         unsigned& global_try_count, PoseStamped& robot_pose,
                                         Path& local_path, Path& out_path) {
  // The owner's path may still hold an earlier detour, and every step below takes poses in
  // `out_path` for a detour found in this call.
  out_path.nav_path.poses.clear();
  if (!onPath(local_path, obstacle_index)) {
    LOG_ERROR("AvoidObataclePlanning::generatePath obstacle index {} is not on a path of {} poses",
              obstacle_index, local_path.nav_path.poses.size());
    reportFailure(out_path);
    return true;
  }
  // Beyond the obstacle, never before it: a costly pose ahead of the obstacle (a door frame, a
  // path starting near a wall) would otherwise send the detour backwards and leave the obstacle
  // on the path.
  const auto goal = path_product_.goalBeyondObstacle(
      local_gridmap_ros_, local_path.nav_path, static_cast<size_t>(obstacle_index), costLimit(),
      max_goal_dis_, goal_inflation_radius_);
  // Without a free one the searches still run to the path's end, so that their failures count
  // towards the global retries.
  int goal_index = static_cast<int>(goal.value_or(local_path.nav_path.poses.size() - 1));
  if (!goal) {
    LOG_WARN(
        "AvoidObataclePlanning::generatePath found no free goal beyond pose {}, trying the "
        "path's end",
        obstacle_index);
  }
  if (make_plan_from_current_pose_ || plan_from_current) {
    astarPlanFromCurrent(robot_pose, detourOptions(), local_path, out_path, goal_index);
    return true;
  }
  bool from_robot = false;
  if (!searchDetour(obstacle_index, goal_index, from_robot, local_fail_count, global_try_count,
                    robot_pose, local_path, out_path) ||
      detourInDanger(obstacle_index, from_robot, local_path, out_path)) {
    reportFailure(out_path);
    return true;
  }
  notifyOwner(true);
  spliceDetour(obstacle_index, goal_index, from_robot, local_path, out_path);
  return true;
}

bool AvoidObataclePlanning::searchDetour(int obstacle_index, int& goal_index, bool& from_robot,
                                         unsigned& local_fail_count, unsigned& global_try_count,
                                         PoseStamped& robot_pose, Path& local_path,
                                         Path& out_path) {
  // The global retries start again from the goal beyond the obstacle, not from where the local
  // retries moved it.
  const int global_start_index = goal_index;
  const auto& poses = local_path.nav_path.poses;
  const bool first_found =
      search(local_planner_, poses[static_cast<size_t>(obstacle_index)],
             poses[static_cast<size_t>(goal_index)], detourOptions(), out_path);
  const bool left_poses = !out_path.nav_path.poses.empty();
  localCostmapJumpPointPlanning(obstacle_index, goal_index, from_robot, robot_pose, local_path,
                                out_path);
  if (!out_path.nav_path.poses.empty()) {
    // Poses that a failed first search left behind are no detour, and the retries do not run
    // over them.
    return first_found || !left_poses;
  }
  LOG_ERROR("localCostmapJumpPointPlanning failed");
  if (!globalCostmapJumpPointPlanning(global_start_index, goal_index, local_fail_count,
                                      global_try_count, robot_pose, local_path, out_path)) {
    LOG_ERROR("globalCostmapJumpPointPlanning failed");
    return false;
  }
  if (out_path.nav_path.poses.empty()) {
    return false;
  }
  // A detour on the global map starts at the robot: the poses before the obstacle, which lie
  // ahead of the robot, must not lead it.
  from_robot = true;
  return true;
}

void AvoidObataclePlanning::spliceDetour(int obstacle_index, int goal_index, bool from_robot,
                                         Path& local_path, const Path& out_path) const {
  const auto& poses = local_path.nav_path.poses;
  std::vector<PoseStamped> joined;
  if (!from_robot) {
    joined.assign(poses.begin(), poses.begin() + obstacle_index);
  }
  joined.insert(joined.end(), out_path.nav_path.poses.begin(), out_path.nav_path.poses.end());
  joined.insert(joined.end(), poses.begin() + goal_index + 1, poses.end());
  base_robot_.convertToPath(joined, local_path.nav_path);
}

bool AvoidObataclePlanning::detourInDanger(int obstacle_index, bool from_robot,
                                           const Path& local_path, const Path& out_path) const {
  geometry::MapView view;
  if (!geometry::viewOf(local_gridmap_ros_.get(), view)) {
    return false;
  }
  const auto in_danger = [&view](const PoseStamped& pose) {
    unsigned int mx = 0;
    unsigned int my = 0;
    return view.toCell(pose, mx, my) && view.grid->inDanger(mx, my, 0);
  };
  const auto& kept = local_path.nav_path.poses;
  const auto& detour = out_path.nav_path.poses;
  const auto kept_end = kept.begin() + (from_robot ? 0 : obstacle_index);
  if (std::any_of(kept.begin(), kept_end, in_danger) ||
      std::any_of(detour.begin(), detour.end(), in_danger)) {
    LOG_ERROR("AvoidObataclePlanning::generatePath the detour crosses a pose in danger");
    return true;
  }
  return false;
}

void AvoidObataclePlanning::reportFailure(Path& out_path) const {
  out_path.nav_path.poses.clear();
  notifyOwner(false);
  LOG_ERROR("local planner failed, error code is {}", codes::kLocalPlanFailed);
}

}  // namespace planning
