#include "nav2_costmap_2d/costmap_2d_ros.hpp"

#include "nav2_costmap_2d/footprint.hpp"
#include "tf2/exceptions.h"
#include "tf2/time.h"

namespace nav2_costmap_2d {

Costmap2DROS::Costmap2DROS(const std::string& name, const std::string& global_frame,
                           const std::string& robot_base_frame, double transform_tolerance,
                           bool track_unknown)
    : name_(name),
      global_frame_(global_frame),
      robot_base_frame_(robot_base_frame),
      transform_tolerance_(transform_tolerance),
      layered_costmap_(std::make_unique<LayeredCostmap>(global_frame, track_unknown)),
      tf_buffer_(std::make_shared<tf2_ros::Buffer>(std::make_shared<rclcpp::Clock>(RCL_ROS_TIME))),
      tf_listener_(std::make_shared<tf2_ros::TransformListener>(*tf_buffer_)) {}

// The listener goes first: its thread writes into the buffer.
Costmap2DROS::~Costmap2DROS() { tf_listener_.reset(); }

bool Costmap2DROS::getRobotPose(geometry_msgs::msg::PoseStamped& global_pose) {
  geometry_msgs::msg::TransformStamped transform;
  try {
    transform = tf_buffer_->lookupTransform(global_frame_, robot_base_frame_, tf2::TimePointZero,
                                            tf2::durationFromSec(transform_tolerance_));
  } catch (const tf2::TransformException&) {
    return false;
  }
  global_pose.header.stamp = transform.header.stamp;
  global_pose.header.frame_id = global_frame_;
  global_pose.pose.position.x = transform.transform.translation.x;
  global_pose.pose.position.y = transform.transform.translation.y;
  global_pose.pose.position.z = transform.transform.translation.z;
  global_pose.pose.orientation = transform.transform.rotation;
  return true;
}

std::vector<geometry_msgs::msg::Point> Costmap2DROS::getRobotFootprint() {
  return layered_costmap_->getFootprint();
}

geometry_msgs::msg::Polygon Costmap2DROS::getRobotFootprintPolygon() {
  return toPolygon(layered_costmap_->getFootprint());
}

void Costmap2DROS::setRobotFootprint(const std::vector<geometry_msgs::msg::Point>& points) {
  layered_costmap_->setFootprint(points);
}

void Costmap2DROS::setRobotFootprintPolygon(
    const geometry_msgs::msg::Polygon::SharedPtr footprint) {
  setRobotFootprint(footprint ? toPointVector(footprint)
                              : std::vector<geometry_msgs::msg::Point>());
}

void Costmap2DROS::resetLayers() {
  for (const auto& plugin : layered_costmap_->getPlugins()) {
    plugin->reset();
  }
}

void Costmap2DROS::updateMap() {
  // The layers here do not follow the robot, so the pose is not needed and
  // an update never waits on tf.
  layered_costmap_->updateMap(0.0, 0.0, 0.0);
}

}  // namespace nav2_costmap_2d
