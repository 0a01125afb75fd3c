#include "planning/finite_goal.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace planning {

namespace {

bool finite(const geometry_msgs::msg::Point32& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool finite(const geometry_msgs::msg::PoseStamped& pose) {
  const auto& p = pose.pose.position;
  const auto& q = pose.pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(q.x) &&
         std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

bool finite(const geometry_msgs::msg::Polygon& polygon) {
  return std::all_of(polygon.points.begin(), polygon.points.end(),
                     [](const auto& p) { return finite(p); });
}

bool finite(const vantrell_nav2_protocol::msg::Path& path) {
  return std::isfinite(path.tolerance) &&
         std::all_of(path.nav_path.poses.begin(), path.nav_path.poses.end(),
                     [](const auto& pose) { return finite(pose); });
}

template <typename T>
bool allFinite(const std::vector<T>& items) {
  return std::all_of(items.begin(), items.end(), [](const T& item) { return finite(item); });
}

}  // namespace

bool isFiniteGoal(const vantrell_nav2_protocol::action::GlobalPlanning::Goal& goal) {
  return allFinite(goal.goal_poses) && allFinite(goal.goal_zone) &&
         allFinite(goal.covered_points_frm_taskcenter);
}

bool isFiniteGoal(const vantrell_nav2_protocol::action::LocalPlanning::Goal& goal) {
  return allFinite(goal.global_paths.paths) && allFinite(goal.zone_polygons) &&
         allFinite(goal.covered_points_frm_taskcenter) && finite(goal.goal_pose) &&
         allFinite(goal.extra_goals) && std::isfinite(goal.fuzzy_distance);
}

}  // namespace planning
