#include "planning/local_planning/local_force_backward.hpp"

#include <utility>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/local_planning/point_to_point_steps.hpp"

namespace planning {

LocalForceBackward::LocalForceBackward(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                       std::shared_ptr<GridMapROS> global_map,
                                       std::shared_ptr<GridMapROS> local_map,
                                       std::shared_ptr<GridMapROS> third_map)
    : NavLocalPlanning(node, std::move(global_map), std::move(local_map), std::move(third_map)),
      path_smoother_(std::make_shared<PathSmoother>(node_, local_gridmap_)),
      constrained_smoother_(point_to_point::makeConstrainedSmoother(node_)) {}

bool LocalForceBackward::makePlan(Path& out, ControlState& state, bool& need_replan) {
  Path piece;
  if (const auto decided = point_to_point::takeNextPiece(*this, piece, out, state)) {
    return *decided;
  }
  PoseStamped robot;
  if (!getLocalRobotPose(robot)) {
    trace("makePlan getRobotPose failed");
    return false;
  }
  PoseStamped local_goal;
  if (!path_product_->globalPathCut(robot, piece.nav_path, local_gridmap_, local_goal)) {
    return false;
  }
  const auto options = setForceBackwardAstarOptions(piece);
  if (!point_to_point::searchThisCycle(local_planner_.get(), robot, local_goal, options, out)) {
    if (out.check_blocked) {
      need_replan = true;
    }
    LOG_ERROR("local planner failed, error code is {}", codes::kLocalPlanFailed);
    return false;
  }
  out.move_backward = true;
  out.check_blocked = false;
  return true;
}

// The goal cell itself, whatever the goal's flags say.
vantrell_nav2_planner::astar2::AstarOptions LocalForceBackward::setForceBackwardAstarOptions(
    const Path& /*piece*/) const {
  return point_to_point::plainSearchOptions(0.0, 0.0);
}

bool LocalForceBackward::pathSmooter(nav_msgs::msg::Path& path) {
  if (!point_to_point::smoothFromRobot(*path_smoother_, *local_gridmap_, *communicator_, false,
                                       path)) {
    LOG_ERROR("a star path smooth failed !!!!!!");
    return false;
  }
  return true;
}

void LocalForceBackward::reset() {
  point_to_point::resetForNewTask(*communicator_, *third_gridmap_);
}

}  // namespace planning
