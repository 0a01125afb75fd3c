#include "global_planning_benchmark/engine_yardstick.hpp"

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

#include "global_planning_benchmark/spread.hpp"

namespace global_planning_benchmark {

namespace {

// The "dijkstra" planner's record: cost-aware steps, turning room kept.
constexpr bool kCostAware = true;
constexpr bool kKeepTurningRoom = true;

constexpr int kMsDecimals = 3;
constexpr int kCostDecimals = 3;
constexpr int kRatioDecimals = 4;
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

double nanOr(const std::optional<double>& value) { return value ? *value : kNan; }

}  // namespace

EngineYardstick::EngineYardstick(std::shared_ptr<const vantrell_nav2_gridmap::GridLayers> layers)
    : layers_(std::move(layers)),
      costs_(*layers_, kCostAware, kKeepTurningRoom),
      reference_(costs_) {}

void EngineYardstick::measure(const CellPair& pair, const EngineFigures& engine, JsonLine& line) {
  using Clock = std::chrono::steady_clock;
  const auto began = Clock::now();
  const ReferenceSearch::Result reference = reference_.search(pair.sx, pair.sy, pair.gx, pair.gy);
  const double reference_ms =
      std::chrono::duration<double, std::milli>(Clock::now() - began).count();
  reference_ms_.push_back(reference_ms);
  reference_ms_total_ += reference_ms;
  engine_ms_total_ += engine.ms;
  engine_expanded_total_ += engine.expanded_cells;

  std::optional<double> engine_cost;
  if (engine.found && engine.paths != nullptr && !engine.paths->paths.empty()) {
    const auto& path = engine.paths->paths.front().nav_path;
    engine_cost = costs_.pathCost(path);
    if (reference.found && !path.poses.empty()) {
      engine_expanded_per_cell_.push_back(static_cast<double>(engine.expanded_cells) /
                                          static_cast<double>(path.poses.size()));
    }
  }
  std::optional<double> ratio;
  if (reference.found) {
    reference_expanded_per_cell_.push_back(static_cast<double>(reference.expanded) /
                                           static_cast<double>(reference.path_cells));
    if (engine_cost && reference.cost > 0.0) {
      ratio = *engine_cost / reference.cost;
      cost_ratio_.push_back(*ratio);
    }
  }
  line.flag("reference_found", reference.found)
      .number("reference_cost", reference.found ? reference.cost : kNan, kCostDecimals)
      .number("engine_cost", nanOr(engine_cost), kCostDecimals)
      .number("cost_ratio", nanOr(ratio), kRatioDecimals)
      .integer("reference_expanded_cells", static_cast<int64_t>(reference.expanded))
      .number("reference_ms", reference_ms, kMsDecimals);
}

void EngineYardstick::summarise(JsonLine& line) const {
  const Spread reference = spreadOf(reference_ms_);
  const Spread ratio = spreadOf(cost_ratio_);
  const double worst =
      cost_ratio_.empty() ? kNan : *std::max_element(cost_ratio_.begin(), cost_ratio_.end());
  const double ns_per_expansion =
      engine_expanded_total_ > 0
          ? engine_ms_total_ * 1e6 / static_cast<double>(engine_expanded_total_)
          : kNan;
  line.number("reference_ms_mean", reference.mean, kMsDecimals)
      .number("reference_ms_median", reference.median, kMsDecimals)
      .number("reference_ms_p95", reference.p95, kMsDecimals)
      .number("engine_reference_ratio",
              reference_ms_total_ > 0.0 ? engine_ms_total_ / reference_ms_total_ : kNan,
              kRatioDecimals)
      .number("engine_expanded_per_path_cell_median", spreadOf(engine_expanded_per_cell_).median, 2)
      .number("reference_expanded_per_path_cell_median",
              spreadOf(reference_expanded_per_cell_).median, 2)
      .number("engine_ns_per_expanded_cell", ns_per_expansion, 1)
      .number("cost_ratio_mean", ratio.mean, kRatioDecimals)
      .number("cost_ratio_worst", worst, kRatioDecimals);
}

}  // namespace global_planning_benchmark
