// Coverage benchmark: cleans every room of a floor with each coverage planner on the simulated
// robot, one JSON line per room and planner. See bench/README.md.
#include <iostream>
#include <string>
#include <vector>

#include "coverage_benchmark/command_line.hpp"
#include "coverage_benchmark/coverage_run.hpp"
#include "global_planning_benchmark/program_output.hpp"
#include "planning_sim/node_parameters.hpp"
#include "rclcpp/rclcpp.hpp"

int main(int argc, char** argv) {
  using coverage_benchmark::CommandLine;
  const std::string program = argc > 0 ? argv[0] : "coverage_benchmark";
  CommandLine command = coverage_benchmark::parseCommandLine(
      std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (command.request == CommandLine::Request::HELP) {
    std::cout << coverage_benchmark::usageText(program);
    return coverage_benchmark::kAllRoomsFinished;
  }
  if (command.request == CommandLine::Request::ERROR) {
    std::cerr << program << ": " << command.error << " (see --help)\n";
    return coverage_benchmark::kCouldNotRun;
  }
  try {
    coverage_benchmark::checkNodeParameters(command.options);
  } catch (const planning_sim::NodeParameterError& e) {
    std::cerr << program << ": --param " << e.what() << "\n";
    return coverage_benchmark::kCouldNotRun;
  } catch (const planning_sim::ConfigurationError& e) {
    std::cerr << program << ": " << e.what() << "\n";
    return coverage_benchmark::kCouldNotRun;
  }

  return global_planning_benchmark::runWithLines(
      program, coverage_benchmark::kCouldNotRun,
      [&command](global_planning_benchmark::LineSink out, global_planning_benchmark::LineSink err) {
        coverage_benchmark::CoverageRun run(command.options, out, err);
        try {
          return static_cast<int>(run.run());
        } catch (const planning_sim::NodeParameterError& e) {
          // A value the node refused when the first room brought it up.
          err(e.what());
          return static_cast<int>(coverage_benchmark::kCouldNotRun);
        }
      });
}
