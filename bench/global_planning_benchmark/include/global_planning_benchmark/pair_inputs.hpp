#ifndef GLOBAL_PLANNING_BENCHMARK__PAIR_INPUTS_HPP_
#define GLOBAL_PLANNING_BENCHMARK__PAIR_INPUTS_HPP_

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "global_planning_benchmark/command_line.hpp"
#include "global_planning_benchmark/pairs_file.hpp"
#include "global_planning_benchmark/random_pairs.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"

// What every benchmark on start and goal pairs takes in alike: the map file, the pairs (read
// from a file, or drawn and saved when asked) and the report of a pair off the map. A loader that
// fails tells `err` why in one sentence and returns false.
namespace global_planning_benchmark {

using ErrorSink = std::function<void(const std::string&)>;

bool loadMapFile(const std::string& map_file, nav_msgs::msg::OccupancyGrid& map,
                 const ErrorSink& err);
bool readPairs(const BenchmarkOptions& options, std::vector<CellPair>& pairs, const ErrorSink& err);
/// Draws options.random_pairs pairs on the layers and saves them when the options say so.
bool drawPairs(const BenchmarkOptions& options, const vantrell_nav2_gridmap::GridLayers& layers,
               std::vector<CellPair>& pairs, const ErrorSink& err,
               const PairRules& rules = PairRules());

/// The map file's name without directory and extension.
std::string mapNameOf(const BenchmarkOptions& options);

/// Why the pair lies off a map of size_x x size_y cells; empty when both of its ends lie on it.
std::string offMapReason(const CellPair& pair, unsigned int size_x, unsigned int size_y);

/// The JSON line of a pair that was not run because it lies off the map.
std::string invalidPairLine(size_t index, const CellPair& pair, const std::string& why);

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__PAIR_INPUTS_HPP_
