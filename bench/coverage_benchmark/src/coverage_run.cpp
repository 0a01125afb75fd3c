#include "coverage_benchmark/coverage_run.hpp"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>

#include "global_planning_benchmark/json_line.hpp"
#include "nav2_map_server/map_io.hpp"
#include "rclcpp/rclcpp.hpp"

namespace coverage_benchmark {

namespace {

using global_planning_benchmark::JsonLine;

// rclcpp is started for the run unless the caller has started it.
class RclcppSession {
 public:
  RclcppSession() {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
      started_ = true;
    }
  }
  ~RclcppSession() {
    if (started_) {
      rclcpp::shutdown();
    }
  }
  RclcppSession(const RclcppSession&) = delete;
  RclcppSession& operator=(const RclcppSession&) = delete;

 private:
  bool started_{false};
};

bool missingRoom(const std::vector<std::string>& wanted,
                 const std::vector<planning_sim::Room>& rooms, std::string& missing) {
  std::set<std::string> ids;
  for (const auto& room : rooms) {
    ids.insert(room.id);
  }
  for (const auto& id : wanted) {
    if (ids.count(id) == 0) {
      missing = id;
      return true;
    }
  }
  return false;
}

}  // namespace

CoverageRun::CoverageRun(BenchmarkOptions options, LineSink out, LineSink err)
    : options_(std::move(options)), out_(std::move(out)), err_(std::move(err)) {}

ExitStatus CoverageRun::run() {
  nav_msgs::msg::OccupancyGrid map;
  std::vector<planning_sim::Room> rooms;
  if (!load(map, rooms)) {
    return kCouldNotRun;
  }
  const RclcppSession session;
  const planning_sim::FloorSpace space(map, gridMapParams(),
                                       options_.configuration.footprint_padding);
  for (const auto& room : rooms) {
    try {
      space.requireNearMap(room.polygon, "room " + room.id);
    } catch (const planning_sim::ZoneError& e) {
      err_("bad rooms file: " + options_.rooms_file + ": " + e.what());
      return kCouldNotRun;
    }
  }
  bool all_finished = true;
  for (const auto& planner : options_.planners) {
    for (const auto& room : rooms) {
      if (!options_.rooms.empty() && std::find(options_.rooms.begin(), options_.rooms.end(),
                                               room.id) == options_.rooms.end()) {
        continue;
      }
      try {
        all_finished = runRoom(map, space, room, planner) && all_finished;
      } catch (const std::runtime_error& e) {
        err_("room " + room.id + ": " + e.what() + "; stopped");
        return kCouldNotRun;
      }
    }
    writeSummary(planner, tallies_[planner]);
  }
  return all_finished ? kAllRoomsFinished : kSomeRoomsNotFinished;
}

bool CoverageRun::load(nav_msgs::msg::OccupancyGrid& map, std::vector<planning_sim::Room>& rooms) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(options_.map_file, error)) {
    err_("map file " + options_.map_file + " does not exist or is not a regular file");
    return false;
  }
  try {
    nav2_map_server::loadMapFromFile(nav2_map_server::loadMapYaml(options_.map_file), map);
  } catch (const std::exception& e) {
    err_(std::string("cannot load the map: ") + e.what());
    return false;
  }
  try {
    rooms = planning_sim::loadRooms(options_.rooms_file, options_.map_file);
  } catch (const planning_sim::RoomsFileError& e) {
    err_(std::string("bad rooms file: ") + e.what());
    return false;
  }
  std::string missing;
  if (missingRoom(options_.rooms, rooms, missing)) {
    err_("the rooms file " + options_.rooms_file + " has no room '" + missing + "'");
    return false;
  }
  return true;
}

bool CoverageRun::runRoom(const nav_msgs::msg::OccupancyGrid& map,
                          const planning_sim::FloorSpace& space, const planning_sim::Room& room,
                          const std::string& planner) {
  const planning_sim::ZoneArea area = space.zone(room.polygon);
  Tally& tally = tallies_[planner];
  ++tally.rooms;
  JsonLine line;
  line.text("map", mapName()).text("planner", planner).text("room", room.id);
  line.number("area_m2", room.area_m2, 2).integer("target_cells", area.targetCells());
  if (!area.start) {
    line.text("end", "no place for the robot").number("covered_share", 0.0, 4);
    tally.shares.emplace_back(0.0, room.id);
    out_(line.str());
    return false;
  }
  planning_sim::ZoneRunOptions options;
  options.planner = planner;
  options.cleaning_width = options_.cleaning_width;
  options.map_params = gridMapParams();
  options.footprint_padding = options_.configuration.footprint_padding;
  options.node_parameters =
      options_.configuration.parametersFor(planning_sim::PlanningNode::kLocal);
  const auto wall_start = std::chrono::steady_clock::now();
  const planning_sim::ZoneFigures figures =
      planning_sim::cleanZoneAlone(map, space, area, room.polygon, options);
  const double wall_s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  const auto& cleaning = figures.cleaning;
  line.text("end", planning_sim::cleaningEndName(cleaning.end))
      .number("covered_share", figures.coverage.covered_share, 4)
      .number("overlap", figures.coverage.overlap, 3)
      .number("path_length_m", figures.track.length_m, 2)
      .integer("turns", figures.track.turns)
      .number("rotation_rad", figures.track.rotation_rad, 2)
      .number("estimated_time_s", figures.track.estimated_time_s, 1)
      .number("cycle_ms_mean", figures.cycle_ms.mean, 3)
      .number("cycle_ms_p99", figures.cycle_ms.p99, 3)
      .number("cycle_ms_max", figures.cycle_ms.max, 3)
      .integer("collisions", static_cast<int64_t>(cleaning.collisions))
      .integer("cycles", static_cast<int64_t>(cleaning.cycles))
      .integer("failures", static_cast<int64_t>(cleaning.failures))
      .number("cleaned_area_m2", cleaning.cleaned_area, 2);
  if (!cleaning.cleanedAreaMeasured()) {
    line.text("cleaned_area_note", planning_sim::kCleanedAreaNotMeasured);
  }
  line.number("sim_time_s", cleaning.elapsed.seconds(), 1)
      .number("wall_s", wall_s, 1)
      .integer("start_cell_x", area.start->x)
      .integer("start_cell_y", area.start->y);
  if (cleaning.first_collision) {
    const auto& hit = *cleaning.first_collision;
    line.number("first_collision_x", hit.at.x, 2)
        .number("first_collision_y", hit.at.y, 2)
        .number("first_collision_yaw", hit.at.theta, 2)
        .cell("first_collision_cell", hit.cell.x, hit.cell.y);
  }
  out_(line.str());

  tally.finished += cleaning.finished() ? 1 : 0;
  tally.shares.emplace_back(figures.coverage.covered_share, room.id);
  if (figures.coverage.covered_cells > 0) {
    tally.overlap_sum += figures.coverage.overlap;
    ++tally.overlap_rooms;
  }
  tally.path_length_m += figures.track.length_m;
  tally.estimated_time_s += figures.track.estimated_time_s;
  tally.collisions += cleaning.collisions;
  tally.cycle_ms.insert(tally.cycle_ms.end(), cleaning.cycle_ms.begin(), cleaning.cycle_ms.end());
  return cleaning.finished();
}

void CoverageRun::writeSummary(const std::string& planner, const Tally& tally) {
  double mean_share = 0.0;
  for (const auto& share : tally.shares) {
    mean_share += share.first;
  }
  const bool any = !tally.shares.empty();
  mean_share = any ? mean_share / static_cast<double>(tally.shares.size()) : 0.0;
  const auto worst = any ? *std::min_element(tally.shares.begin(), tally.shares.end())
                         : std::pair<double, std::string>(0.0, "");
  const planning_sim::TimeFigures cycles = planning_sim::timeFigures(tally.cycle_ms);
  JsonLine line;
  line.flag("summary", true).text("map", mapName()).text("planner", planner);
  line.integer("rooms", static_cast<int64_t>(tally.rooms))
      .integer("finished", static_cast<int64_t>(tally.finished))
      .number("mean_covered_share", mean_share, 4)
      .number("worst_covered_share", worst.first, 4)
      .text("worst_room", worst.second)
      .number("mean_overlap",
              tally.overlap_rooms > 0 ? tally.overlap_sum / tally.overlap_rooms : 0.0, 3)
      .number("path_length_m", tally.path_length_m, 1)
      .number("estimated_time_s", tally.estimated_time_s, 0)
      .number("estimated_hours", tally.estimated_time_s / 3600.0, 2)
      .integer("collisions", static_cast<int64_t>(tally.collisions))
      .number("cycle_ms_mean", cycles.mean, 3)
      .number("cycle_ms_p99", cycles.p99, 3)
      .number("cycle_ms_max", cycles.max, 3);
  out_(line.str());
}

vantrell_nav2_gridmap::GridMapParams CoverageRun::gridMapParams() const {
  vantrell_nav2_gridmap::GridMapParams params;
  if (options_.robot_radius > 0.0) {
    params.footprint = planning_sim::roundFootprint(options_.robot_radius);
  }
  return params;
}

std::string CoverageRun::mapName() const {
  return std::filesystem::path(options_.map_file).stem().string();
}

}  // namespace coverage_benchmark
