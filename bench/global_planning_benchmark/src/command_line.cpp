#include "global_planning_benchmark/command_line.hpp"

#include <fmt/format.h>

#include <limits>

#include "global_planning_benchmark/argument_reader.hpp"

namespace global_planning_benchmark {

namespace {

constexpr long long kMostRandomPairs = 1000000;

// Reads one flag of a run; false for a flag that is none of these.
bool readOption(ArgumentReader& reader, const std::string& flag, BenchmarkOptions& options,
                bool& seed_given) {
  if (flag == "--map") {
    options.map_file = reader.text(flag);
  } else if (flag == "--pairs") {
    options.pairs_file = reader.text(flag);
  } else if (flag == "--random") {
    options.random_pairs = static_cast<int>(reader.integer(flag, 1, kMostRandomPairs));
  } else if (flag == "--seed") {
    options.seed =
        static_cast<uint32_t>(reader.integer(flag, 0, std::numeric_limits<uint32_t>::max()));
    seed_given = true;
  } else if (flag == "--write-pairs") {
    options.write_pairs_file = reader.text(flag);
  } else if (flag == "--inflation-radius") {
    options.inflation_radius = reader.real(flag, 0.0);
  } else if (flag == "--cost-scaling-factor") {
    options.cost_scaling_factor = reader.real(flag, 0.0);
    if (!reader.failed() && options.cost_scaling_factor <= 0.0) {
      reader.fail("--cost-scaling-factor must be above 0");
    }
  } else if (flag == "--inflate-unknown") {
    options.inflate_unknown = true;
  } else {
    return false;
  }
  return true;
}

void checkCombination(ArgumentReader& reader, const BenchmarkOptions& options, bool seed_given) {
  const bool drawn = options.random_pairs > 0;
  if (options.map_file.empty()) {
    reader.fail("--map FILE.yaml is required");
  } else if (options.pairs_file.empty() == !drawn) {
    reader.fail("give either --pairs FILE or --random N");
  } else if (!drawn && seed_given) {
    reader.fail("--seed goes with --random");
  } else if (!drawn && !options.write_pairs_file.empty()) {
    reader.fail("--write-pairs saves drawn pairs and goes with --random");
  }
}

}  // namespace

vantrell_nav2_gridmap::GridMapParams BenchmarkOptions::gridMapParams() const {
  vantrell_nav2_gridmap::GridMapParams params;
  params.inflation_radius = inflation_radius;
  params.cost_scaling_factor = cost_scaling_factor;
  params.inflate_unknown = inflate_unknown;
  return params;
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  ArgumentReader reader(args);
  bool seed_given = false;
  return reader.read<BenchmarkOptions>(
      [&](const std::string& flag, BenchmarkOptions& options) {
        return readOption(reader, flag, options, seed_given);
      },
      [&](const BenchmarkOptions& options) { checkCombination(reader, options, seed_given); });
}

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
