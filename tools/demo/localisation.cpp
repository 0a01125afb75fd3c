#include "localisation.hpp"

#include <stdexcept>
#include <utility>

#include "scenarios.hpp"

namespace demo {

geometry_msgs::msg::Pose2D toPose2D(const Pose2& pose) {
  geometry_msgs::msg::Pose2D pose2d;
  pose2d.x = pose.x;
  pose2d.y = pose.y;
  pose2d.theta = pose.yaw;
  return pose2d;
}

Localisation::Localisation(std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps) {
  try {
    localisation_ =
        std::make_unique<planning_sim::Localisation>(std::move(maps), "demo_localisation");
  } catch (const std::invalid_argument& error) {
    throw InputError(error.what());
  }
}

}  // namespace demo
