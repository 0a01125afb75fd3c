#include "planning/local_planning/sharp_angle_planning.hpp"

#include <utility>

namespace planning {

namespace {

// The walked length before the first segment: a one-pose path counts as this long.
constexpr double kInitialLength = 0.01;
// The look-ahead grows by this much for each cycle the robot has not advanced.
constexpr double kGrowthPerStuckCycle = 0.1;

}  // namespace

SharpAnglePlanning::SharpAnglePlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                       std::shared_ptr<GridMapROS> global_map,
                                       std::shared_ptr<GridMapROS> local_map)
    : PathClippingBase(node, std::move(global_map), std::move(local_map)) {}

bool SharpAnglePlanning::generatePath(int /*obstacle_index*/, const int& zero_index_count,
                                      bool /*plan_from_current*/, unsigned& /*local_fail_count*/,
                                      unsigned& /*global_try_count*/, PoseStamped& robot_pose,
                                      Path& local_path, Path& out_path) {
  // The caller's path may still hold an earlier detour; success is judged by what this call's
  // search leaves in it.
  out_path.nav_path.poses.clear();
  const auto& poses = local_path.nav_path.poses;
  if (poses.empty()) {
    LOG_WARN("SharpAnglePlanning::generatePath has no path to follow");
    notifyOwner(false);
    return true;
  }
  double length = kInitialLength;
  int end_index = 0;
  if (poses.size() > 1) {
    const double threshold = zero_index_count * kGrowthPerStuckCycle + jump_point_dis_;
    end_index = lookAhead(local_path, threshold, length);
  }
  trace(
      "[SharpAnglePlanning] flag_path_no_change=true sum_disturce={};jump_point_dis_={};"
      "end_index={};zero_index_count={}",
      length, jump_point_dis_, end_index, zero_index_count);
  if (jump_point_dis_ >= length) {
    replaceBySearchToEnd(robot_pose, local_path, out_path);
    return true;
  }
  if (end_index == 0) {
    end_index = static_cast<int>(poses.size()) - 1;
  }
  astarPlanFromCurrent(robot_pose, detourOptions(), local_path, out_path, end_index);
  return true;
}

int SharpAnglePlanning::lookAhead(const Path& local_path, double threshold, double& length) const {
  const auto& poses = local_path.nav_path.poses;
  const size_t last = poses.size() - 1;
  for (size_t k = 1; k <= last; ++k) {
    length += base_robot_.calDistance(poses[k - 1], poses[k]);
    if (!inLocalCostmap(poses[k])) {
      LOG_WARN("SharpAnglePlanning failed worldToMap!!!");
      return static_cast<int>(k - 1);
    }
    if (length >= threshold) {
      return static_cast<int>(k - 1);
    }
  }
  return 0;
}

void SharpAnglePlanning::replaceBySearchToEnd(PoseStamped& robot_pose, Path& local_path,
                                              Path& out_path) const {
  search(local_planner_, robot_pose, local_path.nav_path.poses.back(), detourOptions(), out_path);
  trace("[SharpAnglePlanning] sum_disturce <= jump_point_dis path_msg.pose.size()={}",
        out_path.nav_path.poses.size());
  if (out_path.nav_path.poses.empty()) {
    notifyOwner(false);
    return;
  }
  local_path.nav_path.poses = out_path.nav_path.poses;
  notifyOwner(true);
}

}  // namespace planning
