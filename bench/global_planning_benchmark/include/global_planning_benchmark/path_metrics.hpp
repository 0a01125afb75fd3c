#ifndef GLOBAL_PLANNING_BENCHMARK__PATH_METRICS_HPP_
#define GLOBAL_PLANNING_BENCHMARK__PATH_METRICS_HPP_

#include <cstddef>
#include <limits>
#include <vector>

#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_protocol/msg/path.hpp"

namespace global_planning_benchmark {

/// How long a planned path set is and how close to obstacles it runs.
struct PathMetrics {
  size_t poses{0};
  /// Sum over the paths of the distances between their consecutive poses.
  double length_m{0.0};
  /// Inflated cost of the cell under each pose (255 for a pose off the map); NaN without poses.
  double mean_cost{std::numeric_limits<double>::quiet_NaN()};
  double max_cost{std::numeric_limits<double>::quiet_NaN()};
};

/// Measures every path of a set on the given layers.
PathMetrics measurePaths(const std::vector<vantrell_nav2_protocol::msg::Path>& paths,
                         const vantrell_nav2_gridmap::GridLayers& layers);

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__PATH_METRICS_HPP_
