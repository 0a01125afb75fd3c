// The lift side of the global planning node: the lift planners ("lift", "lift_out"), the lift
// checks ("is_global_free", "is_fuzzy_global_free") and the forced path ("force_global_path").
//
// Placeholders until the lift planners and checks land: no lift planner is added, and every
// goal of the three lift actions succeeds with an empty result.
#include <memory>

#include "planning/nav_global_planning_server.hpp"

namespace planning {

void NavGlobalPlanningServer::addLiftPlanners(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& /*node*/) {}

void NavGlobalPlanningServer::isGlobalFree() {
  if (!lift_free_server_->get_current_goal()) {
    return;
  }
  lift_free_server_->succeeded_current(std::make_shared<LiftFree::Result>());
}

void NavGlobalPlanningServer::isFuzzyGlobalFree() {
  if (!fuzzy_lift_free_server_->get_current_goal()) {
    return;
  }
  fuzzy_lift_free_server_->succeeded_current(std::make_shared<FuzzyLiftFree::Result>());
}

void NavGlobalPlanningServer::getForceGlobalPath() {
  if (!force_global_path_server_->get_current_goal()) {
    return;
  }
  force_global_path_server_->succeeded_current(std::make_shared<ForceGlobalPath::Result>());
}

}  // namespace planning
