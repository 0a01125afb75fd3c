#ifndef PLANNING__CUSTOM_PLANNING__PATH_METRICS_HPP_
#define PLANNING__CUSTOM_PLANNING__PATH_METRICS_HPP_

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"

namespace planning {
namespace custom_planning {

/// Planar distance of the two positions (z ignored), metres.
double cal_pos_dis(const geometry_msgs::msg::PoseStamped& a,
                   const geometry_msgs::msg::PoseStamped& b);

/// Distance from `pose` to the nearest pose of `path`; the largest finite double for an empty path.
double cal_point2path(const nav_msgs::msg::Path& path, const geometry_msgs::msg::PoseStamped& pose);

/**
 * How far path `b` lies from path `a`: the mean distance to `a` of the poses
 * of `b` from its start up to and including the first pose at which `length`
 * metres of `b` have been travelled (all of `b` when it is shorter). 0 for
 * identical paths, -1 when either path has no poses.
 */
double compare_paths(const nav_msgs::msg::Path& a, const nav_msgs::msg::Path& b, double length);

}  // namespace custom_planning
}  // namespace planning

#endif  // PLANNING__CUSTOM_PLANNING__PATH_METRICS_HPP_
