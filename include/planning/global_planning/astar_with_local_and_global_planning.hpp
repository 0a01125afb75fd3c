#ifndef PLANNING__GLOBAL_PLANNING__ASTAR_WITH_LOCAL_AND_GLOBAL_PLANNING_HPP_
#define PLANNING__GLOBAL_PLANNING__ASTAR_WITH_LOCAL_AND_GLOBAL_PLANNING_HPP_

#include <memory>
#include <vector>

#include "planning/nav_global_planning.hpp"

namespace planning {

/// Planner "astar_with_local_and_global_map": searches on the local map first and falls back
/// to the global map only when the local engine reports failure.
class AstarWithLocalAndGlobalPlanning final : public NavGlobalPlanning {
 public:
  AstarWithLocalAndGlobalPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                  std::shared_ptr<GridMapROS> global_map);

  bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                vantrell_nav2_protocol::msg::MultiPaths& paths) override;
};

}  // namespace planning

#endif  // PLANNING__GLOBAL_PLANNING__ASTAR_WITH_LOCAL_AND_GLOBAL_PLANNING_HPP_
