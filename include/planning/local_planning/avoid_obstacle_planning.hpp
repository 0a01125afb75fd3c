#ifndef PLANNING__LOCAL_PLANNING__AVOID_OBSTACLE_PLANNING_HPP_
#define PLANNING__LOCAL_PLANNING__AVOID_OBSTACLE_PLANNING_HPP_

#include <memory>

#include "planning/local_planning/path_clipping.hpp"

namespace planning {

/**
 * Strategy for a blocked pose ahead: a detour from the last free pose before the obstacle to a
 * free pose beyond it replaces the blocked stretch of the local path.
 *
 * The goal is the toolbox's free goal beyond the obstacle, at or past "max_goal_dis" of path. The
 * detour is searched on the local map from the obstacle, then by jump points (further goals,
 * later from the robot), then, across the owner's cycles, on the global map from the robot.
 * With "make_plan_from_current_pose" set, or when the owner says the robot is far from the
 * path, one search from the robot replaces all of that.
 */
class AvoidObataclePlanning final : public PathClippingBase {
 public:
  AvoidObataclePlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                        std::shared_ptr<GridMapROS> global_map,
                        std::shared_ptr<GridMapROS> local_map);

  /**
   * Found: the callback hears true and `local_path` becomes its poses before `obstacle_index`
   * (none when the detour starts at the robot), the detour, and its poses after the detour's
   * goal. Not found: the callback hears false, an ERROR is logged, `local_path` is unchanged
   * and `out_path` is left empty. Reads `obstacle_index`, `plan_from_current`, the counters
   * (which the global retries advance), `robot_pose` and `local_path`.
   */
  bool generatePath(int obstacle_index, const int& zero_index_count, bool plan_from_current,
                    unsigned& local_fail_count, unsigned& global_try_count, PoseStamped& robot_pose,
                    Path& local_path, Path& out_path) override;

 private:
  /// The searches from the obstacle on: true when `out_path` holds a detour to `goal_index`
  /// (moved by the retries); `from_robot` tells where it starts.
  bool searchDetour(int obstacle_index, int& goal_index, bool& from_robot,
                    unsigned& local_fail_count, unsigned& global_try_count, PoseStamped& robot_pose,
                    Path& local_path, Path& out_path);

  /// Puts the detour in place of the stretch from `obstacle_index` to `goal_index`.
  void spliceDetour(int obstacle_index, int goal_index, bool from_robot, Path& local_path,
                    const Path& out_path) const;

  /// True, with an ERROR, when the new path up to the detour's goal (the poses kept before the
  /// obstacle, then the detour) crosses a pose in danger on the local map: the robot would
  /// still be sent into the obstacle, which is no success.
  bool detourInDanger(int obstacle_index, bool from_robot, const Path& local_path,
                      const Path& out_path) const;
  /// No detour: the owner hears false, and no failed search's poses stay in `out_path`.
  void reportFailure(Path& out_path) const;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__AVOID_OBSTACLE_PLANNING_HPP_
