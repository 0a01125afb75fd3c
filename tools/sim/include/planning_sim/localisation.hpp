#ifndef PLANNING_SIM__LOCALISATION_HPP_
#define PLANNING_SIM__LOCALISATION_HPP_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/transform_broadcaster.h"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace planning_sim {

// The transform a localisation node broadcasts: the robot's base frame placed at `pose` in the
// map frame.
geometry_msgs::msg::TransformStamped robotTransform(const std::string& map_frame,
                                                    const std::string& base_frame,
                                                    const geometry_msgs::msg::Pose2D& pose,
                                                    const rclcpp::Time& stamp);

/**
 * Plays the robot's localisation: says where the robot stands by broadcasting the transform from
 * the map frame to its base on "/tf", as a localisation node does, and, when placing it, waits
 * until the costmap of every grid map has heard it, so that a goal sent next is planned from
 * there. Each costmap hears "/tf" on a listener thread of its own.
 */
class Localisation {
 public:
  // Throws std::invalid_argument when there is no grid map or the grid maps disagree on their
  // frames.
  explicit Localisation(std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps,
                        const std::string& node_name = "localisation");

  // Broadcasts the pose stamped with the localisation node's time and waits for every costmap.
  // Throws std::runtime_error when a costmap has not heard it within a generous wait.
  void placeRobot(const geometry_msgs::msg::Pose2D& pose);
  // The same with the stamp given, as a simulator gives its simulated time.
  void placeRobot(const geometry_msgs::msg::Pose2D& pose, const rclcpp::Time& stamp);
  // Broadcasts without waiting, as each step of a moving robot does.
  void broadcast(const geometry_msgs::msg::Pose2D& pose, const rclcpp::Time& stamp);
  // Waits until every costmap has heard the last broadcast. Throws std::logic_error before the
  // first broadcast, std::runtime_error as placeRobot does.
  void waitUntilHeard() const;

  const std::string& mapFrame() const { return map_frame_; }
  const std::string& baseFrame() const { return base_frame_; }

 private:
  std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps_;
  std::string map_frame_;
  std::string base_frame_;
  rclcpp::Node::SharedPtr node_;
  tf2_ros::TransformBroadcaster broadcaster_;
  std::optional<rclcpp::Time> last_stamp_;
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__LOCALISATION_HPP_
