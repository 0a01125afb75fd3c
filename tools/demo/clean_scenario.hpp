#ifndef DEMO__CLEAN_SCENARIO_HPP_
#define DEMO__CLEAN_SCENARIO_HPP_

#include <ostream>

#include "demo_options.hpp"

namespace demo {

/**
 * Cleans zones with a coverage planner of the local planning node on the simulated robot:
 * hosts the global and the local node on the map, drives the robot to each zone on a global
 * path, then sends coverage goals at 10 Hz of simulated time until the planner has finished.
 * Prints per zone how well it was cleaned and how long the cycles took, and writes a picture of
 * the cells cleaned and the track. Returns kAllPlansSucceeded when every zone was finished.
 */
int runCleanScenario(const DemoOptions& options, std::ostream& out);

// Throws UsageError for options the clean scenario would otherwise ignore or misread: --goal,
// --room without --rooms, a room given twice, --zone beside --rooms.
void checkCleanOptions(const DemoOptions& options);

}  // namespace demo

#endif  // DEMO__CLEAN_SCENARIO_HPP_
