#include "nav_2d_utils/conversions.hpp"

#include "tf2/utils.h"

namespace nav_2d_utils {

geometry_msgs::msg::Pose2D poseToPose2D(const geometry_msgs::msg::Pose& pose) {
  geometry_msgs::msg::Pose2D pose_2d;
  pose_2d.x = pose.position.x;
  pose_2d.y = pose.position.y;
  pose_2d.theta = tf2::getYaw(pose.orientation);
  return pose_2d;
}

}  // namespace nav_2d_utils
