#ifndef NAV2_COSTMAP_2D__TESTING__COSTMAP_2D_ROS_HOOKS_HPP_
#define NAV2_COSTMAP_2D__TESTING__COSTMAP_2D_ROS_HOOKS_HPP_

#include <cmath>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"

// Test hooks: where the robot is, written straight into the costmap's tf buffer instead of
// travelling through "/tf", so that a test knows the costmap sees it at once. Hosts broadcast
// the transform instead. Never included by library code.
namespace nav2_costmap_2d {
namespace testing {

// Forgets every transform: getRobotPose() returns false once its tolerance has passed.
inline void clearRobotPose(Costmap2DROS& costmap) { costmap.getTfBuffer()->clear(); }

// The robot stands at this pose of the global frame until told otherwise (held as a static
// transform, so it holds at every time). A pose that is not finite, which tf refuses, leaves the
// robot with no pose at all.
inline void setRobotPose(Costmap2DROS& costmap, const geometry_msgs::msg::PoseStamped& pose) {
  const auto& p = pose.pose.position;
  const auto& q = pose.pose.orientation;
  for (const double value : {p.x, p.y, p.z, q.x, q.y, q.z, q.w}) {
    if (!std::isfinite(value)) {
      clearRobotPose(costmap);
      return;
    }
  }
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = costmap.getGlobalFrameID();
  transform.child_frame_id = costmap.getBaseFrameID();
  transform.transform.translation.x = pose.pose.position.x;
  transform.transform.translation.y = pose.pose.position.y;
  transform.transform.translation.z = pose.pose.position.z;
  transform.transform.rotation = pose.pose.orientation;
  costmap.getTfBuffer()->setTransform(transform, "testing", true);
}

inline void setRobotPose(Costmap2DROS& costmap, double x, double y, double yaw) {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(yaw / 2.0);
  pose.pose.orientation.w = std::cos(yaw / 2.0);
  setRobotPose(costmap, pose);
}

}  // namespace testing
}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__TESTING__COSTMAP_2D_ROS_HOOKS_HPP_
