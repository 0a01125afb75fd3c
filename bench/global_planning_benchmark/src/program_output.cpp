#include "global_planning_benchmark/program_output.hpp"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

namespace global_planning_benchmark {

std::FILE* takeStandardOutput() {
  std::fflush(stdout);
  const int lines = dup(STDOUT_FILENO);
  if (lines < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    return nullptr;
  }
  return fdopen(lines, "w");
}

void setLoggerDefaults() {
  setenv("SPDLOG_STDOUT", "true", 0);
  setenv("SPDLOG_SYSTEMD", "false", 0);
  setenv("SPDLOG_LEVEL", "warning", 0);
}

int runWithLines(const std::string& program, int could_not_run,
                 const std::function<int(LineSink out, LineSink err)>& run) {
  std::FILE* lines = takeStandardOutput();
  if (lines == nullptr) {
    std::cerr << program << ": cannot set up standard output\n";
    return could_not_run;
  }
  setLoggerDefaults();
  const int status = run(
      [lines](const std::string& line) {
        std::fputs((line + "\n").c_str(), lines);
        std::fflush(lines);
      },
      [&program](const std::string& error) { std::cerr << program << ": " << error << std::endl; });
  std::fclose(lines);
  return status;
}

}  // namespace global_planning_benchmark
