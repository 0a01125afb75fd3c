#ifndef PLANNING__LOCAL_PLANNING__LOCAL_ASTAR_GOAL_ZONE_HPP_
#define PLANNING__LOCAL_PLANNING__LOCAL_ASTAR_GOAL_ZONE_HPP_

#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "planning/local_planning/nav_local_planning.hpp"
#include "vantrell_nav2_planner/vantrell_constrained_smoother.hpp"
#include "vantrell_nav2_smoother/path_smoother.hpp"

namespace planning {

/**
 * Planner "dijkstra_goalzone": navigation into a goal zone. Each cycle searches, as "dijkstra"
 * does, from the robot to a free local goal on the current piece, and the task is finished as
 * soon as the robot stands strictly inside the goal's first zone (on its edge is outside). The
 * last pose keeps the heading the search gave it.
 */
class LocalAstarGoalZone final : public NavLocalPlanning {
 public:
  LocalAstarGoalZone(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                     std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map,
                     std::shared_ptr<GridMapROS> third_map);

  /// False when there is no robot pose, no free local goal, or this cycle's search left no
  /// path. Never asks for a new global plan.
  bool makePlan(Path& out, ControlState& state, bool& need_replan) override;
  bool pathSmooter(nav_msgs::msg::Path& path) override;
  void reset() override;
  /// A backward move when the goal allows one and the robot faces away from the path.
  void updatePathWithMovementConstraint(Path& path) override;
  bool needSetEndYaw() override { return false; }

  /// Whether `cell` (of the global map) lies strictly inside the first of `zones`.
  bool getBestFinalPoint(std::vector<geometry_msgs::msg::Polygon> zones,
                         cv::Point_<int> cell) const;

 private:
  /// The robot's cell of the global map, when it lies on that map.
  std::optional<cv::Point> robotCell(const PoseStamped& robot) const;
  /// The corners of `zone` that lie on the global map, as its cells; empty when fewer than three
  /// do, for less is no area to enter.
  std::vector<cv::Point> zoneCells(const geometry_msgs::msg::Polygon& zone) const;
  /// +1 inside the first zone, 0 on its edge, -1 outside it or when there is no zone to test.
  double insideFirstZone(const std::vector<geometry_msgs::msg::Polygon>& zones,
                         const std::optional<cv::Point>& cell) const;

  std::shared_ptr<vantrell_nav2_planner::VantrellConstrainedSmoother> constrained_smoother_;
  std::shared_ptr<PathSmoother> path_smoother_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__LOCAL_ASTAR_GOAL_ZONE_HPP_
