#ifndef GLOBAL_PLANNING_BENCHMARK__PROGRAM_OUTPUT_HPP_
#define GLOBAL_PLANNING_BENCHMARK__PROGRAM_OUTPUT_HPP_

#include <cstdio>
#include <functional>
#include <string>

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

using LineSink = std::function<void(const std::string&)>;

/// Sets up standard output and the logger as above, then runs `run` with a sink for the JSON
/// lines and one for errors (each "program: error" on standard error); returns what `run`
/// returns, or `could_not_run` when standard output cannot be set up.
int runWithLines(const std::string& program, int could_not_run,
                 const std::function<int(LineSink out, LineSink err)>& run);

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__PROGRAM_OUTPUT_HPP_
