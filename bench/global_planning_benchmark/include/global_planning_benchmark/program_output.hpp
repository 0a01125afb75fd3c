#ifndef GLOBAL_PLANNING_BENCHMARK__PROGRAM_OUTPUT_HPP_
#define GLOBAL_PLANNING_BENCHMARK__PROGRAM_OUTPUT_HPP_

#include <cstdio>

// Where a benchmark program's lines and the library's log go.
namespace global_planning_benchmark {

/// Standard output carries the JSON lines and nothing else. Everything that the libraries write
/// to standard output (the logger's console sink and its start-up notes) is sent to standard
/// error instead; the returned stream, on a copy of the original descriptor, takes the lines.
/// Null when the descriptors cannot be set up.
std::FILE* takeStandardOutput();

/// The nodes log through the process-wide logger, configured from its environment variables on
/// first use. Unless the caller set them: console only (it reaches standard error), warnings and
/// errors.
void setLoggerDefaults();

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__PROGRAM_OUTPUT_HPP_
