#ifndef GLOBAL_PLANNING_BENCHMARK__BENCHMARK_RUN_HPP_
#define GLOBAL_PLANNING_BENCHMARK__BENCHMARK_RUN_HPP_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "global_planning_benchmark/command_line.hpp"
#include "global_planning_benchmark/engine_yardstick.hpp"
#include "global_planning_benchmark/pairs_file.hpp"
#include "global_planning_benchmark/planning_host.hpp"

namespace global_planning_benchmark {

/// Exit status of the program.
enum ExitStatus : int {
  kAllPairsRun = 0,
  /// Bad arguments, an unusable map or pairs file, pairs that could not be drawn or saved, or
  /// a node that stopped answering.
  kCouldNotRun = 1,
  /// Every valid pair was run; some pairs lay off the map and were reported as invalid.
  kInvalidPairs = 2,
};

/**
 * One benchmark run: loads the map, gets the pairs, plans every pair with the engine and through
 * the node's action, and writes one JSON line per pair and a summary line to `out`. Errors go to
 * `err` as plain sentences.
 */
class BenchmarkRun {
 public:
  using LineSink = std::function<void(const std::string&)>;

  BenchmarkRun(BenchmarkOptions options, LineSink out, LineSink err);

  ExitStatus run();

 private:
  // Timings and lengths gathered for the summary.
  struct Tally {
    size_t pairs{0};
    size_t invalid{0};
    size_t engine_found{0};
    size_t action_found{0};
    std::vector<double> engine_ms;
    std::vector<double> action_ms;
    std::vector<double> engine_length_m;
    std::vector<double> action_length_m;
    /// Per pair, the action's time less the engine's on the same pair.
    std::vector<double> overhead_ms;
    /// The first goal after activation, then the same pair again once every pair has run.
    std::optional<size_t> first_pair;
    double first_goal_ms{0.0};
    std::vector<double> first_pair_again_ms;
  };

  /// False when the node stopped answering.
  bool runPair(PlanningHost& host, size_t index, const CellPair& pair);
  /// The first pair's goal sent again, for its time in the steady state; false as runPair.
  bool repeatFirstPair(PlanningHost& host, const std::vector<CellPair>& pairs);
  void writeSummary(const PlanningHost* host);

  BenchmarkOptions options_;
  LineSink out_;
  LineSink err_;
  Tally tally_;
  std::unique_ptr<EngineYardstick> yardstick_;
};

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__BENCHMARK_RUN_HPP_
