#ifndef GLOBAL_PLANNING_BENCHMARK__REFERENCE_SEARCH_HPP_
#define GLOBAL_PLANNING_BENCHMARK__REFERENCE_SEARCH_HPP_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "nav_msgs/msg/path.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"

namespace global_planning_benchmark {

/// The objective the engine minimises with the "dijkstra" planner's options, written out once
/// more so that the benchmark can price any path and find the optimum itself: a cell is usable
/// when its danger bit 0 is clear and its cost is below lethal; a step into a usable cell weighs
/// its length in cells times 1 + 0.016 * (cost, plus 50 without room to turn); a diagonal step
/// needs both cells beside it usable.
class StepCosts {
 public:
  StepCosts(const vantrell_nav2_gridmap::GridLayers& layers, bool cost_aware,
            bool keep_turning_room);

  const vantrell_nav2_gridmap::GridLayers& layers() const { return layers_; }
  bool usable(size_t index) const;
  /// Cost of the step between two 8-neighbours, both usable; nothing when the step is not one.
  std::optional<double> step(int64_t x, int64_t y, int64_t nx, int64_t ny) const;
  /// Cost of a path of one pose per cell (the first pose may lie anywhere in its cell);
  /// nothing when a step is not a legal one.
  std::optional<double> pathCost(const nav_msgs::msg::Path& path) const;

 private:
  double weight(size_t index) const;

  const vantrell_nav2_gridmap::GridLayers& layers_;
  bool cost_aware_;
  bool keep_turning_room_;
};

/**
 * The yardstick of the engine: textbook A* over the same objective, with a
 * `std::priority_queue` of (estimate, cost so far, cell) and the octile distance as heuristic.
 * Its arrays are kept from one search to the next (a round stamp forgets the last search), so a
 * search costs what it expands, as the engine's does.
 */
class ReferenceSearch {
 public:
  struct Result {
    bool found{false};
    double cost{0.0};
    size_t expanded{0};
    /// Cells on the path, both ends included.
    size_t path_cells{0};
  };

  explicit ReferenceSearch(const StepCosts& costs);

  /// The cheapest path between two usable cells; not found when an end is unusable or off the
  /// map, or no route joins them.
  Result search(int64_t sx, int64_t sy, int64_t gx, int64_t gy);

 private:
  size_t pathCells(uint32_t goal) const;

  const StepCosts& costs_;
  std::vector<double> cost_so_far_;
  std::vector<uint32_t> parent_;
  std::vector<uint32_t> stamp_;
  uint32_t round_{0};
};

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__REFERENCE_SEARCH_HPP_
