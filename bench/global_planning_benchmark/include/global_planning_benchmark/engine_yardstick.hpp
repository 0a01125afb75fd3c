#ifndef GLOBAL_PLANNING_BENCHMARK__ENGINE_YARDSTICK_HPP_
#define GLOBAL_PLANNING_BENCHMARK__ENGINE_YARDSTICK_HPP_

#include <cstddef>
#include <memory>
#include <vector>

#include "global_planning_benchmark/json_line.hpp"
#include "global_planning_benchmark/pairs_file.hpp"
#include "global_planning_benchmark/reference_search.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"

namespace global_planning_benchmark {

/// What the engine did on one pair, as the benchmark saw it.
struct EngineFigures {
  bool found{false};
  const vantrell_nav2_protocol::msg::MultiPaths* paths{nullptr};
  size_t expanded_cells{0};
  double ms{0.0};
};

/**
 * Sets the engine beside the reference search on every pair, in the same process and on the
 * same layers, so that its speed reads as a ratio that does not drift with the machine, and its
 * path cost as a ratio to the optimum. The objective is the one of the "dijkstra" planner's
 * option record (cost-aware steps, turning room kept).
 */
class EngineYardstick {
 public:
  explicit EngineYardstick(std::shared_ptr<const vantrell_nav2_gridmap::GridLayers> layers);

  /// Runs the reference on the pair and adds the comparison to the pair's line: the
  /// reference's time, expansions and optimum, and the cost of the engine's path under the
  /// same objective (null where an end is unusable or a search found nothing).
  void measure(const CellPair& pair, const EngineFigures& engine, JsonLine& line);
  /// Adds the figures over all measured pairs to the summary line.
  void summarise(JsonLine& line) const;

 private:
  std::shared_ptr<const vantrell_nav2_gridmap::GridLayers> layers_;
  StepCosts costs_;
  ReferenceSearch reference_;
  std::vector<double> reference_ms_;
  double engine_ms_total_{0.0};
  double reference_ms_total_{0.0};
  size_t engine_expanded_total_{0};
  std::vector<double> engine_expanded_per_cell_;
  std::vector<double> reference_expanded_per_cell_;
  std::vector<double> cost_ratio_;
};

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__ENGINE_YARDSTICK_HPP_
