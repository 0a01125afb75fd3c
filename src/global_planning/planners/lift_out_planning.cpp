#include "planning/global_planning/lift_out_planning.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/geometry.hpp"
#include "planning/global_planning/lift_planning.hpp"

namespace planning {

namespace {

// The waiting area lies farther from the robot than the car does, so the fallback reaches
// farther than the lift-in search's.
constexpr double kFallbackDistance = 20.0;

}  // namespace

LiftOutPlanning::LiftOutPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                 std::shared_ptr<GridMapROS> global_map)
    : NavGlobalPlanning(node, std::move(global_map), nullptr),
      communicator_(vantrell_communicator::CommunicatorEngine::GetInstance()) {}

bool LiftOutPlanning::makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                               vantrell_nav2_protocol::msg::MultiPaths& paths) {
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose)) {
    return false;
  }
  // Without a goal or an engine the plan fails as a search that found nothing does.
  const bool found = hasGoalAndEngines("LiftOutPlanning", goals, Engines::kGlobal) &&
                     global_planner_->searchPaths(robot_pose, goals.front(),
                                                  liftSearchOptions(kLiftPathTolerance), paths);
  if (!searchSucceeded(found, paths)) {
    return searchFailed();
  }
  // The robot faces into the car, so it leaves backwards; what follows the first path does not.
  paths.paths.front().move_backward = true;
  LOG_ERROR("lift planner success, paths_msg.paths.front().move_backward is {}",
            static_cast<bool>(paths.paths.front().move_backward));
  return true;
}

bool LiftOutPlanning::connectiveAreaSearch(const geometry_msgs::msg::PoseStamped& start,
                                           const geometry_msgs::msg::PoseStamped& goal,
                                           geometry_msgs::msg::PoseStamped& result,
                                           const geometry_msgs::msg::Polygon& /*search_area*/,
                                           const geometry_msgs::msg::Polygon& target_area) {
  const auto& from = start.pose.position;
  const auto& to = goal.pose.position;
  max_search_radius_ = std::max(max_search_radius_, geometry::planarDistance(from, to));
  const double mid_x = (from.x + to.x) * 0.5;
  const double mid_y = (from.y + to.y) * 0.5;

  if (!global_gridmap_ros_) {
    result = goal;
    LOG_ERROR("LiftOutPlanning::connectiveAreaSearch has no grid map to search");
    return false;
  }
  ConnectiveAreaRules rules;
  const double radius = max_search_radius_;
  rules.may_flood = [mid_x, mid_y, radius](double wx, double wy) {
    return std::hypot(wx - mid_x, wy - mid_y) < radius;
  };
  rules.need_turning_room = true;
  rules.fallback_distance = kFallbackDistance;
  rules.owner = "LiftOutPlanning";
  return floodConnectiveArea(*global_gridmap_ros_, *communicator_, rules, start, goal, result,
                             target_area);
}

}  // namespace planning
