#include "planning_sim/local_planning_sim.hpp"

#include "planning_sim/robot_configuration.hpp"

namespace planning_sim {

namespace {

vantrell_nav2_gridmap::GridMapParams paddedMapParams(const LocalPlanningSimOptions& options) {
  vantrell_nav2_gridmap::GridMapParams params = options.map_params;
  params.footprint = paddedFootprint(params.footprint, options.footprint_padding);
  return params;
}

SimRobotParams bareOutlineRobot(const LocalPlanningSimOptions& options) {
  SimRobotParams robot = options.robot;
  if (robot.footprint.empty()) {
    robot.footprint = options.map_params.footprint;
  }
  return robot;
}

}  // namespace

LocalPlanningSim::LocalPlanningSim(const nav_msgs::msg::OccupancyGrid& floor,
                                   LocalPlanningSimOptions options)
    : maps_(options.local_window
                ? makeLocalNodeMaps(floor, paddedMapParams(options), *options.local_window)
                : makeLocalNodeMaps(floor, paddedMapParams(options))),
      clock_(options.start),
      world_(floor, {maps_.local}),
      robot_(clock_, world_, maps_.list(), bareOutlineRobot(options)),
      controller_(robot_, maps_.local, options.controller),
      cleaning_unit_(floor.info, options.robot.cleaning_width, {maps_.zone}),
      task_centre_([this]() { return robot_.track(); }),
      trip_(robot_, controller_, options.trip) {
  robot_.observeSteps(
      [this](const geometry_msgs::msg::Pose2D& from, const geometry_msgs::msg::Pose2D& to) {
        cleaning_unit_.sweep(from, to);
      });
  host_.spin(cleaning_unit_.node());
  host_.spin(task_centre_.node());
  host_.spin(trip_.node());
}

void LocalPlanningSim::adopt(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  host_.spin(node);
  clock_.attach(node->get_clock());
  bringUp(*node);
}

}  // namespace planning_sim
