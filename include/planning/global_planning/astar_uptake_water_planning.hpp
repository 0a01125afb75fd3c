#ifndef PLANNING__GLOBAL_PLANNING__ASTAR_UPTAKE_WATER_PLANNING_HPP_
#define PLANNING__GLOBAL_PLANNING__ASTAR_UPTAKE_WATER_PLANNING_HPP_

#include <memory>
#include <vector>

#include "planning/nav_global_planning.hpp"

namespace planning {

/// Planner "dijkstra_uptake_water": a grid search to the first goal pose which, when it fails,
/// pulls the goal halfway towards the robot and searches again, up to ten times.
class AstarUptakeWaterPlanning final : public NavGlobalPlanning {
 public:
  AstarUptakeWaterPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                           std::shared_ptr<GridMapROS> global_map);

  bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                vantrell_nav2_protocol::msg::MultiPaths& paths) override;
};

}  // namespace planning

#endif  // PLANNING__GLOBAL_PLANNING__ASTAR_UPTAKE_WATER_PLANNING_HPP_
