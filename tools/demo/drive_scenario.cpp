#include "drive_scenario.hpp"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "drive_picture.hpp"
#include "localisation.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/drive_measures.hpp"
#include "planning_sim/local_planning_sim.hpp"
#include "planning_sim/node_parameters.hpp"
#include "planning_sim/point_to_point_drive.hpp"
#include "planning_sim/spread.hpp"
#include "planning_sim/track_clearance.hpp"
#include "scenarios.hpp"

namespace demo {

namespace {

// The drive round the bundled floor: from the reception into office B, along the corridor into
// the meeting room, then into the open-plan office.
constexpr const char* kDriveStops[] = {"office_b", "meeting_room", "open_plan"};
constexpr const char* kDriveStart = "reception";
// Side of the square an --obstacle puts into the local map: a box, a chair.
constexpr double kObstacleSide = 0.5;

std::vector<geometry_msgs::msg::Point> obstacleOutline(const ObstaclePlacement& obstacle) {
  const double h = kObstacleSide / 2.0;
  std::vector<geometry_msgs::msg::Point> outline;
  for (const auto& [dx, dy] : {std::pair{-h, -h}, {h, -h}, {h, h}, {-h, h}}) {
    geometry_msgs::msg::Point corner;
    corner.x = obstacle.x + dx;
    corner.y = obstacle.y + dy;
    outline.push_back(corner);
  }
  return outline;
}

std::vector<cv::Point2d> pointsOf(const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  std::vector<cv::Point2d> points;
  for (const auto& pose : poses) {
    points.emplace_back(pose.pose.position.x, pose.pose.position.y);
  }
  return points;
}

const char* outcomeOf(const planning_sim::DriveLeg& leg) {
  if (!leg.global.answered) {
    return "no answer from the global planning node";
  }
  if (!leg.globalPathFound()) {
    return "no global path";
  }
  switch (leg.trip.end) {
    case planning_sim::TripEnd::kArrived:
      return "reached";
    case planning_sim::TripEnd::kCollision:
      return "stopped: the next step would have touched an obstacle";
    case planning_sim::TripEnd::kFailures:
      return "stopped: local plans kept failing";
    case planning_sim::TripEnd::kTimeLimit:
      return "stopped: out of time";
    default:
      return "no answer from the local planning node";
  }
}

void report(std::ostream& out, const planning_sim::DriveLeg& leg,
            const planning_sim::DriveMeasures& m) {
  const planning_sim::Spread times = planning_sim::spreadOf(m.cycle_ms);
  char line[400];
  std::snprintf(line, sizeof(line),
                "       %s after %.1f s; track %.2f m for a global path of %.2f m; smallest "
                "clearance %.2f m\n"
                "       %zu local cycles (%zu failed), planning time mean %.2f ms, p99 %.2f ms, "
                "max %.2f ms\n"
                "       %zu rotation%s in place, smallest speed limit %.2f\n",
                outcomeOf(leg), m.simulated_s, m.track_m, m.global_m, m.clearance_m, m.cycles,
                m.failed_cycles, times.mean, times.p99, times.max, m.rotations,
                m.rotations == 1 ? "" : "s", m.smallest_speed_limit);
  out << line;
}

DrivenLeg pictureOf(const planning_sim::DriveLeg& leg, const planning_sim::DriveMeasures& m,
                    const Pose2& start, const Pose2& goal) {
  DrivenLeg drawn;
  drawn.plan.start = start;
  drawn.plan.goal = goal;
  drawn.plan.succeeded = m.reached;
  for (const auto& path : leg.global.result.multi_paths.paths) {
    drawn.plan.paths.push_back(pointsOf(path.nav_path.poses));
  }
  drawn.track = pointsOf(leg.track);
  drawn.speed_limits = planning_sim::speedLimitsAlong(leg);
  drawn.rotations = pointsOf(m.rotation_spots);
  return drawn;
}

// The local node's grid maps are built from the map; what they refuse is bad input.
std::unique_ptr<planning_sim::LocalPlanningSim> simulationOf(
    const DemoMap& map, const planning_sim::RobotConfiguration& configuration) {
  planning_sim::LocalPlanningSimOptions sim_options;
  sim_options.footprint_padding = configuration.footprint_padding;
  try {
    return std::make_unique<planning_sim::LocalPlanningSim>(map.grid, sim_options);
  } catch (const std::invalid_argument& error) {
    throw InputError(std::string("cannot use the map: ") + error.what());
  }
}

Pose2 poseOf(const geometry_msgs::msg::Pose2D& pose) { return {pose.x, pose.y, pose.theta}; }

// Schedules each obstacle to appear in the simulation at its time, counted from now, and has the
// clearance count it from then; returns their outlines for the picture.
std::vector<std::vector<cv::Point2d>> placeObstacles(
    const std::vector<ObstaclePlacement>& placements, planning_sim::LocalPlanningSim& sim,
    planning_sim::TrackClearance& clearance) {
  std::vector<std::vector<cv::Point2d>> outlines;
  for (const auto& placement : placements) {
    const auto outline = obstacleOutline(placement);
    const rclcpp::Time appears = sim.clock().now() + rclcpp::Duration::from_seconds(placement.at);
    sim.world().schedule(planning_sim::ObstacleInjection::atTime(outline, appears));
    clearance.addObstacle(outline, appears);
    std::vector<cv::Point2d> corners;
    for (const auto& corner : outline) {
      corners.emplace_back(corner.x, corner.y);
    }
    outlines.push_back(corners);
  }
  return outlines;
}

}  // namespace

void checkDriveOptions(const DemoOptions& options) {
  if (options.planner != planning::local_keys::kDijkstra &&
      options.planner != planning::local_keys::kLocalWayPoints) {
    throw UsageError("the drive scenario drives with the local planner \"dijkstra\" or \"" +
                     std::string(planning::local_keys::kLocalWayPoints) + "\", not \"" +
                     options.planner + "\"");
  }
  if (!options.zone.empty()) {
    throw UsageError("--zone belongs to the water scenario (--scenario water)");
  }
  if (!options.map_yaml.empty() && (!options.start || options.goals.empty())) {
    throw UsageError("with --map, give --start and at least one --goal");
  }
}

std::vector<DriveStop> drivenLegs(const DemoOptions& options, const DemoMap& map, Pose2& start) {
  std::vector<DriveStop> legs;
  if (options.goals.empty()) {
    for (const char* stop : kDriveStops) {
      legs.push_back({stop, placeOnMap(map, stop)});
    }
  }
  for (size_t i = 0; i < options.goals.size(); ++i) {
    legs.push_back({"goal " + std::to_string(i + 1), options.goals[i]});
  }
  start = options.start ? *options.start : placeOnMap(map, kDriveStart);
  checkPosition(map.grid, start, "start");
  for (const DriveStop& leg : legs) {
    checkPosition(map.grid, leg.goal, leg.label);
  }
  for (size_t i = 0; i < options.obstacles.size(); ++i) {
    const auto& obstacle = options.obstacles[i];
    checkPosition(map.grid, {obstacle.x, obstacle.y, 0.0}, "obstacle " + std::to_string(i + 1));
  }
  return legs;
}

int runDriveScenario(const DemoOptions& options, std::ostream& out) {
  checkPictureFile(options.output);
  const planning_sim::RobotConfiguration configuration = robotConfiguration(options);
  const DemoMap map = loadDemoMap(options.map_yaml);
  Pose2 robot;
  const std::vector<DriveStop> legs = drivenLegs(options, map, robot);
  std::string start_label = options.start ? "start" : kDriveStart;

  out << "Driving on " << map.description << " with the local planner " << options.planner << "\n";
  const auto sim = simulationOf(map, configuration);
  // Let go of before the simulation, which serves them.
  using planning_sim::PlanningNode;
  const auto local_node = sim->startLocalNode(planning_sim::nodeOptionsWith(
      PlanningNode::kLocal, configuration.parametersFor(PlanningNode::kLocal)));
  const auto global_node = sim->startGlobalNode(planning_sim::nodeOptionsWith(
      PlanningNode::kGlobal, configuration.parametersFor(PlanningNode::kGlobal)));
  sim->robot().place(toPose2D(robot));
  planning_sim::TrackClearance clearance(map.grid, sim->robot().params().footprint);
  const auto obstacles = placeObstacles(options.obstacles, *sim, clearance);

  planning_sim::DriveOptions drive;
  drive.local_planner = options.planner;
  std::vector<DrivenLeg> drawn;
  size_t reached = 0;
  for (size_t i = 0; i < legs.size(); ++i) {
    const DriveStop& stop = legs[i];
    out << "leg " << i + 1 << ": " << start_label << " " << formatPosition(robot.x, robot.y)
        << " -> " << stop.label << " " << formatPosition(stop.goal.x, stop.goal.y) << "\n";
    const auto leg =
        planning_sim::driveTo(*sim, toPose(stop.goal), drive, static_cast<int32_t>(i + 1));
    const auto measures = planning_sim::measureDrive(leg, clearance);
    report(out, leg, measures);
    drawn.push_back(pictureOf(leg, measures, robot, stop.goal));
    reached += measures.reached ? 1 : 0;
    robot = poseOf(sim->robot().pose());
    start_label = measures.reached ? stop.label : "stop";
  }
  out << reached << " of " << legs.size() << " legs reached their goal\n";

  writePicture(options.output, drawDrive(map.grid, drawn, obstacles));
  std::error_code ignored;
  const auto written = std::filesystem::absolute(options.output, ignored);
  out << "picture written to " << (written.empty() ? options.output : written.string()) << "\n";
  return reached == legs.size() ? kAllPlansSucceeded : kPlanFailed;
}

}  // namespace demo
