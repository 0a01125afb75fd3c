#ifndef LOCAL_PLANNING_BENCHMARK__DRIVE_COMMAND_LINE_HPP_
#define LOCAL_PLANNING_BENCHMARK__DRIVE_COMMAND_LINE_HPP_

#include <string>
#include <vector>

#include "global_planning_benchmark/command_line.hpp"
#include "planning/planner_keys.hpp"
#include "rclcpp/parameter.hpp"

namespace local_planning_benchmark {

/// What one run of the benchmark drives.
struct DriveBenchmarkOptions {
  /// Map, pairs and grid-map parameters, given as to the global planning benchmark.
  global_planning_benchmark::BenchmarkOptions inputs;
  /// Local planners every pair is driven with, in this order.
  std::vector<std::string> planners{planning::local_keys::kDijkstra};
  /// The robot's parameter file; the project's shipped configuration by default.
  std::string params_file;
  /// --param NAME=VALUE, over the file's: each goes to the planning nodes that read it, or to
  /// the grid maps (footprint_padding).
  std::vector<rclcpp::Parameter> node_parameters;
};

using DriveCommandLine = global_planning_benchmark::ParsedCommandLine<DriveBenchmarkOptions>;

/// Reads the arguments after the program name: --planner LIST, --params-file FILE and --param
/// NAME=VALUE here, everything else as the global planning benchmark reads it. Never throws.
DriveCommandLine parseDriveCommandLine(const std::vector<std::string>& args);

/// The --help text.
std::string driveUsageText(const std::string& program);

}  // namespace local_planning_benchmark

#endif  // LOCAL_PLANNING_BENCHMARK__DRIVE_COMMAND_LINE_HPP_
