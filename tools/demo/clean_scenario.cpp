#include "clean_scenario.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "demo_map.hpp"
#include "planning/geometry.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/cleaning_picture.hpp"
#include "planning_sim/floor_space.hpp"
#include "planning_sim/local_planning_sim.hpp"
#include "planning_sim/node_parameters.hpp"
#include "planning_sim/rooms_file.hpp"
#include "planning_sim/zone_run.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "scenarios.hpp"
#include "vantrell_nav2_protocol/action/global_planning.hpp"

namespace demo {

namespace {

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;

constexpr std::chrono::seconds kPatience{30};
constexpr const char* kTransitPlanner = planning::global_keys::kDijkstra;
// The robot has reached a zone when it stands this near its start cell.
constexpr double kArrivalTolerance = 0.3;

struct NamedZone {
  std::string name;
  geometry_msgs::msg::Polygon polygon;
};

// The bundled floor: office B and the kitchen, wall to wall, from the reception.
const std::vector<std::pair<const char*, std::vector<MapPoint>>> kBundledZones{
    {"office_b", {{6.1, 10.6}, {12.0, 10.6}, {12.0, 19.35}, {6.1, 19.35}}},
    {"kitchen", {{8.1, 0.65}, {13.0, 0.65}, {13.0, 8.4}, {8.1, 8.4}}},
};
constexpr Pose2 kBundledStart{3.0, 6.0, 0.0};

geometry_msgs::msg::Polygon toPolygon(const std::vector<MapPoint>& corners) {
  geometry_msgs::msg::Polygon polygon;
  for (const auto& corner : corners) {
    geometry_msgs::msg::Point32 point;
    point.x = static_cast<float>(corner.x);
    point.y = static_cast<float>(corner.y);
    polygon.points.push_back(point);
  }
  return polygon;
}

std::vector<NamedZone> zonesOf(const DemoOptions& options) {
  std::vector<NamedZone> zones;
  if (!options.zone.empty()) {
    zones.push_back({"zone", toPolygon(options.zone)});
  } else if (!options.rooms_file.empty()) {
    std::vector<planning_sim::Room> rooms;
    try {
      rooms = planning_sim::loadRooms(options.rooms_file, options.map_yaml);
    } catch (const planning_sim::RoomsFileError& error) {
      throw InputError(error.what());
    }
    for (const auto& room : rooms) {
      if (options.rooms.empty() ||
          std::find(options.rooms.begin(), options.rooms.end(), room.id) != options.rooms.end()) {
        zones.push_back({"room " + room.id, room.polygon});
      }
    }
    if (zones.size() < std::max<size_t>(options.rooms.size(), 1)) {
      throw InputError("the rooms file " + options.rooms_file + " lacks a room asked for");
    }
  } else if (options.map_yaml.empty()) {
    for (const auto& [name, corners] : kBundledZones) {
      zones.push_back({name, toPolygon(corners)});
    }
  } else {
    throw InputError("give the zones of " + options.map_yaml + " with --rooms or --zone");
  }
  return zones;
}

// The task manager's global planning client, served by the simulation's host.
class TransitPlanner {
 public:
  explicit TransitPlanner(planning_sim::LocalPlanningSim& sim)
      : node_(std::make_shared<rclcpp::Node>("demo_task_manager")),
        client_(rclcpp_action::create_client<GlobalPlanning>(node_, "global_planning")) {
    sim.host().spin(node_);
  }

  // The global path to `goal`; empty when there is none.
  std::vector<nav_msgs::msg::Path> plan(const geometry_msgs::msg::Pose2D& goal) {
    using WrappedResult = rclcpp_action::ClientGoalHandle<GlobalPlanning>::WrappedResult;
    GlobalPlanning::Goal request;
    request.current_planning_id = kTransitPlanner;
    request.goal_poses = {planning::geometry::planarPose(goal.x, goal.y)};
    auto promise = std::make_shared<std::promise<WrappedResult>>();
    auto future = promise->get_future();
    rclcpp_action::Client<GlobalPlanning>::SendGoalOptions send;
    send.result_callback = [promise](const WrappedResult& result) { promise->set_value(result); };
    auto handle = client_->async_send_goal(request, send);
    std::vector<nav_msgs::msg::Path> paths;
    if (handle.wait_for(kPatience) != std::future_status::ready || !handle.get() ||
        future.wait_for(kPatience) != std::future_status::ready) {
      return paths;
    }
    const WrappedResult result = future.get();
    if (result.code == rclcpp_action::ResultCode::SUCCEEDED && result.result) {
      for (const auto& path : result.result->multi_paths.paths) {
        paths.push_back(path.nav_path);
      }
    }
    return paths;
  }

 private:
  rclcpp::Node::SharedPtr node_;
  rclcpp_action::Client<GlobalPlanning>::SharedPtr client_;
};

std::string plannerOf(const DemoOptions& options) {
  if (options.planner == planning::local_keys::kDynamicCoverage) {
    return options.planner;
  }
  if (options.planner == planning::local_keys::kStaticCoverage ||
      options.planner == planning::global_keys::kDijkstra) {
    return planning::local_keys::kStaticCoverage;
  }
  throw UsageError("the clean scenario takes --planner " +
                   std::string(planning::local_keys::kStaticCoverage) + " or " +
                   planning::local_keys::kDynamicCoverage + ", not \"" + options.planner + "\"");
}

std::string fixed(double value, int decimals) { return formatNumber(value, decimals); }

void reportZone(std::ostream& out, const NamedZone& zone, const planning_sim::ZoneFigures& f) {
  const double hours = f.cleaning.elapsed.seconds() / 3600.0;
  out << zone.name << ": " << planning_sim::cleaningEndName(f.cleaning.end) << " after "
      << fixed(f.cleaning.elapsed.seconds(), 1) << " s, " << f.cleaning.cycles << " cycles\n"
      << "  covered " << fixed(100.0 * f.coverage.covered_share, 1) << " % of "
      << fixed(f.coverage.target_cells * 0.0025, 1) << " m2 reachable, overlap "
      << fixed(f.coverage.overlap, 2) << ", path " << fixed(f.track.length_m, 1) << " m, "
      << f.track.turns << " turns over 30 deg, estimated " << fixed(f.track.estimated_time_s, 0)
      << " s, " << f.cleaning.collisions << " collisions\n"
      << "  planner: cleaned " << fixed(f.cleaning.cleaned_area, 1) << " m2, efficiency "
      << fixed(hours > 0.0 ? f.cleaning.cleaned_area / hours : 0.0, 1) << " m2/h"
      << (f.cleaning.cleanedAreaMeasured()
              ? ""
              : std::string(" (") + planning_sim::kCleanedAreaNotMeasured + ")")
      << "\n"
      << "  cycle ms: mean " << fixed(f.cycle_ms.mean, 2) << ", p99 " << fixed(f.cycle_ms.p99, 2)
      << ", max " << fixed(f.cycle_ms.max, 2) << "\n";
  if (f.cleaning.first_collision) {
    const auto& hit = *f.cleaning.first_collision;
    out << "  first refused step at " << formatPosition(hit.at.x, hit.at.y) << " heading "
        << fixed(hit.at.theta, 2) << " rad: floor cell (" << hit.cell.x << ", " << hit.cell.y
        << ") under the robot\n";
  }
}

// Passes of `after` that were not in `before`.
cv::Mat passesSince(const cv::Mat& before, const cv::Mat& after) {
  cv::Mat passes;
  cv::subtract(after, before, passes);
  return passes;
}

}  // namespace

void checkCleanOptions(const DemoOptions& options) {
  if (!options.goals.empty()) {
    throw UsageError(
        "--goal belongs to the global and drive scenarios; the clean scenario takes --zone or "
        "--rooms");
  }
  if (!options.rooms.empty() && options.rooms_file.empty()) {
    throw UsageError("--room picks rooms of a rooms file: give the file with --rooms");
  }
  if (!options.zone.empty() && !options.rooms_file.empty()) {
    throw UsageError("give the clean scenario --zone or --rooms, not both");
  }
  for (size_t i = 0; i < options.rooms.size(); ++i) {
    if (std::find(options.rooms.begin(), options.rooms.begin() + i, options.rooms[i]) !=
        options.rooms.begin() + i) {
      throw UsageError("--room " + options.rooms[i] + " is given twice");
    }
  }
}

int runCleanScenario(const DemoOptions& options, std::ostream& out) {
  const std::string planner = plannerOf(options);
  const planning_sim::RobotConfiguration configuration = robotConfiguration(options);
  const DemoMap map = loadDemoMap(options.map_yaml);
  const std::vector<NamedZone> zones = zonesOf(options);
  planning_sim::ZoneRunOptions run;
  run.planner = planner;
  const planning_sim::FloorSpace space(map.grid, run.map_params, configuration.footprint_padding);
  std::vector<planning_sim::ZoneArea> areas;
  try {
    for (const auto& zone : zones) {
      space.requireNearMap(zone.polygon, zone.name);
      areas.push_back(space.zone(zone.polygon));
    }
  } catch (const planning_sim::ZoneError& error) {
    throw InputError(error.what());
  }

  planning_sim::LocalPlanningSimOptions sim_options;
  sim_options.map_params = run.map_params;
  sim_options.footprint_padding = configuration.footprint_padding;
  sim_options.robot.cleaning_width = run.cleaning_width;
  planning_sim::LocalPlanningSim sim(map.grid, sim_options);
  using planning_sim::PlanningNode;
  auto local_node = sim.startLocalNode(planning_sim::nodeOptionsWith(
      PlanningNode::kLocal, configuration.parametersFor(PlanningNode::kLocal)));
  auto global_node = sim.startGlobalNode(planning_sim::nodeOptionsWith(
      PlanningNode::kGlobal, configuration.parametersFor(PlanningNode::kGlobal)));
  TransitPlanner transit(sim);

  Pose2 start = options.start ? *options.start : kBundledStart;
  if (!options.start && !options.map_yaml.empty()) {
    if (!areas.front().start) {
      throw InputError("the robot fits nowhere in " + zones.front().name + "; give --start");
    }
    const auto pose = space.poseOf(*areas.front().start);
    start = {pose.x, pose.y, 0.0};
  }
  checkPosition(map.grid, start, "start");
  geometry_msgs::msg::Pose2D placed;
  placed.x = start.x;
  placed.y = start.y;
  placed.theta = start.yaw;
  sim.robot().place(placed);

  planning_sim::CleaningScene scene;
  scene.target = cv::Mat(space.free().size(), CV_8UC1, cv::Scalar(0));
  scene.starts.push_back(placed);
  out << "Cleaning " << zones.size() << " zone(s) of " << map.description << " with " << planner
      << "\n";
  bool all_finished = true;
  planning_sim::ZoneCleaner cleaner(sim, run.cleaner);
  for (size_t i = 0; i < zones.size(); ++i) {
    scene.zones.push_back(zones[i].polygon);
    if (!areas[i].start) {
      out << zones[i].name << ": no place for the robot\n";
      all_finished = false;
      continue;
    }
    scene.target |= areas[i].target;
    const size_t transit_from = sim.robot().track().size();
    const geometry_msgs::msg::Pose2D entry = space.poseOf(*areas[i].start);
    for (const auto& path : transit.plan(entry)) {
      planning_sim::SimRobot::LocalPlanningResult leg;
      leg.local_path.nav_path = path;
      sim.controller().follow(leg);
    }
    scene.tracks.push_back({});
    const auto track = sim.robot().track();
    for (size_t p = transit_from; p < track.size(); ++p) {
      const auto& pose = track[p].pose.position;
      geometry_msgs::msg::Pose2D point;
      point.x = pose.x;
      point.y = pose.y;
      scene.tracks.back().push_back(point);
    }
    const geometry_msgs::msg::Pose2D reached = sim.robot().pose();
    if (std::hypot(reached.x - entry.x, reached.y - entry.y) > kArrivalTolerance) {
      out << zones[i].name << ": the robot did not get there; it stands at "
          << formatPosition(reached.x, reached.y) << "\n";
      all_finished = false;
      continue;
    }
    const cv::Mat before = sim.cleaningUnit().passes();
    planning_sim::CleaningReport report =
        cleaner.clean(planning_sim::zoneGoal(run, "demo_zone_" + std::to_string(i + 1),
                                             zones[i].polygon, map.grid.info.resolution),
                      areas[i].targetCells() * map.grid.info.resolution * map.grid.info.resolution);
    scene.tracks.push_back(report.track);
    const planning_sim::ZoneFigures figures = planning_sim::measureZone(
        areas[i], passesSince(before, sim.cleaningUnit().passes()), std::move(report));
    reportZone(out, zones[i], figures);
    all_finished = figures.cleaning.finished() && all_finished;
  }
  scene.passes = sim.cleaningUnit().passes();
  if (!cv::imwrite(options.output, planning_sim::drawCleaning(map.grid, scene))) {
    throw InputError("cannot write the picture " + options.output);
  }
  out << "Picture: " << options.output << "\n";
  local_node.reset();
  global_node.reset();
  return all_finished ? kAllPlansSucceeded : kPlanFailed;
}

}  // namespace demo
