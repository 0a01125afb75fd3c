#include "planning/local_planning/local_force_enter_lift.hpp"

#include <cmath>
#include <limits>
#include <utility>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/point_to_point_steps.hpp"

namespace planning {

namespace {

// The robot stops within this of its goal in the car.
constexpr double kGoalTolerance = 0.1;
// A goal this close is taken whichever side of the robot it lies on.
constexpr double kGoalAtHand = 0.2;

}  // namespace

LocalForceEnterLift::LocalForceEnterLift(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                         std::shared_ptr<GridMapROS> global_map,
                                         std::shared_ptr<GridMapROS> local_map,
                                         std::shared_ptr<GridMapROS> third_map)
    : NavLocalPlanning(node, std::move(global_map), std::move(local_map), std::move(third_map)),
      path_smoother_(std::make_shared<PathSmoother>(node_, local_gridmap_)),
      constrained_smoother_(point_to_point::makeConstrainedSmoother(node_)),
      communicator_engine_(vantrell_communicator::CommunicatorEngine::GetInstance()) {}

bool LocalForceEnterLift::makePlan(Path& out, ControlState& state, bool& /*need_replan*/) {
  Path piece;
  if (const auto decided = point_to_point::takeNextPiece(*this, piece, out, state)) {
    return *decided;
  }
  PoseStamped robot;
  if (!getLocalRobotPose(robot)) {
    trace("makePlan getRobotPose failed");
    return false;
  }
  PoseStamped goal;
  if (!getNearestFreePose(piece.nav_path, robot, goal)) {
    LOG_INFO("LocalForceEnterLift getNearestFreePose failed.");
    return false;
  }
  const auto options = setForceEnterLiftAstarOptions();
  if (!point_to_point::searchThisCycle(local_planner_.get(), robot, goal, options, out)) {
    LOG_ERROR("LocalForceEnterLift::makePlan local planner failed.");
    return false;
  }
  out.move_backward = false;
  out.check_blocked = false;
  return true;
}

bool LocalForceEnterLift::isFree(const PoseStamped& pose) const {
  const auto grid = local_gridmap_->getMultiGridMap();
  unsigned int mx = 0;
  unsigned int my = 0;
  return grid->getCostmap()->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my) &&
         !grid->inDanger(mx, my, 0);
}

bool LocalForceEnterLift::getNearestFreePose(const nav_msgs::msg::Path& path,
                                             const PoseStamped& robot, PoseStamped& goal) const {
  const auto& poses = path.poses;
  if (poses.empty()) {
    LOG_ERROR("LocalForceEnterLift::getNearestFreePose global_path is empty!");
    return false;
  }
  size_t nearest = poses.size();
  double nearest_distance = std::numeric_limits<double>::max();
  for (size_t i = 0; i < poses.size(); ++i) {
    const double distance = geometry::planarDistance(poses[i], robot);
    if (distance < nearest_distance && isFree(poses[i])) {
      nearest = i;
      nearest_distance = distance;
    }
  }
  if (nearest == poses.size()) {
    LOG_INFO("LocalForceEnterLift::getNearestFreePose cannot find free pose!");
    return false;
  }
  size_t last = nearest;
  while (last + 1 < poses.size() && isFree(poses[last + 1])) {
    ++last;
  }
  if (last < 1) {
    return false;
  }
  goal = poses[last - 1];
  const double offset =
      geometry::normalizeAngle(geometry::headingBetween(robot, goal) -
                               geometry::headingBetween(poses.front(), poses.back()));
  if (geometry::planarDistance(goal, robot) <= kGoalAtHand) {
    return true;
  }
  return std::fabs(offset) <= geometry::kPi / 2.0;
}

vantrell_nav2_planner::astar2::AstarOptions LocalForceEnterLift::setForceEnterLiftAstarOptions()
    const {
  return point_to_point::plainSearchOptions(kGoalTolerance, kGoalTolerance);
}

bool LocalForceEnterLift::pathSmooter(nav_msgs::msg::Path& path) {
  if (!point_to_point::smoothFromRobot(*path_smoother_, *local_gridmap_, *communicator_engine_,
                                       false, path)) {
    LOG_ERROR("a star path smooth failed !!!!!!");
    return false;
  }
  return true;
}

void LocalForceEnterLift::reset() {
  point_to_point::resetForNewTask(*communicator_, *third_gridmap_);
}

}  // namespace planning
