#include "global_planning_benchmark/program_output.hpp"

#include <unistd.h>

#include <cstdlib>

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

}  // namespace global_planning_benchmark
