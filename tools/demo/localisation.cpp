#include "localisation.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "planning/geometry.hpp"
#include "scenarios.hpp"

namespace demo {

namespace {

// Each costmap hears "/tf" on a listener thread of its own; this only bounds a stuck one.
const rclcpp::Duration kHearingPatience = rclcpp::Duration::from_seconds(10.0);

}  // namespace

geometry_msgs::msg::TransformStamped robotTransform(const std::string& map_frame,
                                                    const std::string& base_frame,
                                                    const Pose2& pose,
                                                    const builtin_interfaces::msg::Time& stamp) {
  geometry_msgs::msg::TransformStamped transform;
  transform.header.stamp = stamp;
  transform.header.frame_id = map_frame;
  transform.child_frame_id = base_frame;
  transform.transform.translation.x = pose.x;
  transform.transform.translation.y = pose.y;
  transform.transform.rotation = planning::geometry::yawToQuaternion(pose.yaw);
  return transform;
}

Localisation::Localisation(std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps)
    : maps_(std::move(maps)),
      map_frame_(maps_.at(0)->getCostmapROS()->getGlobalFrameID()),
      base_frame_(maps_.at(0)->getCostmapROS()->getBaseFrameID()),
      node_(std::make_shared<rclcpp::Node>("demo_localisation")),
      broadcaster_(node_) {
  for (const auto& map : maps_) {
    const auto costmap = map->getCostmapROS();
    if (costmap->getGlobalFrameID() != map_frame_ || costmap->getBaseFrameID() != base_frame_) {
      throw InputError("the grid maps do not share their map and robot frames");
    }
  }
}

void Localisation::placeRobot(const Pose2& pose) {
  const auto stamp = node_->now();
  broadcaster_.sendTransform(robotTransform(map_frame_, base_frame_, pose, stamp));
  for (const auto& map : maps_) {
    // The costmap takes the newest transform it has; this one is newest once it has it.
    if (!map->getCostmapROS()->getTfBuffer()->canTransform(map_frame_, base_frame_, stamp,
                                                           kHearingPatience)) {
      throw std::runtime_error("the costmap of grid map \"" + map->get_name() +
                               "\" did not hear where the robot stands");
    }
  }
}

}  // namespace demo
