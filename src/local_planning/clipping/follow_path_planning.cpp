#include "planning/local_planning/follow_path_planning.hpp"

#include <utility>

namespace planning {

FollowPathPlanning::FollowPathPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                       std::shared_ptr<GridMapROS> global_map,
                                       std::shared_ptr<GridMapROS> local_map)
    : PathClippingBase(node, std::move(global_map), std::move(local_map)) {}

bool FollowPathPlanning::generatePath(int /*obstacle_index*/, const int& /*zero_index_count*/,
                                      bool /*plan_from_current*/, unsigned& /*local_fail_count*/,
                                      unsigned& /*global_try_count*/, PoseStamped& /*robot_pose*/,
                                      Path& /*local_path*/, Path& /*out_path*/) {
  notifyOwner(true);
  return true;
}

}  // namespace planning
