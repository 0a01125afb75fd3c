// Local planning benchmark: drives a simulated robot between start and goal pairs on a map
// through the global and the local planning node, one JSON line per pair. See bench/README.md.
#include <iostream>
#include <string>
#include <vector>

#include "global_planning_benchmark/program_output.hpp"
#include "local_planning_benchmark/drive_benchmark.hpp"
#include "local_planning_benchmark/drive_command_line.hpp"
#include "rclcpp/rclcpp.hpp"

int main(int argc, char** argv) {
  using local_planning_benchmark::DriveCommandLine;
  const std::string program = argc > 0 ? argv[0] : "local_planning_benchmark";
  const DriveCommandLine command = local_planning_benchmark::parseDriveCommandLine(
      std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (command.request == DriveCommandLine::Request::HELP) {
    std::cout << local_planning_benchmark::driveUsageText(program);
    return global_planning_benchmark::kAllPairsRun;
  }
  if (command.request == DriveCommandLine::Request::ERROR) {
    std::cerr << program << ": " << command.error << " (see --help)\n";
    return global_planning_benchmark::kCouldNotRun;
  }

  return global_planning_benchmark::runWithLines(
      program, global_planning_benchmark::kCouldNotRun,
      [&command](global_planning_benchmark::LineSink out, global_planning_benchmark::LineSink err) {
        rclcpp::init(0, nullptr);
        int status = global_planning_benchmark::kCouldNotRun;
        {
          local_planning_benchmark::DriveBenchmark run(command.options, out, err);
          status = run.run();
        }
        rclcpp::shutdown();
        return status;
      });
}
