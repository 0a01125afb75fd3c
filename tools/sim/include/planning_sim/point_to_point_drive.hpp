#ifndef PLANNING_SIM__POINT_TO_POINT_DRIVE_HPP_
#define PLANNING_SIM__POINT_TO_POINT_DRIVE_HPP_

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/action_call.hpp"
#include "planning_sim/local_planning_sim.hpp"
#include "planning_sim/local_trip.hpp"
#include "rclcpp/duration.hpp"
#include "vantrell_nav2_protocol/action/global_planning.hpp"

namespace planning_sim {

struct DriveOptions {
  // Planner keys of the "global_planning" goal and of the "local_planning" goals.
  std::string global_planner{planning::global_keys::kDijkstra};
  std::string local_planner{planning::local_keys::kDijkstra};
  // The task manager asks for the next local path at this period of simulated time (10 Hz).
  rclcpp::Duration control_period{std::chrono::milliseconds(100)};
  // The leg ends once the robot stands this near the goal and the last result says finished.
  double goal_tolerance{0.25};
  // Simulated time a leg may take: this allowance, plus its global path driven this many times
  // over at the robot's top speed.
  double time_allowance_s{60.0};
  double time_factor{4.0};
};

// One leg as the task manager saw it.
struct DriveLeg {
  geometry_msgs::msg::PoseStamped goal;
  int32_t action_id{0};
  // The "global_planning" goal's reply; without a global path no local goal is sent.
  ActionReply<vantrell_nav2_protocol::action::GlobalPlanning> global;
  TripReport trip;
  // The robot's poses from the start of the leg to its end.
  std::vector<geometry_msgs::msg::PoseStamped> track;

  bool globalPathFound() const;
  bool reached() const { return trip.end == TripEnd::kArrived; }
};

/**
 * Drives the simulated robot from where it stands to `goal`, playing the task manager of a
 * point-to-point trip: one "global_planning" goal, then "local_planning" goals carrying that path
 * set, each result's local path handed to the robot for one control period, until the robot
 * stands within the goal tolerance with a result that says finished, a collision is avoided,
 * plans keep failing or the time allowed passes. Both of the simulation's planning nodes must
 * have been started; `action_id` numbers the leg's goals.
 */
DriveLeg driveTo(LocalPlanningSim& sim, const geometry_msgs::msg::PoseStamped& goal,
                 const DriveOptions& options, int32_t action_id);
// The two halves of driveTo: the global plan from where the robot stands, and the drive along
// it (none without a global path), for a host that settles the robot in between.
DriveLeg planLeg(LocalPlanningSim& sim, const geometry_msgs::msg::PoseStamped& goal,
                 const DriveOptions& options, int32_t action_id);
void driveLeg(LocalPlanningSim& sim, DriveLeg& leg, const DriveOptions& options);

// The distances between consecutive poses, summed: of a track, of a path, of a path set.
double polylineLength(const std::vector<geometry_msgs::msg::PoseStamped>& poses);
double pathSetLength(const std::vector<vantrell_nav2_protocol::msg::Path>& paths);

}  // namespace planning_sim

#endif  // PLANNING_SIM__POINT_TO_POINT_DRIVE_HPP_
