#include "global_planning_benchmark/benchmark_run.hpp"

#include <fmt/format.h>

#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <utility>

#include "global_planning_benchmark/json_line.hpp"
#include "global_planning_benchmark/pair_inputs.hpp"
#include "global_planning_benchmark/path_metrics.hpp"
#include "global_planning_benchmark/spread.hpp"

namespace global_planning_benchmark {

namespace {

constexpr int kMsDecimals = 3;
constexpr int kMetreDecimals = 3;
constexpr int kCostDecimals = 2;
// Times the first pair's goal is sent again after the run, for its steady-state time.
constexpr int kFirstPairRepeats = 5;

void addPathFields(JsonLine& line, const std::string& prefix, const PathMetrics& metrics) {
  line.integer(prefix + "_poses", static_cast<int64_t>(metrics.poses))
      .number(prefix + "_length_m", metrics.length_m, kMetreDecimals)
      .number(prefix + "_mean_cost", metrics.mean_cost, kCostDecimals)
      .number(prefix + "_max_cost", metrics.max_cost, 0);
}

void addSpreadFields(JsonLine& line, const std::string& prefix, const Spread& spread) {
  line.number(prefix + "_mean", spread.mean, kMsDecimals)
      .number(prefix + "_median", spread.median, kMsDecimals)
      .number(prefix + "_p95", spread.p95, kMsDecimals);
}

}  // namespace

BenchmarkRun::BenchmarkRun(BenchmarkOptions options, LineSink out, LineSink err)
    : options_(std::move(options)), out_(std::move(out)), err_(std::move(err)) {}

ExitStatus BenchmarkRun::run() {
  nav_msgs::msg::OccupancyGrid map;
  std::vector<CellPair> pairs;
  if (!loadMapFile(options_.map_file, map, err_) ||
      (!options_.pairs_file.empty() && !readPairs(options_, pairs, err_))) {
    return kCouldNotRun;
  }
  std::unique_ptr<PlanningHost> host;
  try {
    host = std::make_unique<PlanningHost>(map, options_.gridMapParams());
  } catch (const std::exception& e) {
    err_("cannot set up the global planning node on " + options_.map_file + ": " + e.what());
    return kCouldNotRun;
  }
  if (options_.random_pairs > 0 && !drawPairs(options_, *host->layers(), pairs, err_)) {
    return kCouldNotRun;
  }
  yardstick_ = std::make_unique<EngineYardstick>(host->layers());
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (!runPair(*host, i, pairs[i])) {
      err_(fmt::format("pair {}: the global planning node gave no answer within {} s; stopped", i,
                       PlanningHost::kActionPatience.count()));
      writeSummary(host.get());
      return kCouldNotRun;
    }
  }
  if (!repeatFirstPair(*host, pairs)) {
    err_("the global planning node gave no answer to the first pair sent again; stopped");
    writeSummary(host.get());
    return kCouldNotRun;
  }
  writeSummary(host.get());
  if (tally_.invalid > 0) {
    err_(fmt::format("{} of {} pairs lay off the map and were reported as invalid", tally_.invalid,
                     tally_.pairs));
    return kInvalidPairs;
  }
  return kAllPairsRun;
}

bool BenchmarkRun::runPair(PlanningHost& host, size_t index, const CellPair& pair) {
  ++tally_.pairs;
  const auto layers = host.layers();
  const std::string off_map = offMapReason(pair, layers->size_x, layers->size_y);
  if (!off_map.empty()) {
    ++tally_.invalid;
    out_(invalidPairLine(index, pair, off_map));
    return true;
  }
  // The first goal after activation goes out before anything else is searched.
  const bool first = !tally_.first_pair;
  const auto action_first =
      first ? host.planWithAction(pair, static_cast<int32_t>(index)) : PlanningHost::ActionRun();
  const auto engine = host.planWithEngine(pair);
  const auto action = first ? action_first : host.planWithAction(pair, static_cast<int32_t>(index));
  if (action.outcome == "timeout") {
    return false;
  }
  if (first) {
    tally_.first_pair = index;
    tally_.first_goal_ms = action.ms;
  }
  tally_.overhead_ms.push_back(action.ms - engine.ms);

  const PathMetrics engine_path = measurePaths(engine.paths.paths, *layers);
  const PathMetrics action_path = measurePaths(action.paths.paths, *layers);
  tally_.engine_ms.push_back(engine.ms);
  tally_.action_ms.push_back(action.ms);
  if (engine.found) {
    ++tally_.engine_found;
    tally_.engine_length_m.push_back(engine_path.length_m);
  }
  if (action.found) {
    ++tally_.action_found;
    tally_.action_length_m.push_back(action_path.length_m);
  }

  const double straight_m =
      std::hypot(static_cast<double>(pair.gx - pair.sx), static_cast<double>(pair.gy - pair.sy)) *
      layers->resolution;
  JsonLine line;
  line.integer("pair", static_cast<int64_t>(index))
      .cell("start", pair.sx, pair.sy)
      .cell("goal", pair.gx, pair.gy)
      .flag("valid", true)
      .number("straight_m", straight_m, kMetreDecimals)
      .flag("engine_found", engine.found)
      .flag("action_found", action.found)
      .text("result", action.outcome)
      .integer("error_code", action.error_code);
  addPathFields(line, "engine", engine_path);
  addPathFields(line, "action", action_path);
  line.integer("expanded_cells", static_cast<int64_t>(engine.expanded_cells))
      .number("engine_ms", engine.ms, kMsDecimals)
      .number("action_ms", action.ms, kMsDecimals);
  yardstick_->measure(
      pair, EngineFigures{engine.found, &engine.paths, engine.expanded_cells, engine.ms}, line);
  out_(line.str());
  return true;
}

bool BenchmarkRun::repeatFirstPair(PlanningHost& host, const std::vector<CellPair>& pairs) {
  if (!tally_.first_pair) {
    return true;
  }
  const size_t first = *tally_.first_pair;
  for (int i = 0; i < kFirstPairRepeats; ++i) {
    // Another pair's goal first, as in the run, so that the first pair does not find what it
    // touches in the caches from its own last time.
    const size_t other = (first + 1 + static_cast<size_t>(i)) % pairs.size();
    const auto between = host.planWithAction(pairs[other], static_cast<int32_t>(other));
    const auto again = host.planWithAction(pairs[first], static_cast<int32_t>(first));
    if (between.outcome == "timeout" || again.outcome == "timeout") {
      return false;
    }
    tally_.first_pair_again_ms.push_back(again.ms);
  }
  return true;
}

void BenchmarkRun::writeSummary(const PlanningHost* host) {
  JsonLine line;
  line.flag("summary", true)
      .text("map", mapNameOf(options_))
      .integer("pairs", static_cast<int64_t>(tally_.pairs))
      .integer("invalid", static_cast<int64_t>(tally_.invalid))
      .integer("engine_found", static_cast<int64_t>(tally_.engine_found))
      .integer("action_found", static_cast<int64_t>(tally_.action_found));
  addSpreadFields(line, "engine_ms", spreadOf(tally_.engine_ms));
  addSpreadFields(line, "action_ms", spreadOf(tally_.action_ms));
  line.number("engine_length_m_mean", spreadOf(tally_.engine_length_m).mean, kMetreDecimals)
      .number("action_length_m_mean", spreadOf(tally_.action_length_m).mean, kMetreDecimals);
  const Spread overhead = spreadOf(tally_.overhead_ms);
  const double steady = spreadOf(tally_.first_pair_again_ms).median;
  const double nothing = std::numeric_limits<double>::quiet_NaN();
  line.number("activation_ms", host ? host->activationMs() : nothing, kMsDecimals)
      .number("engine_prepare_ms", host ? host->enginePrepareMs() : nothing, kMsDecimals)
      .number("engine_prepare_mib", host ? host->enginePrepareMib() : nothing, 1)
      .number("first_goal_ms", tally_.first_pair ? tally_.first_goal_ms : nothing, kMsDecimals)
      .number("first_goal_steady_ms", steady, kMsDecimals)
      .number("first_goal_ratio", tally_.first_goal_ms / steady, 2)
      .number("action_overhead_ms_median", overhead.median, kMsDecimals)
      .number("action_overhead_ms_p99", overhead.p99, kMsDecimals);
  if (yardstick_) {
    yardstick_->summarise(line);
  }
  out_(line.str());
}

}  // namespace global_planning_benchmark
