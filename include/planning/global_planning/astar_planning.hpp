#ifndef PLANNING__GLOBAL_PLANNING__ASTAR_PLANNING_HPP_
#define PLANNING__GLOBAL_PLANNING__ASTAR_PLANNING_HPP_

#include <memory>
#include <vector>

#include "planning/nav_global_planning.hpp"

namespace planning {

/// Planner "dijkstra": one grid search from the robot to the first goal pose on the global map.
class AstarPlanning final : public NavGlobalPlanning {
 public:
  AstarPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                std::shared_ptr<GridMapROS> global_map);

  bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                vantrell_nav2_protocol::msg::MultiPaths& paths) override;
};

}  // namespace planning

#endif  // PLANNING__GLOBAL_PLANNING__ASTAR_PLANNING_HPP_
