#include "planning_sim/point_to_point_drive.hpp"

#include <cmath>

namespace planning_sim {

namespace {

// The leg's local goals end near the goal pose; how near the planners' fuzzy goal may lie.
constexpr float kFuzzyDistance = 0.1F;

LocalTrip::LocalPlanning::Goal localGoal(const DriveLeg& leg, const std::string& planner) {
  LocalTrip::LocalPlanning::Goal goal;
  goal.current_planning_id = planner;
  goal.global_paths = leg.global.result.multi_paths;
  goal.global_path_uuid = leg.global.result.global_path_uuid;
  goal.action_id = leg.action_id;
  goal.use_goal_pose = true;
  goal.goal_pose = leg.goal;
  goal.fuzzy_distance = kFuzzyDistance;
  return goal;
}

TripOptions tripOptions(TripOptions trip, const DriveOptions& options, double path_length,
                        double top_speed) {
  trip.control_period = options.control_period;
  trip.arrival_tolerance = options.goal_tolerance;
  trip.arrival_needs_finished = true;
  trip.finishes = nullptr;
  trip.time_limit = rclcpp::Duration::from_seconds(options.time_allowance_s +
                                                   options.time_factor * path_length / top_speed);
  return trip;
}

}  // namespace

bool DriveLeg::globalPathFound() const {
  return global.succeeded && !global.result.multi_paths.paths.empty() &&
         !global.result.multi_paths.paths.back().nav_path.poses.empty();
}

double polylineLength(const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  double length = 0.0;
  for (size_t i = 1; i < poses.size(); ++i) {
    length += std::hypot(poses[i].pose.position.x - poses[i - 1].pose.position.x,
                         poses[i].pose.position.y - poses[i - 1].pose.position.y);
  }
  return length;
}

double pathSetLength(const std::vector<vantrell_nav2_protocol::msg::Path>& paths) {
  double length = 0.0;
  for (const auto& path : paths) {
    length += polylineLength(path.nav_path.poses);
  }
  return length;
}

DriveLeg planLeg(LocalPlanningSim& sim, const geometry_msgs::msg::PoseStamped& goal,
                 const DriveOptions& options, int32_t action_id) {
  DriveLeg leg;
  leg.goal = goal;
  leg.action_id = action_id;
  LocalTrip::GlobalPlanning::Goal request;
  request.current_planning_id = options.global_planner;
  request.goal_poses = {goal};
  request.action_id = action_id;
  leg.global = sim.trip().requestGlobalPlan(request);
  return leg;
}

void driveLeg(LocalPlanningSim& sim, DriveLeg& leg, const DriveOptions& options) {
  const size_t first_pose = sim.robot().track().size() - 1;
  if (leg.globalPathFound()) {
    sim.trip().options() = tripOptions(sim.trip().options(), options,
                                       pathSetLength(leg.global.result.multi_paths.paths),
                                       sim.robot().params().max_linear_speed);
    leg.trip = sim.trip().run(localGoal(leg, options.local_planner));
  }
  const auto track = sim.robot().track();
  leg.track.assign(track.begin() + static_cast<std::ptrdiff_t>(first_pose), track.end());
}

DriveLeg driveTo(LocalPlanningSim& sim, const geometry_msgs::msg::PoseStamped& goal,
                 const DriveOptions& options, int32_t action_id) {
  DriveLeg leg = planLeg(sim, goal, options, action_id);
  driveLeg(sim, leg, options);
  return leg;
}

}  // namespace planning_sim
