#ifndef PLANNING__GLOBAL_PLANNING__WAY_POINTS_PLANNING_HPP_
#define PLANNING__GLOBAL_PLANNING__WAY_POINTS_PLANNING_HPP_

#include <memory>
#include <vector>

#include "planning/nav_global_planning.hpp"

namespace planning {

/// Planner "wap_points": one path from the robot through every goal pose in order, without
/// search; the polyline is thinned and densified by the path toolbox.
class WayPointsPlanning final : public NavGlobalPlanning {
 public:
  WayPointsPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                    std::shared_ptr<GridMapROS> global_map);

  /// Fails (101100007) for a waypoint off the global map and for a path too long to hold.
  bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                vantrell_nav2_protocol::msg::MultiPaths& paths) override;

 private:
  /// False, with a WARN naming the first one, when a waypoint lies off the global map.
  bool waypointsOnMap(const std::vector<geometry_msgs::msg::PoseStamped>& goals) const;
};

}  // namespace planning

#endif  // PLANNING__GLOBAL_PLANNING__WAY_POINTS_PLANNING_HPP_
