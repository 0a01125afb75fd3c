#ifndef NAV_2D_UTILS__CONVERSIONS_HPP_
#define NAV_2D_UTILS__CONVERSIONS_HPP_

#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"

namespace nav_2d_utils {

/// x, y of the position and the yaw of the orientation.
geometry_msgs::msg::Pose2D poseToPose2D(const geometry_msgs::msg::Pose& pose);

}  // namespace nav_2d_utils

#endif  // NAV_2D_UTILS__CONVERSIONS_HPP_
