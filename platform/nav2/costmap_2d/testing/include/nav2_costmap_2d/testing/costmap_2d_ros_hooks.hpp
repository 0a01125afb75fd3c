#ifndef NAV2_COSTMAP_2D__TESTING__COSTMAP_2D_ROS_HOOKS_HPP_
#define NAV2_COSTMAP_2D__TESTING__COSTMAP_2D_ROS_HOOKS_HPP_

#include <cmath>
#include <memory>
#include <mutex>
#include <utility>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "tf2_ros/buffer.h"

// Host and test hooks: where the robot is. Never included by library code.
namespace nav2_costmap_2d {
namespace testing {

struct Costmap2DROSAccess {
  static void setFixedPose(Costmap2DROS& costmap, const geometry_msgs::msg::PoseStamped& pose) {
    std::lock_guard<std::mutex> lock(costmap.pose_mutex_);
    costmap.fixed_pose_ = pose;
    costmap.tf_buffer_.reset();
  }

  static void setBuffer(Costmap2DROS& costmap, std::shared_ptr<tf2_ros::Buffer> buffer) {
    std::lock_guard<std::mutex> lock(costmap.pose_mutex_);
    costmap.fixed_pose_.reset();
    costmap.tf_buffer_ = std::move(buffer);
  }
};

// The robot stands at this pose of the global frame until told otherwise.
inline void setRobotPose(Costmap2DROS& costmap, const geometry_msgs::msg::PoseStamped& pose) {
  Costmap2DROSAccess::setFixedPose(costmap, pose);
}

inline void setRobotPose(Costmap2DROS& costmap, double x, double y, double yaw) {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(yaw / 2.0);
  pose.pose.orientation.w = std::cos(yaw / 2.0);
  Costmap2DROSAccess::setFixedPose(costmap, pose);
}

// From now on the pose is the buffer's transform global frame <- base frame.
inline void attachTransformBuffer(Costmap2DROS& costmap, std::shared_ptr<tf2_ros::Buffer> buffer) {
  Costmap2DROSAccess::setBuffer(costmap, std::move(buffer));
}

// No pose at all: getRobotPose() returns false.
inline void clearRobotPose(Costmap2DROS& costmap) {
  Costmap2DROSAccess::setBuffer(costmap, nullptr);
}

}  // namespace testing
}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__TESTING__COSTMAP_2D_ROS_HOOKS_HPP_
