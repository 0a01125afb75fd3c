#ifndef NAV2_UTIL__ROBOT_UTILS_HPP_
#define NAV2_UTIL__ROBOT_UTILS_HPP_

#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/buffer.h"

namespace nav2_util {

/**
 * The pose of robot_frame in global_frame, looked up in tf_buffer at stamp (a
 * zero stamp takes the latest transform), waiting up to transform_timeout
 * seconds. False, with an error line, when the transform cannot be had.
 */
bool getCurrentPose(geometry_msgs::msg::PoseStamped& global_pose, tf2_ros::Buffer& tf_buffer,
                    const std::string global_frame = "map",
                    const std::string robot_frame = "base_link",
                    const double transform_timeout = 0.1,
                    const rclcpp::Time stamp = rclcpp::Time());

}  // namespace nav2_util

#endif  // NAV2_UTIL__ROBOT_UTILS_HPP_
