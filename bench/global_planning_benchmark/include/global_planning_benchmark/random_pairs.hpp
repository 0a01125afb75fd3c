#ifndef GLOBAL_PLANNING_BENCHMARK__RANDOM_PAIRS_HPP_
#define GLOBAL_PLANNING_BENCHMARK__RANDOM_PAIRS_HPP_

#include <cstdint>
#include <vector>

#include "global_planning_benchmark/pairs_file.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"

namespace global_planning_benchmark {

/// Where the usual grid-planner benchmark lets a start or a goal lie, and how far apart.
struct PairRules {
  /// A cell must be free on the map and its inflated cost below this.
  uint8_t cost_limit{210};
  /// Cells closer than this to any edge of the map are not drawn.
  unsigned int border_cells{100};
  /// Start and goal cell centres at least this far apart.
  double min_distance_m{3.0};
  /// A cell's centre at least this far from the centre of every obstacle cell (metres): where a
  /// robot of that circumscribed radius, and a cell more, fits at any heading and can turn.
  double min_clearance_m{0.0};
};

/**
 * Draws `count` pairs with a Mersenne twister seeded with `seed`: start and goal each uniform
 * over the cells that the rules allow, a pair kept when its ends are far enough apart. The
 * range reduction is done here rather than by a standard distribution, so a seed gives the same
 * pairs with any standard library. Throws std::runtime_error when no cell qualifies or when the
 * pairs cannot be found in a bounded number of draws (cells too close together).
 */
std::vector<CellPair> drawRandomPairs(const vantrell_nav2_gridmap::GridLayers& layers, int count,
                                      uint32_t seed, const PairRules& rules = PairRules());

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__RANDOM_PAIRS_HPP_
