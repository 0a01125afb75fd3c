#ifndef PLANNING_SIM__DRIVE_MEASURES_HPP_
#define PLANNING_SIM__DRIVE_MEASURES_HPP_

#include <cstddef>
#include <limits>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning_sim/point_to_point_drive.hpp"
#include "planning_sim/track_clearance.hpp"

namespace planning_sim {

// What a leg of a drive came to. Lengths in metres, times in seconds of simulated time unless
// named _ms (wall time); NaN where there is nothing to measure.
struct DriveMeasures {
  bool reached{false};
  // Steps the robot refused because they would have touched something (the leg ends at one).
  size_t collisions{0};
  double simulated_s{0.0};
  double track_m{0.0};
  double global_m{std::numeric_limits<double>::quiet_NaN()};
  double clearance_m{std::numeric_limits<double>::quiet_NaN()};
  // Every "local_planning" goal answered, and those that failed.
  size_t cycles{0};
  size_t failed_cycles{0};
  // Wall time of each answered local goal, from sending it to its result.
  std::vector<double> cycle_ms;
  // Turns in place (a run of results asking for one counts once), and where the robot stood
  // when each began.
  size_t rotations{0};
  std::vector<geometry_msgs::msg::PoseStamped> rotation_spots;
  // The smallest speed-limit percentage of the results the robot followed.
  double smallest_speed_limit{std::numeric_limits<double>::quiet_NaN()};
};

DriveMeasures measureDrive(const DriveLeg& leg, const TrackClearance& clearance);

// For each pose of the track, the speed-limit percentage of the result the robot was following
// when it got there (NaN before the first one and while standing after a failed plan).
std::vector<double> speedLimitsAlong(const DriveLeg& leg);

}  // namespace planning_sim

#endif  // PLANNING_SIM__DRIVE_MEASURES_HPP_
