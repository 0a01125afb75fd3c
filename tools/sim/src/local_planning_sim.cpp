#include "planning_sim/local_planning_sim.hpp"

namespace planning_sim {

LocalPlanningSim::LocalPlanningSim(const nav_msgs::msg::OccupancyGrid& floor,
                                   LocalPlanningSimOptions options)
    : maps_(options.local_window
                ? makeLocalNodeMaps(floor, options.map_params, *options.local_window)
                : makeLocalNodeMaps(floor, options.map_params)),
      clock_(options.start),
      world_(floor, {maps_.local}),
      robot_(clock_, world_, maps_.list(), options.robot),
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
