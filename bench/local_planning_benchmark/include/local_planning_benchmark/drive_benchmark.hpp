#ifndef LOCAL_PLANNING_BENCHMARK__DRIVE_BENCHMARK_HPP_
#define LOCAL_PLANNING_BENCHMARK__DRIVE_BENCHMARK_HPP_

#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "global_planning_benchmark/benchmark_run.hpp"
#include "global_planning_benchmark/pairs_file.hpp"
#include "global_planning_benchmark/random_pairs.hpp"
#include "local_planning_benchmark/drive_command_line.hpp"
#include "planning_sim/drive_measures.hpp"
#include "planning_sim/local_planning_sim.hpp"
#include "planning_sim/track_clearance.hpp"

namespace local_planning_benchmark {

using global_planning_benchmark::CellPair;
using global_planning_benchmark::ExitStatus;

/**
 * One benchmark run: loads the map, hosts the global and the local planning node on it with a
 * simulated robot (planning_sim::LocalPlanningSim), gets the pairs, drives every pair with every
 * planner asked for and writes one JSON line per pair and planner, then a summary line per
 * planner, to `out`. Errors go to `err` as plain sentences.
 */
class DriveBenchmark {
 public:
  using LineSink = std::function<void(const std::string&)>;

  DriveBenchmark(DriveBenchmarkOptions options, LineSink out, LineSink err);

  ExitStatus run();

 private:
  // What one planner's drives came to, for its summary.
  struct Tally {
    size_t pairs{0};
    size_t invalid{0};
    size_t global_found{0};
    size_t reached{0};
    // Pairs the global node found no path for with the padded outline: never driven.
    size_t no_global_path{0};
    size_t collisions{0};
    size_t failed_cycles{0};
    std::vector<double> cycle_ms;
    double cycle_ms_total{0.0};
    double track_m_total{0.0};
    std::vector<double> track_ratio;
    double clearance_min_m{std::numeric_limits<double>::quiet_NaN()};
    double simulated_s{0.0};
    double wall_s{0.0};
  };

  bool setUp(const nav_msgs::msg::OccupancyGrid& map);
  // False when a node stopped answering.
  bool drivePair(size_t index, const CellPair& pair, const std::string& planner);
  void count(Tally& tally, const planning_sim::DriveLeg& leg,
             const planning_sim::DriveMeasures& measures, double wall_s);
  global_planning_benchmark::PairRules pairRules() const;
  geometry_msgs::msg::PoseStamped cellPose(int64_t x, int64_t y) const;
  void writeSummary(const std::string& planner, const Tally& tally);

  DriveBenchmarkOptions options_;
  LineSink out_;
  LineSink err_;
  std::map<std::string, Tally> tallies_;
  std::unique_ptr<planning_sim::LocalPlanningSim> sim_;
  std::unique_ptr<planning_sim::TrackClearance> clearance_;
  // Let go of before the simulation, which serves them.
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> local_node_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> global_node_;
};

}  // namespace local_planning_benchmark

#endif  // LOCAL_PLANNING_BENCHMARK__DRIVE_BENCHMARK_HPP_
