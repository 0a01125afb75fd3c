#include "planning/global_planning/way_points_planning.hpp"

#include "logger/logger.hpp"
#include "nav_msgs/msg/path.hpp"

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

  std::vector<geometry_msgs::msg::PoseStamped> waypoints;
  waypoints.reserve(goals.size() + 1);
  waypoints.push_back(robot_pose);
  waypoints.insert(waypoints.end(), goals.begin(), goals.end());

  nav_msgs::msg::Path filled_path;
  // A lone robot pose is refused by the toolbox and leaves the path empty, which is passed on.
  path_product_.fillPath(waypoints, kMinWaypointGap, kMaxWaypointGap, filled_path);
  LOG_INFO("filled_path size is {}", filled_path.poses.size());

  vantrell_nav2_protocol::msg::Path path;
  path.nav_path = filled_path;
  paths.paths.push_back(path);
  return true;
}

}  // namespace planning
