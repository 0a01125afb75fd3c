#include "planning_sim/local_planning_sim.hpp"

namespace planning_sim {

LocalPlanningSim::LocalPlanningSim(const nav_msgs::msg::OccupancyGrid& floor,
                                   LocalPlanningSimOptions options)
    : maps_(makeLocalNodeMaps(floor, options.map_params)),
      clock_(options.start),
      world_(floor, {maps_.local}),
      robot_(clock_, world_, maps_.list(), options.robot),
      task_centre_([this]() { return robot_.track(); }),
      trip_(robot_, options.trip) {
  host_.spin(task_centre_.node());
  host_.spin(trip_.node());
}

void LocalPlanningSim::adopt(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  host_.spin(node);
  clock_.attach(node->get_clock());
  bringUp(*node);
}

}  // namespace planning_sim
