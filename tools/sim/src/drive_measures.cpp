#include "planning_sim/drive_measures.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "planning/geometry.hpp"

namespace planning_sim {

namespace {

geometry_msgs::msg::PoseStamped spotOf(const TripCycle& cycle) {
  geometry_msgs::msg::PoseStamped spot =
      planning::geometry::planarPose(cycle.robot.x, cycle.robot.y, cycle.robot.theta);
  spot.header.stamp = cycle.time;
  return spot;
}

void measureCycles(const TripReport& trip, DriveMeasures& measures) {
  bool turning = false;
  for (const TripCycle& cycle : trip.cycles) {
    if (!cycle.reply.answered) {
      continue;
    }
    ++measures.cycles;
    measures.cycle_ms.push_back(cycle.reply.milliseconds);
    if (!cycle.reply.succeeded) {
      ++measures.failed_cycles;
      turning = false;
      continue;
    }
    const auto& result = cycle.reply.result;
    // A turn longer than a control period is asked for again each cycle until it is done.
    if (result.spin_required != 0 && !turning) {
      ++measures.rotations;
      measures.rotation_spots.push_back(spotOf(cycle));
    }
    turning = result.spin_required != 0;
    if (!(result.speed_limit_percent >= measures.smallest_speed_limit)) {
      measures.smallest_speed_limit = result.speed_limit_percent;
    }
  }
}

}  // namespace

DriveMeasures measureDrive(const DriveLeg& leg, const TrackClearance& clearance) {
  DriveMeasures measures;
  measures.reached = leg.reached();
  measures.collisions = leg.trip.collision ? 1 : 0;
  measures.simulated_s = leg.trip.elapsed.seconds();
  measures.track_m = polylineLength(leg.track);
  if (leg.globalPathFound()) {
    measures.global_m = pathSetLength(leg.global.result.multi_paths.paths);
  }
  measures.clearance_m = clearance.smallest(leg.track);
  measureCycles(leg.trip, measures);
  return measures;
}

std::vector<double> speedLimitsAlong(const DriveLeg& leg) {
  std::vector<double> limits;
  limits.reserve(leg.track.size());
  const auto& cycles = leg.trip.cycles;
  size_t next = 0;
  double limit = std::numeric_limits<double>::quiet_NaN();
  for (const auto& pose : leg.track) {
    const rclcpp::Time stamp(pose.header.stamp, RCL_ROS_TIME);
    // The pose was reached under the last cycle asked before it.
    while (next < cycles.size() && cycles[next].time < stamp) {
      const auto& reply = cycles[next].reply;
      limit = reply.succeeded ? reply.result.speed_limit_percent
                              : std::numeric_limits<double>::quiet_NaN();
      ++next;
    }
    limits.push_back(limit);
  }
  return limits;
}

}  // namespace planning_sim
