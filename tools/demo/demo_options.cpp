#include "demo_options.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include "clean_scenario.hpp"
#include "drive_scenario.hpp"
#include "planning/geometry.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/node_parameters.hpp"
#include "planning_sim/robot_configuration.hpp"
#include "scenarios.hpp"

namespace demo {

namespace {

// The value following option `name`, or a UsageError when there is none.
const std::string& valueOf(const std::vector<std::string>& args, size_t& i,
                           const std::string& name) {
  if (i + 1 >= args.size() || args[i + 1].empty()) {
    throw UsageError("option " + name + " needs a value");
  }
  return args[++i];
}

double parseNumber(const std::string& text, const std::string& what) {
  size_t used = 0;
  double value = 0.0;
  try {
    value = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || !std::isfinite(value)) {
    throw UsageError(what + ": \"" + text + "\" is not a number");
  }
  return value;
}

// A zone travels to the node in single precision, which ends at about 3.4e38.
double parseCoordinate(const std::string& text, const std::string& what) {
  const double value = parseNumber(text, what);
  if (std::abs(value) > std::numeric_limits<float>::max()) {
    throw UsageError(what + ": \"" + text + "\" is too large for a zone corner");
  }
  return value;
}

// An obstacle appears at most a day of simulated time into the drive, which ends long before.
constexpr int kLatestObstacle = 86400;

std::string plannerNames() {
  std::vector<std::string> names(planning::global_keys::kGlobalPlanners.begin(),
                                 planning::global_keys::kGlobalPlanners.end());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const auto& name : names) {
    text += (text.empty() ? "" : ", ") + name;
  }
  return text;
}

void requirePlanner(const std::string& planner) {
  const auto& keys = planning::global_keys::kGlobalPlanners;
  if (std::find(keys.begin(), keys.end(), planner) == keys.end()) {
    throw UsageError("there is no planner \"" + planner +
                     "\"; the global planning node has: " + plannerNames());
  }
}

// The comma-separated fields of `text`, a trailing comma giving an empty last field.
std::vector<std::string> fieldsOf(const std::string& text) {
  std::vector<std::string> fields;
  std::stringstream stream(text);
  std::string field;
  while (std::getline(stream, field, ',')) {
    fields.push_back(field);
  }
  if (!text.empty() && text.back() == ',') {
    fields.emplace_back();
  }
  return fields;
}

}  // namespace

geometry_msgs::msg::PoseStamped toPose(const Pose2& pose) {
  return planning::geometry::planarPose(pose.x, pose.y, pose.yaw);
}

Pose2 toPose2(const geometry_msgs::msg::PoseStamped& pose) {
  return {pose.pose.position.x, pose.pose.position.y, planning::geometry::yawOf(pose)};
}

Pose2 parsePose(const std::string& text, const std::string& what) {
  const std::vector<std::string> fields = fieldsOf(text);
  if (fields.size() < 2 || fields.size() > 3) {
    throw UsageError(what + " must be X,Y or X,Y,YAW (metres, radians), not \"" + text + "\"");
  }
  Pose2 pose;
  pose.x = parseNumber(fields[0], what + " x");
  pose.y = parseNumber(fields[1], what + " y");
  if (fields.size() == 3) {
    pose.yaw = parseNumber(fields[2], what + " yaw");
  }
  return pose;
}

std::vector<MapPoint> parseZone(const std::string& text) {
  const std::vector<std::string> fields = fieldsOf(text);
  if (fields.size() % 2 != 0) {
    throw UsageError("--zone must be X1,Y1,X2,Y2,... (pairs of metres), not \"" + text + "\"");
  }
  std::vector<MapPoint> zone;
  for (size_t i = 0; i < fields.size(); i += 2) {
    const std::string corner = "--zone corner " + std::to_string(i / 2 + 1);
    zone.push_back(
        {parseCoordinate(fields[i], corner + " x"), parseCoordinate(fields[i + 1], corner + " y")});
  }
  if (zone.size() < 3) {
    throw UsageError("--zone needs at least three corners, not " + std::to_string(zone.size()));
  }
  return zone;
}

ObstaclePlacement parseObstacle(const std::string& text, const std::string& what) {
  const std::vector<std::string> fields = fieldsOf(text);
  if (fields.size() < 2 || fields.size() > 3) {
    throw UsageError(what + " must be X,Y or X,Y,T (metres, seconds), not \"" + text + "\"");
  }
  ObstaclePlacement obstacle;
  obstacle.x = parseNumber(fields[0], what + " x");
  obstacle.y = parseNumber(fields[1], what + " y");
  if (fields.size() == 3) {
    obstacle.at = parseNumber(fields[2], what + " time");
    if (obstacle.at < 0.0 || obstacle.at > kLatestObstacle) {
      throw UsageError(what + " time must be from 0 to " + std::to_string(kLatestObstacle) +
                       " seconds, not \"" + fields[2] + "\"");
    }
  }
  return obstacle;
}

namespace {

// The scenarios that host the robot's configuration (the grid maps' padding and the nodes'
// parameters of a parameter file) and take --params-file.
bool hostsRobotConfiguration(const std::string& scenario) {
  return scenario == "drive" || scenario == "clean";
}

// The planning nodes each scenario hosts: a --param none of them reads is refused.
std::vector<planning_sim::PlanningNode> hostedNodes(const std::string& scenario) {
  using planning_sim::PlanningNode;
  if (scenario == "water") {
    return {PlanningNode::kCustom};
  }
  if (hostsRobotConfiguration(scenario)) {
    return {PlanningNode::kGlobal, PlanningNode::kLocal};
  }
  return {PlanningNode::kGlobal};
}

std::vector<rclcpp::Parameter> nodeParameters(const std::vector<std::string>& texts,
                                              const std::string& scenario) {
  std::vector<rclcpp::Parameter> parameters;
  for (const auto& text : texts) {
    try {
      parameters.push_back(hostsRobotConfiguration(scenario)
                               ? planning_sim::robotParameterFromText(hostedNodes(scenario), text)
                               : planning_sim::nodeParameterFromText(hostedNodes(scenario), text));
    } catch (const planning_sim::NodeParameterError& e) {
      throw UsageError(std::string("--param: ") + e.what());
    }
  }
  return parameters;
}

}  // namespace

DemoOptions parseOptions(const std::vector<std::string>& args) {
  DemoOptions options;
  std::vector<std::string> parameter_texts;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--scenario") {
      options.scenario = valueOf(args, i, arg);
    } else if (arg == "--map") {
      options.map_yaml = valueOf(args, i, arg);
    } else if (arg == "--start") {
      options.start = parsePose(valueOf(args, i, arg), "--start");
    } else if (arg == "--goal") {
      options.goals.push_back(
          parsePose(valueOf(args, i, arg), "--goal " + std::to_string(options.goals.size() + 1)));
    } else if (arg == "--zone") {
      options.zone = parseZone(valueOf(args, i, arg));
    } else if (arg == "--obstacle") {
      options.obstacles.push_back(parseObstacle(
          valueOf(args, i, arg), "--obstacle " + std::to_string(options.obstacles.size() + 1)));
    } else if (arg == "--planner") {
      options.planner = valueOf(args, i, arg);
    } else if (arg == "--rooms") {
      options.rooms_file = valueOf(args, i, arg);
    } else if (arg == "--room") {
      options.rooms.push_back(valueOf(args, i, arg));
    } else if (arg == "--params-file") {
      options.params_file = valueOf(args, i, arg);
    } else if (arg == "--output") {
      options.output = valueOf(args, i, arg);
    } else if (arg == "--param") {
      parameter_texts.push_back(valueOf(args, i, arg));
    } else {
      throw UsageError("unknown argument \"" + arg + "\"");
    }
  }
  if (options.help) {
    return options;
  }
  if (!isScenario(options.scenario)) {
    throw UsageError("there is no scenario \"" + options.scenario +
                     "\"; available: " + scenarioNames());
  }
  if (options.scenario != "clean" && (!options.rooms_file.empty() || !options.rooms.empty())) {
    throw UsageError("--rooms and --room belong to the clean scenario (--scenario clean)");
  }
  // Elsewhere the file would be left unread, whatever it names or whether it exists at all.
  if (!options.params_file.empty() && !hostsRobotConfiguration(options.scenario)) {
    throw UsageError("--params-file belongs to the drive and clean scenarios");
  }
  options.node_parameters = nodeParameters(parameter_texts, options.scenario);
  if (options.scenario == "drive") {
    checkDriveOptions(options);
    return options;
  }
  if (!options.obstacles.empty()) {
    throw UsageError("--obstacle belongs to the drive scenario (--scenario drive)");
  }
  if (options.scenario == "clean") {
    checkCleanOptions(options);
    return options;
  }
  requirePlanner(options.planner);
  if (options.scenario == "lift") {
    if (!options.map_yaml.empty() || options.start || !options.goals.empty() ||
        !options.zone.empty()) {
      throw UsageError("the lift scenario runs on its own drawn lift hall and takes only --output");
    }
    return options;
  }
  if (options.scenario == "water") {
    if (!options.goals.empty()) {
      throw UsageError("--goal belongs to the global scenario; the water scenario takes --zone");
    }
    // The bundled floor has a zone and a robot position of its own; another map has neither.
    if (!options.map_yaml.empty() && (!options.start || options.zone.empty())) {
      throw UsageError("with --map, the water scenario needs --start and --zone");
    }
    return options;
  }
  if (!options.zone.empty()) {
    throw UsageError("--zone belongs to the water scenario (--scenario water)");
  }
  if (!options.map_yaml.empty() && (!options.start || options.goals.empty())) {
    throw UsageError("with --map, give --start and at least one --goal");
  }
  return options;
}

std::string usage(const std::string& program) {
  std::ostringstream out;
  out << "Usage: " << program << " [options]\n"
      << "\n"
      << "Hosts the global planning node on a map, plays the task manager and plans paths\n"
      << "through the node's \"global_planning\" action. Prints, for each plan, the result code,\n"
      << "the number of poses, the path length and the planning time, and writes a PNG of the\n"
      << "map with the paths drawn.\n"
      << "\n"
      << "Without --map it uses the bundled office floor (30 m x 20 m) and, without --goal, tours\n"
      << "it: reception, office A, meeting room, open-plan area, kitchen, office C, reception.\n"
      << "\n"
      << "The water scenario hosts the custom planning node instead, asks its water-uptake\n"
      << "service for a path in a zone and prints the poses and the time taken; its picture shows\n"
      << "the zone, the largest free rectangle the node found in it and the path.\n"
      << "\n"
      << "The drive scenario hosts the global and the local planning node on the map and drives\n"
      << "a simulated robot along each leg: one \"global_planning\" goal, then \"local_planning\"\n"
      << "goals at 10 Hz of simulated time until the robot is at the goal and the node says\n"
      << "finished. Per leg it prints the outcome, the time, the track against the global path,\n"
      << "the smallest clearance and the local planning times; the picture shows the track\n"
      << "coloured by speed limit. Without --goal it drives reception -> office B -> meeting room "
         "->\n"
      << "open-plan area.\n"
      << "\n"
      << "The lift scenario hosts the global planning node in a drawn lift hall with two cars\n"
      << "and plays a lift ride: checks both cars (a wheelchair stands in one), plans into the\n"
      << "free one, asks for the forced path, checks the way out and plans it backwards.\n"
      << "\n"
      << "Options:\n"
      << "  --scenario NAME    what to demonstrate: " << scenarioNames() << " (default global)\n"
      << "  --map FILE.yaml    a map in the map-server format (image, resolution, origin, ...);\n"
      << "                     needs --start and --goal\n"
      << "  --start X,Y[,YAW]  where the robot stands (metres, radians, map frame)\n"
      << "  --goal X,Y[,YAW]   a goal; repeat for several legs, each from the end of the last\n"
      << "  --planner NAME     planner for --goal legs (default dijkstra): dijkstra,\n"
      << "                     astar_with_local_and_global_map, wap_points,\n"
      << "                     dijkstra_uptake_water, recommand_points_planning\n"
      << "                     drive: dijkstra (default) or local_wap_points, the local planner\n"
      << "  --obstacle X,Y[,T] drive: an obstacle (0.5 m square) appears in the local map at X,Y\n"
      << "                     after T seconds of simulated time (default 0); repeatable\n"
      << "  --zone X1,Y1,X2,Y2,X3,Y3[,...]\n"
      << "                     water: the zone's corners (metres, at least three); default\n"
      << "                     office B of the bundled floor; the robot stands at its door\n"
      << "                     unless --start says otherwise; with --map give both\n"
      << "  --rooms FILE       clean: the map's rooms file (FILE.rooms.yaml); --room ID picks\n"
      << "                     rooms (repeat); default office B and the kitchen of the\n"
      << "                     bundled floor; --planner static_coverage_planning (default) or\n"
      << "                     dynamic_coverage_planning; --zone cleans one zone instead\n"
      << "  --params-file FILE drive, clean: the robot's parameter file (default the project's\n"
      << "                     config/robot.yaml)\n"
      << "  --output FILE.png  the picture (default global_plans.png)\n"
      << "  --param NAME=VALUE a parameter of the nodes the scenario hosts (docs/parameters.md);\n"
      << "                     drive, clean: also footprint_padding, as the parameter file;\n"
      << "                     repeatable; a name none of them reads, or a value a node\n"
      << "                     refuses, is bad input\n"
      << "  -h, --help         this text\n"
      << "\n"
      << "The library's own log stays off unless SPDLOG_STDOUT=true and SPDLOG_LEVEL are set.\n"
      << "Exit status: 0 every plan succeeded, 1 a plan failed, 2 bad input, 3 internal error.\n";
  return out.str();
}

}  // namespace demo
