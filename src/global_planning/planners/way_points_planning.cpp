#include "planning/global_planning/way_points_planning.hpp"

#include "logger/logger.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning/codes.hpp"

namespace planning {

namespace {

// Poses closer than this to the previous kept one are dropped; longer gaps are split.
constexpr double kMinWaypointGap = 0.05;
constexpr double kMaxWaypointGap = 0.1;

}  // namespace

WayPointsPlanning::WayPointsPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                     std::shared_ptr<GridMapROS> global_map)
    : NavGlobalPlanning(node, std::move(global_map), nullptr) {}

bool WayPointsPlanning::makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                                 vantrell_nav2_protocol::msg::MultiPaths& paths) {
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose)) {
    // Without the robot's position the path would start wherever the map origin is.
    LOG_WARN("get the robot pose failed !!!!!");
    return false;
  }

  // As the searching planners refuse goals off the map: a waypoint far off it would only make
  // the toolbox fill kilometres of path towards it.
  if (!waypointsOnMap(goals)) {
    error_code_ = codes::kGlobalPlanFailed;
    return false;
  }

  std::vector<geometry_msgs::msg::PoseStamped> waypoints;
  waypoints.reserve(goals.size() + 1);
  waypoints.push_back(robot_pose);
  waypoints.insert(waypoints.end(), goals.begin(), goals.end());

  nav_msgs::msg::Path filled_path;
  // A lone robot pose is refused by the toolbox and leaves the path empty, which is passed on;
  // with waypoints the toolbox refuses only a path too long to hold.
  if (!path_product_.fillPath(waypoints, kMinWaypointGap, kMaxWaypointGap, filled_path) &&
      !goals.empty()) {
    LOG_WARN("WayPointsPlanning cannot fill the path, error code is {}", codes::kGlobalPlanFailed);
    error_code_ = codes::kGlobalPlanFailed;
    return false;
  }
  LOG_INFO("filled_path size is {}", filled_path.poses.size());

  vantrell_nav2_protocol::msg::Path path;
  path.nav_path = filled_path;
  paths.paths.push_back(path);
  return true;
}

bool WayPointsPlanning::waypointsOnMap(
    const std::vector<geometry_msgs::msg::PoseStamped>& goals) const {
  const auto grid = global_gridmap_ros_ ? global_gridmap_ros_->getMultiGridMap() : nullptr;
  const nav2_costmap_2d::Costmap2D* const costmap = grid ? grid->getCostmap() : nullptr;
  for (size_t i = 0; i < goals.size(); ++i) {
    const auto& position = goals[i].pose.position;
    unsigned int mx = 0;
    unsigned int my = 0;
    if (costmap == nullptr || !costmap->worldToMap(position.x, position.y, mx, my)) {
      LOG_WARN_FROM("makePlan",
                    "WayPointsPlanning waypoint {} at ({}, {}) lies off the global map, error "
                    "code is {}",
                    i, position.x, position.y, codes::kGlobalPlanFailed);
      return false;
    }
  }
  return true;
}

}  // namespace planning
