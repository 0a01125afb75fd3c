#ifndef GLOBAL_PLANNING_BENCHMARK__PARSED_COMMAND_LINE_HPP_
#define GLOBAL_PLANNING_BENCHMARK__PARSED_COMMAND_LINE_HPP_

#include <string>

namespace global_planning_benchmark {

/// What a command line asks the program to do.
enum class CommandRequest { RUN, HELP, ERROR };

/// A benchmark program's command line, understood.
template <typename Options>
struct ParsedCommandLine {
  using Request = CommandRequest;

  Request request{Request::ERROR};
  Options options;
  /// Why the command line was refused (Request::ERROR).
  std::string error;
};

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__PARSED_COMMAND_LINE_HPP_
