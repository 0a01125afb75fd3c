#include "nav2_util/robot_utils.hpp"

#include <algorithm>
#include <chrono>

#include "tf2/exceptions.h"
#include "tf2/time.h"

namespace nav2_util {

bool getCurrentPose(geometry_msgs::msg::PoseStamped& global_pose, tf2_ros::Buffer& tf_buffer,
                    const std::string global_frame, const std::string robot_frame,
                    const double transform_timeout, const rclcpp::Time stamp) {
  const tf2::TimePoint time = stamp.nanoseconds() == 0
                                  ? tf2::TimePointZero
                                  : tf2::TimePoint(std::chrono::nanoseconds(stamp.nanoseconds()));
  try {
    const auto transform = tf_buffer.lookupTransform(
        global_frame, robot_frame, time, tf2::durationFromSec(std::max(transform_timeout, 0.0)));
    global_pose.header.stamp = transform.header.stamp;
    global_pose.header.frame_id = global_frame;
    global_pose.pose.position.x = transform.transform.translation.x;
    global_pose.pose.position.y = transform.transform.translation.y;
    global_pose.pose.position.z = transform.transform.translation.z;
    global_pose.pose.orientation = transform.transform.rotation;
    return true;
  } catch (const tf2::TransformException& ex) {
    RCLCPP_ERROR(rclcpp::get_logger("tf_help"), "Failed to look up the robot pose (%s in %s): %s",
                 robot_frame.c_str(), global_frame.c_str(), ex.what());
  }
  return false;
}

}  // namespace nav2_util
