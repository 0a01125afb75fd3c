#ifndef PLANNING__GLOBAL_PLANNING__GLOBAL_ASTAR_GOAL_ZONE_PLANNING_HPP_
#define PLANNING__GLOBAL_PLANNING__GLOBAL_ASTAR_GOAL_ZONE_PLANNING_HPP_

#include <memory>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "planning/nav_global_planning.hpp"

namespace planning {

/**
 * Planner "dijkstra_goalzone": the goal is the polygon of the goal's zone. The planner picks the
 * free cell of the zone lying farthest from every blocked cell and from the outline, and
 * searches a path to it on the global map. The goal poses play no part.
 */
class GlobalAstarGoalZonePlanning final : public NavGlobalPlanning {
 public:
  GlobalAstarGoalZonePlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                              std::shared_ptr<GridMapROS> global_map);

  bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                vantrell_nav2_protocol::msg::MultiPaths& paths) override;

  /// Keeps the goal's zone as well as what the base keeps.
  void updateGoal(std::shared_ptr<const GlobalPlanningGoal> goal) override;

  /**
   * The deepest free cell of `zone` on `map`, as one pose in the map's global frame. Zone points
   * off the map are left out; empty when fewer than three points remain or the zone holds no
   * free cell.
   */
  std::vector<geometry_msgs::msg::PoseStamped> findBestStartPointInContours(
      std::vector<geometry_msgs::msg::Point32> zone, std::shared_ptr<GridMapROS> map) const;

 private:
  std::vector<geometry_msgs::msg::Point32> goal_zone_;
};

}  // namespace planning

#endif  // PLANNING__GLOBAL_PLANNING__GLOBAL_ASTAR_GOAL_ZONE_PLANNING_HPP_
