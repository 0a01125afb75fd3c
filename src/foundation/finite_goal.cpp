#include "planning/finite_goal.hpp"

#include <algorithm>
#include <cmath>

#include "planning/geometry.hpp"

namespace planning {

bool isFiniteGoal(const vantrell_nav2_protocol::action::GlobalPlanning::Goal& goal) {
  const auto finite_point = [](const geometry_msgs::msg::Point32& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
  };
  return std::all_of(goal.goal_poses.begin(), goal.goal_poses.end(),
                     [](const auto& pose) { return geometry::isFinitePose(pose); }) &&
         std::all_of(goal.goal_zone.begin(), goal.goal_zone.end(), finite_point) &&
         std::all_of(goal.covered_points_frm_taskcenter.begin(),
                     goal.covered_points_frm_taskcenter.end(), finite_point);
}

}  // namespace planning
