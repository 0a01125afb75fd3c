#ifndef DEMO__LOCALISATION_HPP_
#define DEMO__LOCALISATION_HPP_

#include <memory>
#include <string>
#include <vector>

#include "builtin_interfaces/msg/time.hpp"
#include "demo_options.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/transform_broadcaster.h"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace demo {

// The transform a localisation node broadcasts: the robot's base frame placed at `pose` in the
// map frame.
geometry_msgs::msg::TransformStamped robotTransform(const std::string& map_frame,
                                                    const std::string& base_frame,
                                                    const Pose2& pose,
                                                    const builtin_interfaces::msg::Time& stamp);

/**
 * Plays the robot's localisation: says where the robot stands by broadcasting the transform from
 * the map frame to its base on "/tf", as a localisation node does, and waits until the costmap of
 * every grid map has heard it, so that a goal sent next is planned from there.
 */
class Localisation {
 public:
  // Throws InputError when the grid maps disagree on their frames.
  explicit Localisation(std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps);

  // Throws std::runtime_error when a costmap has not heard it within a generous wait.
  void placeRobot(const Pose2& pose);

 private:
  std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps_;
  std::string map_frame_;
  std::string base_frame_;
  rclcpp::Node::SharedPtr node_;
  tf2_ros::TransformBroadcaster broadcaster_;
};

}  // namespace demo

#endif  // DEMO__LOCALISATION_HPP_
