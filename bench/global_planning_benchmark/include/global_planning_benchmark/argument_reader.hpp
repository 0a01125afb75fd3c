#ifndef GLOBAL_PLANNING_BENCHMARK__ARGUMENT_READER_HPP_
#define GLOBAL_PLANNING_BENCHMARK__ARGUMENT_READER_HPP_

#include <cstddef>
#include <string>
#include <vector>

#include "global_planning_benchmark/parsed_command_line.hpp"

namespace global_planning_benchmark {

/// Walks the arguments after a benchmark program's name. Only the first fault is kept, so the
/// error names the first offending argument; nothing throws.
class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}

  /// Reads every flag: "--help" or "-h" asks for help at once; `option(flag, options)` reads any
  /// other, its values through this reader, and returns false for a flag it does not know. When
  /// all are read, `complete(options)` checks what goes together and fills in the defaults.
  template <typename Options, typename Option, typename Complete>
  ParsedCommandLine<Options> read(Option option, Complete complete) {
    ParsedCommandLine<Options> line;
    while (next_ < args_.size() && !failed()) {
      const std::string& flag = args_[next_++];
      if (flag == "--help" || flag == "-h") {
        line.request = CommandRequest::HELP;
        return line;
      }
      if (!option(flag, line.options)) {
        fail("unknown argument '" + flag + "'");
      }
    }
    if (!failed()) {
      complete(line.options);
    }
    if (failed()) {
      line.error = error_;
      return line;
    }
    line.request = CommandRequest::RUN;
    return line;
  }

  /// The value after `flag`; empty (and a fault) when there is none.
  std::string text(const std::string& flag);
  /// The value after `flag` as a whole number in [lowest, highest].
  long long integer(const std::string& flag, long long lowest, long long highest);
  /// The value after `flag` as a finite number of at least `lowest`.
  double real(const std::string& flag, double lowest);

  /// Records `error` unless an earlier fault was.
  void fail(const std::string& error);
  bool failed() const { return !error_.empty(); }

  /// Reads all of `text` as a finite number; false (value untouched) otherwise.
  static bool readReal(const std::string& text, double& value);

 private:
  const std::vector<std::string>& args_;
  size_t next_{0};
  std::string error_;
};

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__ARGUMENT_READER_HPP_
