#ifndef GLOBAL_PLANNING_BENCHMARK__COMMAND_LINE_HPP_
#define GLOBAL_PLANNING_BENCHMARK__COMMAND_LINE_HPP_

#include <cstdint>
#include <string>
#include <vector>

#include "global_planning_benchmark/parsed_command_line.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"

namespace global_planning_benchmark {

/// What one run of the benchmark measures.
struct BenchmarkOptions {
  std::string map_file;
  /// Pairs read from this file; empty when they are drawn at random.
  std::string pairs_file;
  /// Number of pairs to draw; 0 when they come from a file.
  int random_pairs{0};
  uint32_t seed{33};
  /// Where the drawn pairs are saved; empty: not saved.
  std::string write_pairs_file;
  double inflation_radius{vantrell_nav2_gridmap::GridMapParams().inflation_radius};
  double cost_scaling_factor{vantrell_nav2_gridmap::GridMapParams().cost_scaling_factor};
  bool inflate_unknown{vantrell_nav2_gridmap::GridMapParams().inflate_unknown};

  /// The grid-map parameters both grid maps are built with.
  vantrell_nav2_gridmap::GridMapParams gridMapParams() const;
};

using CommandLine = ParsedCommandLine<BenchmarkOptions>;

/// Reads the arguments after the program name. Never throws: anything wrong comes back as
/// Request::ERROR with a sentence naming the offending argument.
CommandLine parseCommandLine(const std::vector<std::string>& args);

/// The --help text.
std::string usageText(const std::string& program);

/// The --help lines of the map, pairs and inflation options (and --help), with `more_options`
/// (whole lines) after the pairs options: what every benchmark on pairs reads alike.
std::string inputOptionsText(const std::string& more_options);

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__COMMAND_LINE_HPP_
