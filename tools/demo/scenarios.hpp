#ifndef DEMO__SCENARIOS_HPP_
#define DEMO__SCENARIOS_HPP_

#include <functional>
#include <ostream>
#include <string>

#include "demo_options.hpp"
#include "planning_sim/robot_configuration.hpp"

namespace demo {

// Exit statuses of the demo.
constexpr int kAllPlansSucceeded = 0;
constexpr int kPlanFailed = 1;
constexpr int kBadInput = 2;
constexpr int kInternalError = 3;

// A scenario runs with the parsed options, reports on `out` and returns the exit status.
// Bad input is reported by throwing UsageError or InputError.
using Scenario = std::function<int(const DemoOptions&, std::ostream& out)>;

// Input that names something the demo cannot use (a missing map, a goal in a wall).
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The configuration the drive and clean scenarios host the robot with: the parameter file that
// --params-file names, or the project's, with --param over it. Throws InputError for a file that
// cannot be used.
planning_sim::RobotConfiguration robotConfiguration(const DemoOptions& options);

bool isScenario(const std::string& name);
// "global" (more to come: one per node the demo hosts).
std::string scenarioNames();
// Throws UsageError for an unknown name.
const Scenario& scenario(const std::string& name);

}  // namespace demo

#endif  // DEMO__SCENARIOS_HPP_
