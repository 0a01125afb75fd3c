#ifndef PLANNING__LOCAL_PLANNING__LOCAL_ASTAR_HPP_
#define PLANNING__LOCAL_PLANNING__LOCAL_ASTAR_HPP_

#include <memory>

#include "planning/local_planning/nav_local_planning.hpp"
#include "vantrell_nav2_common/spin_collision.hpp"
#include "vantrell_nav2_planner/vantrell_constrained_smoother.hpp"
#include "vantrell_nav2_smoother/path_smoother.hpp"

namespace planning {

/**
 * Planner "dijkstra": point-to-point navigation along the cached global path set.
 *
 * Each cycle either cuts the local path straight out of a single forward global path, or
 * searches afresh on the local map from the robot to a free local goal on the current piece.
 * After smoothing, the movement constraint may replace the path by a straight approach that
 * keeps the goal heading, or turn it into a backward move when the goal allows one.
 */
class LocalAstar final : public NavLocalPlanning {
 public:
  LocalAstar(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
             std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map,
             std::shared_ptr<GridMapROS> third_map);

  /// False when there is no global path, no robot pose, no free local goal (`need_replan` set)
  /// or no path from this cycle's search (`need_replan` set when the search was blocked).
  bool makePlan(Path& out, ControlState& state, bool& need_replan) override;
  bool pathSmooter(nav_msgs::msg::Path& path) override;
  void reset() override;
  /// Skipped for a cycle without a robot pose: judged from a made-up pose, the path could be
  /// turned round or replaced by a line from somewhere else.
  void updatePathWithMovementConstraint(Path& path) override;

  /**
   * Replaces the poses of `path` by the straight line from `robot` to the goal pose, every pose
   * with the goal heading, when the goal lies within the robot's forward reach, or when the
   * goal's fuzzy distance is below the follow-goal-yaw threshold and the line keeps its
   * clearance. True when it did.
   */
  bool omniDirectionalMovement(Path& path, const PoseStamped& robot);
  /// Whether the robot can turn at the goal pose from the heading of the path's last pose to the
  /// goal heading; `angle` receives the smaller of the two turns. False for an empty path.
  bool isTargetPointRotatable(const nav_msgs::msg::Path& path, double& angle) const;
  /**
   * Whether `threshold` of the first `count` poses of `path` come within `distance` of an
   * obstacle, the nearest obstacle distance being carried over from pose to pose. A map other
   * than the local map also sees the local map's obstacles. A pose off `map` counts as blocked.
   */
  bool hasObstacle(const std::shared_ptr<GridMapROS>& map, const nav_msgs::msg::Path& path,
                   int count, int threshold, double distance) const;

 private:
  /// The local path cut from the single cached forward path; false when it cannot be cut.
  bool cutFromGlobalPath(const PoseStamped& robot, Path& out);
  /// Searches from the robot to a free local goal on `piece`.
  bool searchAlongPiece(const Path& piece, Path& out, bool& need_replan);
  /// The straight line from `robot` to the goal pose, at the global map's cell size.
  nav_msgs::msg::Path lineToGoal(const PoseStamped& robot) const;
  void faceGoalAndReplace(nav_msgs::msg::Path line, Path& path) const;
  /// Near the goal: turns the path round when the robot can turn at the goal that way.
  void chooseTurnAtGoal(Path& path, const PoseStamped& robot);

  std::shared_ptr<vantrell_nav2_planner::VantrellConstrainedSmoother> constrained_smoother_;
  std::shared_ptr<PathSmoother> path_smoother_;
  std::shared_ptr<Collision::CollisionCheck> collision_checker_;
  std::shared_ptr<Collision::SpinCollision> spin_collision_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__LOCAL_ASTAR_HPP_
