#ifndef PLANNING__LOCAL_PLANNING__FOLLOW_PATH_PLANNING_HPP_
#define PLANNING__LOCAL_PLANNING__FOLLOW_PATH_PLANNING_HPP_

#include <memory>

#include "planning/local_planning/path_clipping.hpp"

namespace planning {

/// Strategy for a free path ahead: the robot follows it as it is, and the owner hears that the
/// path is good (true), which clears its retry counters.
class FollowPathPlanning final : public PathClippingBase {
 public:
  FollowPathPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                     std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map);

  /// Reports true; neither path is touched.
  bool generatePath(int obstacle_index, const int& zero_index_count, bool plan_from_current,
                    unsigned& local_fail_count, unsigned& global_try_count, PoseStamped& robot_pose,
                    Path& local_path, Path& out_path) override;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__FOLLOW_PATH_PLANNING_HPP_
