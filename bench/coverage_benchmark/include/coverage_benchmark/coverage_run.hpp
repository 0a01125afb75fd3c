#ifndef COVERAGE_BENCHMARK__COVERAGE_RUN_HPP_
#define COVERAGE_BENCHMARK__COVERAGE_RUN_HPP_

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "coverage_benchmark/command_line.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "planning_sim/floor_space.hpp"
#include "planning_sim/robot_configuration.hpp"
#include "planning_sim/rooms_file.hpp"
#include "planning_sim/zone_run.hpp"

namespace coverage_benchmark {

/// Exit status of the program.
enum ExitStatus : int {
  kAllRoomsFinished = 0,
  /// Bad arguments (a --param the local planning node does not read, or a value of another type,
  /// among them), an unusable map or rooms file, a room id the file lacks, or a node that did
  /// not come up.
  kCouldNotRun = 1,
  /// Every room was run; some did not end with the planner finishing its task.
  kSomeRoomsNotFinished = 2,
};

/**
 * One benchmark run: loads the map and its rooms, cleans every room with every planner on a
 * simulation of its own, and writes one JSON line per room and planner and a summary line per
 * planner to `out`. Errors go to `err` as plain sentences.
 */
class CoverageRun {
 public:
  using LineSink = std::function<void(const std::string&)>;

  CoverageRun(BenchmarkOptions options, LineSink out, LineSink err);

  ExitStatus run();

 private:
  // Figures gathered for a planner's summary.
  struct Tally {
    size_t rooms{0};
    size_t finished{0};
    // Covered share per room, with the room's id.
    std::vector<std::pair<double, std::string>> shares;
    double overlap_sum{0.0};
    size_t overlap_rooms{0};
    double path_length_m{0.0};
    double estimated_time_s{0.0};
    size_t collisions{0};
    std::vector<double> cycle_ms;
  };

  bool load(nav_msgs::msg::OccupancyGrid& map, std::vector<planning_sim::Room>& rooms);
  bool runRoom(const nav_msgs::msg::OccupancyGrid& map, const planning_sim::FloorSpace& space,
               const planning_sim::Room& room, const std::string& planner);
  void writeSummary(const std::string& planner, const Tally& tally);
  vantrell_nav2_gridmap::GridMapParams gridMapParams() const;
  std::string mapName() const;

  BenchmarkOptions options_;
  LineSink out_;
  LineSink err_;
  std::map<std::string, Tally> tallies_;
};

}  // namespace coverage_benchmark

#endif  // COVERAGE_BENCHMARK__COVERAGE_RUN_HPP_
