#ifndef DEMO__DRIVE_SCENARIO_HPP_
#define DEMO__DRIVE_SCENARIO_HPP_

#include <ostream>
#include <string>
#include <vector>

#include "demo_map.hpp"
#include "demo_options.hpp"

namespace demo {

// One leg of a drive: where to and what the goal is called in the report.
struct DriveStop {
  std::string label;
  Pose2 goal;
};

// Throws UsageError for a command line the drive scenario cannot run: a planner other than the
// local node's "dijkstra" and "local_wap_points", a zone, a map without --start and --goal.
void checkDriveOptions(const DemoOptions& options);

// The legs the options ask for: one per --goal, or the drive round the bundled floor; `start` is
// set to where the robot starts. Every position, obstacles included, is checked against the map
// (InputError).
std::vector<DriveStop> drivenLegs(const DemoOptions& options, const DemoMap& map, Pose2& start);

/**
 * The "drive" scenario: hosts the global and the local planning node on the map with a simulated
 * robot, plays the task manager leg after leg (each from where the robot stopped), prints what
 * each leg came to and writes the picture. Returns kAllPlansSucceeded when every leg reached its
 * goal, else kPlanFailed.
 */
int runDriveScenario(const DemoOptions& options, std::ostream& out);

}  // namespace demo

#endif  // DEMO__DRIVE_SCENARIO_HPP_
