#ifndef DEMO__GLOBAL_SCENARIO_HPP_
#define DEMO__GLOBAL_SCENARIO_HPP_

#include <ostream>
#include <string>
#include <vector>

#include "demo_map.hpp"
#include "demo_options.hpp"

namespace demo {

// One goal of the global scenario.
struct Leg {
  std::string label;
  Pose2 goal;
  std::string planner;
};

// The legs the options ask for: one per --goal, or the tour of the bundled floor. Every position
// is checked against the map first (InputError).
std::vector<Leg> plannedLegs(const DemoOptions& options, const DemoMap& map, Pose2& start);

/**
 * The "global" scenario: hosts the global planning node on the map, plans the legs one after the
 * other (each from where the last one ended), prints one line per leg and writes the picture.
 * Returns kAllPlansSucceeded or kPlanFailed.
 */
int runGlobalScenario(const DemoOptions& options, std::ostream& out);

}  // namespace demo

#endif  // DEMO__GLOBAL_SCENARIO_HPP_
