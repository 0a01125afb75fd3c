#include "coverage_benchmark/command_line.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "global_planning_benchmark/argument_reader.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/node_parameters.hpp"
#include "planning_sim/robot_configuration.hpp"

namespace coverage_benchmark {

namespace {

using global_planning_benchmark::ArgumentReader;

const std::vector<std::string>& coveragePlanners() {
  static const std::vector<std::string> planners{planning::local_keys::kStaticCoverage,
                                                 planning::local_keys::kDynamicCoverage};
  return planners;
}

// A tool narrower than a cell sweeps nothing; one wider than a few metres is no cleaning robot.
constexpr double kNarrowestTool = 0.05;
constexpr double kWidestTool = 5.0;

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string planner(ArgumentReader& reader, const std::string& flag) {
  const std::string key = reader.text(flag);
  const auto& known = coveragePlanners();
  if (!reader.failed() && std::find(known.begin(), known.end(), key) == known.end()) {
    reader.fail(fmt::format("{} '{}' is not a coverage planner; there are {}", flag, key,
                            fmt::join(known, ", ")));
  }
  return key;
}

double width(ArgumentReader& reader, const std::string& flag) {
  const std::string value = reader.text(flag);
  double read = NAN;
  if (!reader.failed() &&
      (!ArgumentReader::readReal(value, read) || read < kNarrowestTool || read > kWidestTool)) {
    reader.fail(fmt::format("{} needs metres from {} to {}, not '{}'", flag, kNarrowestTool,
                            kWidestTool, value));
  }
  return read;
}

// Reads one flag of a run; false for a flag that is none of these.
bool readOption(ArgumentReader& reader, const std::string& flag, BenchmarkOptions& options) {
  if (flag == "--map") {
    options.map_file = reader.text(flag);
  } else if (flag == "--rooms") {
    options.rooms_file = reader.text(flag);
  } else if (flag == "--planner") {
    options.planners.push_back(planner(reader, flag));
  } else if (flag == "--room") {
    options.rooms.push_back(reader.text(flag));
  } else if (flag == "--cleaning-width") {
    options.cleaning_width = width(reader, flag);
  } else if (flag == "--params-file") {
    options.params_file = reader.text(flag);
  } else if (flag == "--param") {
    options.parameter_texts.push_back(reader.text(flag));
  } else if (flag == "--robot-radius") {
    options.robot_radius = width(reader, flag);
  } else {
    return false;
  }
  return true;
}

void complete(ArgumentReader& reader, BenchmarkOptions& options) {
  if (options.map_file.empty()) {
    reader.fail("--map FILE.yaml is required");
    return;
  }
  if (options.rooms_file.empty()) {
    if (!endsWith(options.map_file, ".yaml")) {
      reader.fail("--rooms FILE is required for a map file not named *.yaml");
      return;
    }
    options.rooms_file = options.map_file.substr(0, options.map_file.size() - 5) + ".rooms.yaml";
  }
  if (options.planners.empty()) {
    options.planners = coveragePlanners();
  }
  if (options.params_file.empty()) {
    options.params_file = planning_sim::shippedConfigurationFile();
  }
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  ArgumentReader reader(args);
  return reader.read<BenchmarkOptions>(
      [&](const std::string& flag, BenchmarkOptions& options) {
        return readOption(reader, flag, options);
      },
      [&](BenchmarkOptions& options) { complete(reader, options); });
}

void checkNodeParameters(BenchmarkOptions& options) {
  options.configuration = planning_sim::loadRobotConfiguration(options.params_file);
  options.node_parameters.clear();
  for (const auto& text : options.parameter_texts) {
    options.node_parameters.push_back(
        planning_sim::robotParameterFromText({planning_sim::PlanningNode::kLocal}, text));
  }
  options.configuration.applyOverrides(options.node_parameters);
}

std::string usageText(const std::string& program) {
  return fmt::format(
      "Usage: {0} --map FILE.yaml [--rooms FILE.rooms.yaml] [--planner KEY ...] [--room ID ...]\n"
      "       [--cleaning-width M] [--robot-radius M] [--params-file FILE]\n"
      "       [--param NAME=VALUE ...]\n"
      "\n"
      "Cleans every room of the floor as one zone with each coverage planner, on the simulated\n"
      "robot through the local planning node, the robot starting where it can turn in the\n"
      "largest part of the room that the padded outline's centre reaches, nearest the room's\n"
      "centroid. Prints one JSON line per room and planner, then a summary line per planner.\n"
      "\n"
      "  --map FILE.yaml       map in the map-server format\n"
      "  --rooms FILE          the floor's rooms (default: FILE.rooms.yaml beside the map)\n"
      "  --planner KEY         {1} (default: both; repeat for several)\n"
      "  --room ID             only this room (repeat for several)\n"
      "  --cleaning-width M    the cleaning tool's width in metres (default 0.6)\n"
      "  --robot-radius M      a round robot of this radius (default: the 0.6 x 0.5 m outline)\n"
      "  --params-file FILE    the robot's parameter file (default: the project's\n"
      "                        config/robot.yaml)\n"
      "  --param NAME=VALUE    a parameter of the local planning node, or footprint_padding,\n"
      "                        over the file's (repeat for several); a name the node does not\n"
      "                        read, or a value it refuses, is refused (status 1)\n"
      "  --help                this text\n"
      "\n"
      "Exit status: 0 every room finished, 1 the run could not start (arguments, a --param\n"
      "or parameter file that was refused, map, rooms file, a node that did not come up), 2\n"
      "some rooms ended otherwise (time limit, stalled, failed plans, a robot stuck, no\n"
      "answer, no place for the robot).\n",
      program, fmt::join(coveragePlanners(), " or "));
}

}  // namespace coverage_benchmark
