// Global planning benchmark: plans start and goal pairs on a map with the grid-search engine and
// through the global planning node's action, one JSON line per pair. See bench/README.md.
#include <iostream>
#include <string>
#include <vector>

#include "global_planning_benchmark/benchmark_run.hpp"
#include "global_planning_benchmark/command_line.hpp"
#include "global_planning_benchmark/program_output.hpp"

int main(int argc, char** argv) {
  using global_planning_benchmark::CommandLine;
  const std::string program = argc > 0 ? argv[0] : "global_planning_benchmark";
  const CommandLine command = global_planning_benchmark::parseCommandLine(
      std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (command.request == CommandLine::Request::HELP) {
    std::cout << global_planning_benchmark::usageText(program);
    return global_planning_benchmark::kAllPairsRun;
  }
  if (command.request == CommandLine::Request::ERROR) {
    std::cerr << program << ": " << command.error << " (see --help)\n";
    return global_planning_benchmark::kCouldNotRun;
  }

  return global_planning_benchmark::runWithLines(
      program, global_planning_benchmark::kCouldNotRun,
      [&command](global_planning_benchmark::LineSink out, global_planning_benchmark::LineSink err) {
        global_planning_benchmark::BenchmarkRun run(command.options, out, err);
        return static_cast<int>(run.run());
      });
}
