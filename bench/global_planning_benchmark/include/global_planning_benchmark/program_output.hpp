#ifndef GLOBAL_PLANNING_BENCHMARK__PROGRAM_OUTPUT_HPP_
#define GLOBAL_PLANNING_BENCHMARK__PROGRAM_OUTPUT_HPP_

#include <cstdio>

namespace global_planning_benchmark {

/// Standard output carries the JSON lines and nothing else. Everything that the libraries write
/// to standard output (the logger's console sink and its start-up notes) is sent to standard
/// error instead, and the lines go to the stream returned, on a copy of the original
/// descriptor; nullptr when the descriptors cannot be set up.
std::FILE* takeStandardOutput();

/// The nodes log through the process-wide logger, configured from environment variables on
/// first use. Unless the caller set them: console only (it reaches standard error), warnings and
/// errors.
void setLoggerDefaults();

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__PROGRAM_OUTPUT_HPP_
