#include "global_planning_benchmark/command_line.hpp"

#include <fmt/format.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace global_planning_benchmark {

namespace {

constexpr long long kMostRandomPairs = 1000000;

bool readInteger(const std::string& text, long long lowest, long long highest, long long& value) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  const long long read = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size() || read < lowest || read > highest) {
    return false;
  }
  value = read;
  return true;
}

bool readReal(const std::string& text, double& value) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  const double read = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(read)) {
    return false;
  }
  value = read;
  return true;
}

// Walks the arguments; every method records the first fault and leaves the rest alone.
class Reader {
 public:
  explicit Reader(const std::vector<std::string>& args) : args_(args) {}

  CommandLine read() {
    CommandLine line;
    bool seed_given = false;
    while (next_ < args_.size() && error_.empty()) {
      const std::string& flag = args_[next_++];
      if (flag == "--help" || flag == "-h") {
        line.request = CommandLine::Request::HELP;
        return line;
      } else if (flag == "--map") {
        line.options.map_file = text(flag);
      } else if (flag == "--pairs") {
        line.options.pairs_file = text(flag);
      } else if (flag == "--random") {
        line.options.random_pairs = static_cast<int>(integer(flag, 1, kMostRandomPairs));
      } else if (flag == "--seed") {
        line.options.seed =
            static_cast<uint32_t>(integer(flag, 0, std::numeric_limits<uint32_t>::max()));
        seed_given = true;
      } else if (flag == "--write-pairs") {
        line.options.write_pairs_file = text(flag);
      } else if (flag == "--inflation-radius") {
        line.options.inflation_radius = real(flag, 0.0);
      } else if (flag == "--cost-scaling-factor") {
        line.options.cost_scaling_factor = real(flag, 0.0);
        if (error_.empty() && line.options.cost_scaling_factor <= 0.0) {
          error_ = "--cost-scaling-factor must be above 0";
        }
      } else if (flag == "--inflate-unknown") {
        line.options.inflate_unknown = true;
      } else {
        error_ = "unknown argument '" + flag + "'";
      }
    }
    if (error_.empty()) {
      checkCombination(line.options, seed_given);
    }
    if (!error_.empty()) {
      line.error = error_;
      return line;
    }
    line.request = CommandLine::Request::RUN;
    return line;
  }

 private:
  std::string text(const std::string& flag) {
    if (next_ >= args_.size() || args_[next_].empty()) {
      error_ = flag + " needs a value";
      return {};
    }
    return args_[next_++];
  }

  long long integer(const std::string& flag, long long lowest, long long highest) {
    const std::string value = text(flag);
    long long read = 0;
    if (error_.empty() && !readInteger(value, lowest, highest, read)) {
      error_ = flag + " needs a whole number from " + std::to_string(lowest) + " to " +
               std::to_string(highest) + ", not '" + value + "'";
    }
    return read;
  }

  double real(const std::string& flag, double lowest) {
    const std::string value = text(flag);
    double read = 0.0;
    if (error_.empty() && (!readReal(value, read) || read < lowest)) {
      error_ =
          fmt::format("{} needs a finite number of at least {}, not '{}'", flag, lowest, value);
    }
    return read;
  }

  void checkCombination(const BenchmarkOptions& options, bool seed_given) {
    const bool drawn = options.random_pairs > 0;
    if (options.map_file.empty()) {
      error_ = "--map FILE.yaml is required";
    } else if (options.pairs_file.empty() == !drawn) {
      error_ = "give either --pairs FILE or --random N";
    } else if (!drawn && seed_given) {
      error_ = "--seed goes with --random";
    } else if (!drawn && !options.write_pairs_file.empty()) {
      error_ = "--write-pairs saves drawn pairs and goes with --random";
    }
  }

  const std::vector<std::string>& args_;
  size_t next_{0};
  std::string error_;
};

}  // namespace

vantrell_nav2_gridmap::GridMapParams BenchmarkOptions::gridMapParams() const {
  vantrell_nav2_gridmap::GridMapParams params;
  params.inflation_radius = inflation_radius;
  params.cost_scaling_factor = cost_scaling_factor;
  params.inflate_unknown = inflate_unknown;
  return params;
}

CommandLine parseCommandLine(const std::vector<std::string>& args) { return Reader(args).read(); }

std::string inputOptionsText(const std::string& more_options) {
  const vantrell_nav2_gridmap::GridMapParams defaults;
  return fmt::format(
      "  --map FILE.yaml          map in the map-server format\n"
      "  --pairs FILE             one pair a line, 'sx sy gx gy' in map cells; '#' starts a\n"
      "                           comment\n"
      "  --random N               draw N pairs: free cells of inflated cost below 210, at\n"
      "                           least 100 cells from the border, ends at least 3 m apart\n"
      "  --seed S                 seed of the draw (default 33)\n"
      "  --write-pairs FILE       save the drawn pairs in the --pairs format\n"
      "{0}"
      "  --inflation-radius M     metres (default {1})\n"
      "  --cost-scaling-factor F  (default {2})\n"
      "  --inflate-unknown        inflate around unknown cells too\n"
      "  --help                   this text\n",
      more_options, defaults.inflation_radius, defaults.cost_scaling_factor);
}

std::string usageText(const std::string& program) {
  return fmt::format(
             "Usage: {0} --map FILE.yaml (--pairs FILE | --random N [--seed S] [--write-pairs "
             "FILE])\n"
             "       [--inflation-radius M] [--cost-scaling-factor F] [--inflate-unknown]\n"
             "\n"
             "Plans from start to goal for every pair, once with the grid-search engine directly\n"
             "and once end to end through the global planning node's \"global_planning\" action\n"
             "with the \"dijkstra\" planner. Prints one JSON line per pair, then a summary line.\n"
             "\n",
             program) +
         inputOptionsText("") +
         "\n"
         "Exit status: 0 every pair planned (found or not), 1 the run could not start or was\n"
         "stopped (arguments, map, pairs file, a node that stopped answering), 2 some pairs lay\n"
         "off the map and were reported as invalid.\n";
}

}  // namespace global_planning_benchmark
