#include "local_planning_benchmark/drive_command_line.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <sstream>

#include "planning/planner_keys.hpp"
#include "planning_sim/node_parameters.hpp"
#include "planning_sim/robot_configuration.hpp"

namespace local_planning_benchmark {

namespace {

// The point-to-point planners of the local node that drive along a global path.
const std::vector<std::string>& drivingPlanners() {
  static const std::vector<std::string> planners{planning::local_keys::kDijkstra,
                                                 planning::local_keys::kLocalWayPoints};
  return planners;
}

// "a,b": the planners named, each once; an error names the first that cannot drive.
std::vector<std::string> plannersOf(const std::string& list, std::string& error) {
  std::vector<std::string> planners;
  std::stringstream stream(list);
  std::string name;
  while (std::getline(stream, name, ',')) {
    const auto& known = drivingPlanners();
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      error = fmt::format("--planner takes {} (comma-separated), not '{}'",
                          fmt::join(known, " or "), name);
      return {};
    }
    if (std::find(planners.begin(), planners.end(), name) == planners.end()) {
      planners.push_back(name);
    }
  }
  if (planners.empty()) {
    error = "--planner needs a value";
  }
  return planners;
}

}  // namespace

DriveCommandLine parseDriveCommandLine(const std::vector<std::string>& args) {
  DriveCommandLine line;
  std::vector<std::string> inputs;
  line.options.params_file = planning_sim::shippedConfigurationFile();
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--params-file") {
      if (i + 1 >= args.size()) {
        line.error = "--params-file needs a value";
        return line;
      }
      line.options.params_file = args[++i];
      continue;
    }
    if (args[i] == "--param") {
      if (i + 1 >= args.size()) {
        line.error = "--param needs a value";
        return line;
      }
      try {
        line.options.node_parameters.push_back(planning_sim::robotParameterFromText(
            {planning_sim::PlanningNode::kGlobal, planning_sim::PlanningNode::kLocal}, args[++i]));
      } catch (const planning_sim::NodeParameterError& e) {
        line.error = std::string("--param: ") + e.what();
        return line;
      }
      continue;
    }
    if (args[i] != "--planner") {
      inputs.push_back(args[i]);
      continue;
    }
    // A missing list reads as an empty one, which says the value is missing.
    line.options.planners = plannersOf(i + 1 < args.size() ? args[++i] : "", line.error);
    if (!line.error.empty()) {
      return line;
    }
  }
  const auto common = global_planning_benchmark::parseCommandLine(inputs);
  line.request = common.request;
  line.options.inputs = common.options;
  line.error = common.error;
  return line;
}

std::string driveUsageText(const std::string& program) {
  return fmt::format(
             "Usage: {0} --map FILE.yaml (--pairs FILE | --random N [--seed S] [--write-pairs "
             "FILE])\n"
             "       [--planner dijkstra[,local_wap_points]] [--params-file FILE]\n"
             "       [--param NAME=VALUE ...]\n"
             "       [--inflation-radius M] [--cost-scaling-factor F] [--inflate-unknown]\n"
             "\n"
             "Drives a simulated robot from start to goal for every pair, as the task manager "
             "does:\n"
             "a \"global_planning\" goal with the \"dijkstra\" planner, then \"local_planning\" "
             "goals\n"
             "at 10 Hz of simulated time with the local planner, each local path followed until "
             "the\n"
             "next. Prints one JSON line per pair and planner, then a summary line per planner.\n"
             "\n",
             program) +
         global_planning_benchmark::inputOptionsText(
             "  --planner LIST           local planners to drive with (default dijkstra)\n"
             "  --params-file FILE       the robot's parameter file (default: the project's\n"
             "                           config/robot.yaml)\n"
             "  --param NAME=VALUE       a parameter of the planning nodes, or\n"
             "                           footprint_padding, over the file's (repeat for more;\n"
             "                           docs/parameters.md)\n") +
         "\n"
         "Exit status: 0 every pair driven (reached or not), 1 the run could not start or was\n"
         "stopped (arguments, a --param or parameter file that was refused, map, pairs file,\n"
         "a node that stopped answering), 2 some pairs lay off the map and were reported as\n"
         "invalid.\n";
}

}  // namespace local_planning_benchmark
