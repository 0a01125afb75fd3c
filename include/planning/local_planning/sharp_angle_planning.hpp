#ifndef PLANNING__LOCAL_PLANNING__SHARP_ANGLE_PLANNING_HPP_
#define PLANNING__LOCAL_PLANNING__SHARP_ANGLE_PLANNING_HPP_

#include <memory>

#include "planning/local_planning/path_clipping.hpp"

namespace planning {

/**
 * Strategy for a robot that has not advanced along its path for some cycles (a sharp angle at
 * the path's start, typically): the start of the path is replaced by a search from the robot to
 * a pose some way ahead. The look-ahead is "jump_point_dis" plus 0.1 m for every cycle the
 * robot has not advanced.
 *
 * Usable on its own: it needs only its engines, its callback and the caller's path.
 */
class SharpAnglePlanning final : public PathClippingBase {
 public:
  SharpAnglePlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                     std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map);

  /**
   * Reads `zero_index_count`, `robot_pose` and `local_path`. A path no longer than the
   * look-ahead becomes the search from the robot to its last pose; a longer one becomes the
   * densified search from the robot to the pose before the look-ahead's end, followed by the
   * rest of the path. The callback hears whether a search succeeded; on failure `local_path` is
   * unchanged. A path without poses fails (callback false).
   */
  bool generatePath(int obstacle_index, const int& zero_index_count, bool plan_from_current,
                    unsigned& local_fail_count, unsigned& global_try_count, PoseStamped& robot_pose,
                    Path& local_path, Path& out_path) override;

 private:
  /// Walks the path from its start: `length` gets the path length walked (from 0.01 m) and the
  /// result is the pose before the one that reaches `threshold` or lies off the local map, or 0
  /// when the walk reaches the last pose.
  int lookAhead(const Path& local_path, double threshold, double& length) const;

  /// The whole path replaced by the search from the robot to its last pose.
  void replaceBySearchToEnd(PoseStamped& robot_pose, Path& local_path, Path& out_path) const;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__SHARP_ANGLE_PLANNING_HPP_
