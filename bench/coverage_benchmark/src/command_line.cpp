#include "coverage_benchmark/command_line.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "planning/planner_keys.hpp"

namespace coverage_benchmark {

namespace {

const std::vector<std::string>& coveragePlanners() {
  static const std::vector<std::string> planners{planning::local_keys::kStaticCoverage,
                                                 planning::local_keys::kDynamicCoverage};
  return planners;
}

// A tool narrower than a cell sweeps nothing; one wider than a few metres is no cleaning robot.
constexpr double kNarrowestTool = 0.05;
constexpr double kWidestTool = 5.0;

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class Reader {
 public:
  explicit Reader(const std::vector<std::string>& args) : args_(args) {}

  CommandLine read() {
    CommandLine line;
    while (next_ < args_.size() && error_.empty()) {
      const std::string& flag = args_[next_++];
      if (flag == "--help" || flag == "-h") {
        line.request = CommandLine::Request::HELP;
        return line;
      } else if (flag == "--map") {
        line.options.map_file = text(flag);
      } else if (flag == "--rooms") {
        line.options.rooms_file = text(flag);
      } else if (flag == "--planner") {
        line.options.planners.push_back(planner(flag));
      } else if (flag == "--room") {
        line.options.rooms.push_back(text(flag));
      } else if (flag == "--cleaning-width") {
        line.options.cleaning_width = width(flag);
      } else if (flag == "--param") {
        line.options.node_parameters.push_back(parameter(flag));
      } else if (flag == "--robot-radius") {
        line.options.robot_radius = width(flag);
      } else {
        error_ = "unknown argument '" + flag + "'";
      }
    }
    if (error_.empty()) {
      complete(line.options);
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

  std::string planner(const std::string& flag) {
    const std::string key = text(flag);
    const auto& known = coveragePlanners();
    if (error_.empty() && std::find(known.begin(), known.end(), key) == known.end()) {
      error_ = fmt::format("{} '{}' is not a coverage planner; there are {}", flag, key,
                           fmt::join(known, ", "));
    }
    return key;
  }

  std::pair<std::string, double> parameter(const std::string& flag) {
    const std::string value = text(flag);
    const size_t equals = value.find('=');
    char* end = nullptr;
    const std::string number = equals == std::string::npos ? "" : value.substr(equals + 1);
    errno = 0;
    const double read = number.empty() ? NAN : std::strtod(number.c_str(), &end);
    if (error_.empty() && (equals == 0 || errno != 0 || !std::isfinite(read) ||
                           end != number.c_str() + number.size())) {
      error_ = flag + " needs NAME=NUMBER, not '" + value + "'";
    }
    return {value.substr(0, equals), read};
  }

  double width(const std::string& flag) {
    const std::string value = text(flag);
    char* end = nullptr;
    errno = 0;
    const double read = value.empty() ? NAN : std::strtod(value.c_str(), &end);
    if (error_.empty() && (errno != 0 || end != value.c_str() + value.size() ||
                           !std::isfinite(read) || read < kNarrowestTool || read > kWidestTool)) {
      error_ = fmt::format("{} needs metres from {} to {}, not '{}'", flag, kNarrowestTool,
                           kWidestTool, value);
    }
    return read;
  }

  void complete(BenchmarkOptions& options) {
    if (options.map_file.empty()) {
      error_ = "--map FILE.yaml is required";
      return;
    }
    if (options.rooms_file.empty()) {
      if (!endsWith(options.map_file, ".yaml")) {
        error_ = "--rooms FILE is required for a map file not named *.yaml";
        return;
      }
      options.rooms_file = options.map_file.substr(0, options.map_file.size() - 5) + ".rooms.yaml";
    }
    if (options.planners.empty()) {
      options.planners = coveragePlanners();
    }
  }

  const std::vector<std::string>& args_;
  size_t next_{0};
  std::string error_;
};

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) { return Reader(args).read(); }

std::string usageText(const std::string& program) {
  return fmt::format(
      "Usage: {0} --map FILE.yaml [--rooms FILE.rooms.yaml] [--planner KEY ...] [--room ID ...]\n"
      "       [--cleaning-width M] [--robot-radius M] [--param NAME=NUMBER ...]\n"
      "\n"
      "Cleans every room of the floor as one zone with each coverage planner, on the simulated\n"
      "robot through the local planning node, the robot starting at the free cell nearest the\n"
      "room's centroid where it can turn. Prints one JSON line per room and planner, then a\n"
      "summary line per planner.\n"
      "\n"
      "  --map FILE.yaml       map in the map-server format\n"
      "  --rooms FILE          the floor's rooms (default: FILE.rooms.yaml beside the map)\n"
      "  --planner KEY         {1} (default: both; repeat for several)\n"
      "  --room ID             only this room (repeat for several)\n"
      "  --cleaning-width M    the cleaning tool's width in metres (default 0.6)\n"
      "  --robot-radius M      a round robot of this radius (default: the 0.6 x 0.5 m outline)\n"
      "  --param NAME=NUMBER   a parameter of the local planning node (repeat for several)\n"
      "  --help                this text\n"
      "\n"
      "Exit status: 0 every room finished, 1 the run could not start (arguments, map, rooms\n"
      "file, a node that did not come up), 2 some rooms ended otherwise (time limit, stalled,\n"
      "failed plans, a robot stuck, no answer, no place for the robot).\n",
      program, fmt::join(coveragePlanners(), " or "));
}

}  // namespace coverage_benchmark
