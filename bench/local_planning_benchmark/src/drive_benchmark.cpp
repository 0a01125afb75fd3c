#include "local_planning_benchmark/drive_benchmark.hpp"

#include <fmt/format.h>

#include <chrono>
#include <cmath>
#include <exception>
#include <utility>

#include "global_planning_benchmark/json_line.hpp"
#include "global_planning_benchmark/pair_inputs.hpp"
#include "nav2_costmap_2d/footprint.hpp"
#include "planning/geometry.hpp"
#include "planning_sim/node_parameters.hpp"
#include "planning_sim/point_to_point_drive.hpp"
#include "planning_sim/robot_configuration.hpp"
#include "planning_sim/spread.hpp"

namespace local_planning_benchmark {

namespace {

using global_planning_benchmark::JsonLine;

constexpr int kMsDecimals = 3;
constexpr int kMetreDecimals = 3;
// The start heading is the global path's, taken towards its pose this far ahead.
constexpr double kHeadingAhead = 0.3;
// Headings tried, either way from the path's, when the robot does not fit there.
constexpr double kHeadingStep = planning::geometry::kPi / 12.0;

const char* endName(const planning_sim::DriveLeg& leg) {
  if (!leg.globalPathFound()) {
    return "no_global_path";
  }
  switch (leg.trip.end) {
    case planning_sim::TripEnd::kArrived:
      return "arrived";
    case planning_sim::TripEnd::kCollision:
      return "collision";
    case planning_sim::TripEnd::kFailures:
      return "failures";
    case planning_sim::TripEnd::kTimeLimit:
      return "time_limit";
    default:
      return "no_answer";
  }
}

double headingAlong(const planning_sim::DriveLeg& leg, const geometry_msgs::msg::Pose2D& start) {
  for (const auto& path : leg.global.result.multi_paths.paths) {
    for (const auto& pose : path.nav_path.poses) {
      const double dx = pose.pose.position.x - start.x;
      const double dy = pose.pose.position.y - start.y;
      if (std::hypot(dx, dy) >= kHeadingAhead) {
        return std::atan2(dy, dx);
      }
    }
  }
  return 0.0;
}

// The robot starts facing along its global path, or as near that as it fits between the
// obstacles around it: a start cell of low cost still leaves no room for every heading.
geometry_msgs::msg::Pose2D startPose(planning_sim::LocalPlanningSim& sim,
                                     const planning_sim::DriveLeg& leg,
                                     geometry_msgs::msg::Pose2D start) {
  const double along = headingAlong(leg, start);
  for (int step = 0; step * kHeadingStep <= planning::geometry::kPi; ++step) {
    for (const int side : {1, -1}) {
      start.theta = along + side * step * kHeadingStep;
      if (!sim.world().under(sim.robot().params().footprint, start)) {
        return start;
      }
    }
  }
  start.theta = along;
  return start;
}

void addCycleFields(JsonLine& line, const std::vector<double>& cycle_ms) {
  const planning_sim::Spread spread = planning_sim::spreadOf(cycle_ms);
  line.number("cycle_ms_mean", spread.mean, kMsDecimals)
      .number("cycle_ms_median", spread.median, kMsDecimals)
      .number("cycle_ms_p99", spread.p99, kMsDecimals)
      .number("cycle_ms_max", spread.max, kMsDecimals);
}

double secondsSince(std::chrono::steady_clock::time_point began) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

}  // namespace

DriveBenchmark::DriveBenchmark(DriveBenchmarkOptions options, LineSink out, LineSink err)
    : options_(std::move(options)), out_(std::move(out)), err_(std::move(err)) {}

ExitStatus DriveBenchmark::run() {
  const auto& inputs = options_.inputs;
  nav_msgs::msg::OccupancyGrid map;
  std::vector<CellPair> pairs;
  if (!global_planning_benchmark::loadMapFile(inputs.map_file, map, err_) ||
      (!inputs.pairs_file.empty() && !global_planning_benchmark::readPairs(inputs, pairs, err_)) ||
      !setUp(map)) {
    return global_planning_benchmark::kCouldNotRun;
  }
  const auto layers = sim_->maps().global->getMultiGridMap()->getLayers();
  if (inputs.random_pairs > 0 &&
      !global_planning_benchmark::drawPairs(inputs, *layers, pairs, err_, pairRules())) {
    return global_planning_benchmark::kCouldNotRun;
  }
  size_t invalid = 0;
  for (size_t i = 0; i < pairs.size(); ++i) {
    const std::string off_map =
        global_planning_benchmark::offMapReason(pairs[i], layers->size_x, layers->size_y);
    if (!off_map.empty()) {
      ++invalid;
      out_(global_planning_benchmark::invalidPairLine(i, pairs[i], off_map));
      continue;
    }
    for (const auto& planner : options_.planners) {
      if (!drivePair(i, pairs[i], planner)) {
        err_(fmt::format("pair {}: a planning node gave no answer; stopped", i));
        return global_planning_benchmark::kCouldNotRun;
      }
    }
  }
  for (const auto& planner : options_.planners) {
    Tally& tally = tallies_[planner];
    tally.pairs = pairs.size();
    tally.invalid = invalid;
    writeSummary(planner, tally);
  }
  if (invalid > 0) {
    err_(fmt::format("{} of {} pairs lay off the map and were reported as invalid", invalid,
                     pairs.size()));
    return global_planning_benchmark::kInvalidPairs;
  }
  return global_planning_benchmark::kAllPairsRun;
}

bool DriveBenchmark::setUp(const nav_msgs::msg::OccupancyGrid& map) {
  planning_sim::RobotConfiguration configuration;
  try {
    configuration = planning_sim::loadRobotConfiguration(options_.params_file);
    configuration.applyOverrides(options_.node_parameters);
  } catch (const planning_sim::ConfigurationError& e) {
    err_(e.what());
    return false;
  }
  planning_sim::LocalPlanningSimOptions sim_options;
  sim_options.map_params = options_.inputs.gridMapParams();
  sim_options.footprint_padding = configuration.footprint_padding;
  try {
    sim_ = std::make_unique<planning_sim::LocalPlanningSim>(map, sim_options);
    using planning_sim::PlanningNode;
    local_node_ = sim_->startLocalNode(planning_sim::nodeOptionsWith(
        PlanningNode::kLocal, configuration.parametersFor(PlanningNode::kLocal)));
    global_node_ = sim_->startGlobalNode(planning_sim::nodeOptionsWith(
        PlanningNode::kGlobal, configuration.parametersFor(PlanningNode::kGlobal)));
  } catch (const std::exception& e) {
    err_("cannot set up the planning nodes on " + options_.inputs.map_file + ": " + e.what());
    return false;
  }
  clearance_ =
      std::make_unique<planning_sim::TrackClearance>(map, sim_->robot().params().footprint);
  return true;
}

// Start and goal where the robot's bare outline fits at any heading, so that it can turn there:
// its circumscribed radius from every obstacle cell centre, and a cell more for the cell's own
// half. A user sends the robot wherever it fits; the padding the grid maps add is the planners'
// choice, and what it costs (pairs with no global path, goals the local node stops short of)
// must show in the results rather than be drawn away.
global_planning_benchmark::PairRules DriveBenchmark::pairRules() const {
  double inscribed = 0.0;
  double circumscribed = 0.0;
  nav2_costmap_2d::calculateMinAndMaxDistances(sim_->robot().params().footprint, inscribed,
                                               circumscribed);
  global_planning_benchmark::PairRules rules;
  rules.min_clearance_m =
      circumscribed + sim_->maps().global->getCostmapROS()->getCostmap()->getResolution();
  return rules;
}

geometry_msgs::msg::PoseStamped DriveBenchmark::cellPose(int64_t x, int64_t y) const {
  const auto layers = sim_->maps().global->getMultiGridMap()->getLayers();
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = sim_->maps().global->getCostmapROS()->getGlobalFrameID();
  pose.pose.position.x = layers->origin_x + (static_cast<double>(x) + 0.5) * layers->resolution;
  pose.pose.position.y = layers->origin_y + (static_cast<double>(y) + 0.5) * layers->resolution;
  pose.pose.orientation.w = 1.0;
  return pose;
}

bool DriveBenchmark::drivePair(size_t index, const CellPair& pair, const std::string& planner) {
  const auto began = std::chrono::steady_clock::now();
  const auto start = cellPose(pair.sx, pair.sy);
  geometry_msgs::msg::Pose2D robot;
  robot.x = start.pose.position.x;
  robot.y = start.pose.position.y;
  sim_->robot().place(robot);
  planning_sim::DriveOptions drive;
  drive.local_planner = planner;
  const auto action_id = static_cast<int32_t>(index + 1);
  planning_sim::DriveLeg leg =
      planning_sim::planLeg(*sim_, cellPose(pair.gx, pair.gy), drive, action_id);
  if (!leg.global.answered) {
    return false;
  }
  if (leg.globalPathFound()) {
    sim_->robot().place(startPose(*sim_, leg, robot));
    planning_sim::driveLeg(*sim_, leg, drive);
    if (leg.trip.end == planning_sim::TripEnd::kNoAnswer) {
      return false;
    }
  }
  const planning_sim::DriveMeasures measures = planning_sim::measureDrive(leg, *clearance_);
  const double wall_s = secondsSince(began);
  count(tallies_[planner], leg, measures, wall_s);

  JsonLine line;
  line.integer("pair", static_cast<int64_t>(index))
      .cell("start", pair.sx, pair.sy)
      .cell("goal", pair.gx, pair.gy)
      .flag("valid", true)
      .text("planner", planner)
      .flag("global_found", leg.globalPathFound())
      .integer("global_error_code", leg.global.result.error_code)
      .number("global_length_m", measures.global_m, kMetreDecimals)
      .flag("reached", measures.reached)
      .text("end", endName(leg))
      .integer("collisions", static_cast<int64_t>(measures.collisions))
      .number("simulated_s", measures.simulated_s, 2)
      .number("track_length_m", measures.track_m, kMetreDecimals)
      .number("track_ratio", measures.track_m / measures.global_m, 3)
      .number("clearance_m", measures.clearance_m, kMetreDecimals)
      .integer("cycles", static_cast<int64_t>(measures.cycles))
      .integer("failed_cycles", static_cast<int64_t>(measures.failed_cycles));
  addCycleFields(line, measures.cycle_ms);
  line.integer("rotations", static_cast<int64_t>(measures.rotations))
      .number("min_speed_limit", measures.smallest_speed_limit, 2)
      .number("wall_s", wall_s, 2);
  out_(line.str());
  return true;
}

void DriveBenchmark::count(Tally& tally, const planning_sim::DriveLeg& leg,
                           const planning_sim::DriveMeasures& measures, double wall_s) {
  tally.global_found += leg.globalPathFound() ? 1 : 0;
  tally.no_global_path += leg.globalPathFound() ? 0 : 1;
  tally.reached += measures.reached ? 1 : 0;
  tally.collisions += measures.collisions;
  tally.failed_cycles += measures.failed_cycles;
  tally.cycle_ms.insert(tally.cycle_ms.end(), measures.cycle_ms.begin(), measures.cycle_ms.end());
  for (const double ms : measures.cycle_ms) {
    tally.cycle_ms_total += ms;
  }
  tally.track_m_total += measures.track_m;
  if (measures.reached) {
    tally.track_ratio.push_back(measures.track_m / measures.global_m);
  }
  if (!(measures.clearance_m >= tally.clearance_min_m)) {
    tally.clearance_min_m = measures.clearance_m;
  }
  tally.simulated_s += measures.simulated_s;
  tally.wall_s += wall_s;
}

void DriveBenchmark::writeSummary(const std::string& planner, const Tally& tally) {
  const size_t valid = tally.pairs - tally.invalid;
  JsonLine line;
  line.flag("summary", true)
      .text("map", global_planning_benchmark::mapNameOf(options_.inputs))
      .text("planner", planner)
      .integer("pairs", static_cast<int64_t>(tally.pairs))
      .integer("invalid", static_cast<int64_t>(tally.invalid))
      .integer("global_found", static_cast<int64_t>(tally.global_found))
      .integer("reached", static_cast<int64_t>(tally.reached))
      .integer("no_global_path", static_cast<int64_t>(tally.no_global_path))
      .number("success_rate", valid > 0 ? static_cast<double>(tally.reached) / valid : NAN, 3)
      .integer("collisions", static_cast<int64_t>(tally.collisions))
      .integer("cycles", static_cast<int64_t>(tally.cycle_ms.size()))
      .integer("failed_cycles", static_cast<int64_t>(tally.failed_cycles));
  addCycleFields(line, tally.cycle_ms);
  line.number("cycle_ms_per_m", tally.cycle_ms_total / tally.track_m_total, kMsDecimals)
      .number("track_ratio_mean", planning_sim::spreadOf(tally.track_ratio).mean, 3)
      .number("clearance_min_m", tally.clearance_min_m, kMetreDecimals)
      .number("simulated_s", tally.simulated_s, 1)
      .number("wall_s", tally.wall_s, 1);
  out_(line.str());
}

}  // namespace local_planning_benchmark
