#include "planning_sim/localisation.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace planning_sim {

namespace {

// Each costmap hears "/tf" on a listener thread of its own; this only bounds a stuck one.
const rclcpp::Duration kHearingPatience = rclcpp::Duration::from_seconds(10.0);

std::string frameOf(const std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>>& maps,
                    bool base) {
  if (maps.empty() || !maps.front()) {
    throw std::invalid_argument("the robot's localisation needs a grid map");
  }
  const auto costmap = maps.front()->getCostmapROS();
  return base ? costmap->getBaseFrameID() : costmap->getGlobalFrameID();
}

}  // namespace

geometry_msgs::msg::TransformStamped robotTransform(const std::string& map_frame,
                                                    const std::string& base_frame,
                                                    const geometry_msgs::msg::Pose2D& pose,
                                                    const rclcpp::Time& stamp) {
  geometry_msgs::msg::TransformStamped transform;
  transform.header.stamp = stamp;
  transform.header.frame_id = map_frame;
  transform.child_frame_id = base_frame;
  transform.transform.translation.x = pose.x;
  transform.transform.translation.y = pose.y;
  transform.transform.rotation.z = std::sin(pose.theta / 2.0);
  transform.transform.rotation.w = std::cos(pose.theta / 2.0);
  return transform;
}

Localisation::Localisation(std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps,
                           const std::string& node_name)
    : maps_(std::move(maps)),
      map_frame_(frameOf(maps_, false)),
      base_frame_(frameOf(maps_, true)),
      node_(std::make_shared<rclcpp::Node>(node_name)),
      broadcaster_(node_) {
  for (const auto& map : maps_) {
    const auto costmap = map ? map->getCostmapROS() : nullptr;
    if (!costmap || costmap->getGlobalFrameID() != map_frame_ ||
        costmap->getBaseFrameID() != base_frame_) {
      throw std::invalid_argument("the grid maps do not share their map and robot frames");
    }
  }
}

void Localisation::placeRobot(const geometry_msgs::msg::Pose2D& pose) {
  placeRobot(pose, node_->now());
}

void Localisation::placeRobot(const geometry_msgs::msg::Pose2D& pose, const rclcpp::Time& stamp) {
  broadcast(pose, stamp);
  waitUntilHeard();
}

void Localisation::waitUntilHeard() const {
  if (!last_stamp_) {
    throw std::logic_error("the robot has not been placed yet");
  }
  for (const auto& map : maps_) {
    // The costmap takes the newest transform it has; this one is newest once it has it.
    if (!map->getCostmapROS()->getTfBuffer()->canTransform(map_frame_, base_frame_, *last_stamp_,
                                                           kHearingPatience)) {
      throw std::runtime_error("the costmap of grid map \"" + map->get_name() +
                               "\" did not hear where the robot stands");
    }
  }
}

void Localisation::broadcast(const geometry_msgs::msg::Pose2D& pose, const rclcpp::Time& stamp) {
  // A costmap tells a placement from the one before only by a later stamp.
  rclcpp::Time sent(stamp.nanoseconds(), RCL_ROS_TIME);
  if (last_stamp_ && sent <= *last_stamp_) {
    sent = *last_stamp_ + rclcpp::Duration(std::chrono::nanoseconds(1));
  }
  broadcaster_.sendTransform(robotTransform(map_frame_, base_frame_, pose, sent));
  last_stamp_ = sent;
}

}  // namespace planning_sim
