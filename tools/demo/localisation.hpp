#ifndef DEMO__LOCALISATION_HPP_
#define DEMO__LOCALISATION_HPP_

#include <memory>
#include <vector>

#include "demo_options.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "planning_sim/localisation.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"

namespace demo {

geometry_msgs::msg::Pose2D toPose2D(const Pose2& pose);

/**
 * Plays the robot's localisation (planning_sim::Localisation): broadcasts where the robot stands
 * on "/tf" and waits until the costmap of every grid map has heard it.
 */
class Localisation {
 public:
  // Throws InputError when the grid maps disagree on their frames.
  explicit Localisation(std::vector<std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>> maps);

  // Throws std::runtime_error when a costmap has not heard it within a generous wait.
  void placeRobot(const Pose2& pose) { localisation_->placeRobot(toPose2D(pose)); }

 private:
  std::unique_ptr<planning_sim::Localisation> localisation_;
};

}  // namespace demo

#endif  // DEMO__LOCALISATION_HPP_
