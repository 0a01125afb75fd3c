// Coverage benchmark: cleans every room of a floor with each coverage planner on the simulated
// robot, one JSON line per room and planner. See bench/README.md.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "coverage_benchmark/command_line.hpp"
#include "coverage_benchmark/coverage_run.hpp"
#include "rclcpp/rclcpp.hpp"

namespace {

// Standard output carries the JSON lines and nothing else. Everything that the libraries write
// to standard output (the logger's console sink and its start-up notes) is sent to standard
// error instead, and the lines go to a stream on a copy of the original descriptor.
std::FILE* takeStandardOutput() {
  std::fflush(stdout);
  const int lines = dup(STDOUT_FILENO);
  if (lines < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    return nullptr;
  }
  return fdopen(lines, "w");
}

// The node logs through the process-wide logger, configured from these variables on first use.
// Unless the caller set them: console only (it reaches standard error), warnings and errors.
void setLoggerDefaults() {
  setenv("SPDLOG_STDOUT", "true", 0);
  setenv("SPDLOG_SYSTEMD", "false", 0);
  setenv("SPDLOG_LEVEL", "warning", 0);
}

}  // namespace

int main(int argc, char** argv) {
  using coverage_benchmark::CommandLine;
  const std::string program = argc > 0 ? argv[0] : "coverage_benchmark";
  const CommandLine command = coverage_benchmark::parseCommandLine(
      std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (command.request == CommandLine::Request::HELP) {
    std::cout << coverage_benchmark::usageText(program);
    return coverage_benchmark::kAllRoomsFinished;
  }
  if (command.request == CommandLine::Request::ERROR) {
    std::cerr << program << ": " << command.error << " (see --help)\n";
    return coverage_benchmark::kCouldNotRun;
  }

  std::FILE* lines = takeStandardOutput();
  if (lines == nullptr) {
    std::cerr << program << ": cannot set up standard output\n";
    return coverage_benchmark::kCouldNotRun;
  }
  setLoggerDefaults();
  coverage_benchmark::CoverageRun run(
      command.options,
      [lines](const std::string& line) {
        std::fputs((line + "\n").c_str(), lines);
        std::fflush(lines);
      },
      [&program](const std::string& error) { std::cerr << program << ": " << error << std::endl; });
  const int status = run.run();
  std::fclose(lines);
  return status;
}
