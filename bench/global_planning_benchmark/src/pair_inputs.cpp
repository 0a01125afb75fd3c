#include "global_planning_benchmark/pair_inputs.hpp"

#include <fmt/format.h>

#include <exception>
#include <filesystem>
#include <system_error>

#include "global_planning_benchmark/json_line.hpp"
#include "global_planning_benchmark/random_pairs.hpp"
#include "nav2_map_server/map_io.hpp"

namespace global_planning_benchmark {

bool loadMapFile(const std::string& map_file, nav_msgs::msg::OccupancyGrid& map,
                 const ErrorSink& err) {
  std::error_code error;
  if (!std::filesystem::exists(map_file, error)) {
    err("map file " + map_file + " does not exist");
    return false;
  }
  if (!std::filesystem::is_regular_file(map_file, error)) {
    err("map file " + map_file + " is not a regular file");
    return false;
  }
  try {
    nav2_map_server::loadMapFromFile(nav2_map_server::loadMapYaml(map_file), map);
  } catch (const std::exception& e) {
    err(std::string("cannot load the map: ") + e.what());
    return false;
  }
  return true;
}

bool readPairs(const BenchmarkOptions& options, std::vector<CellPair>& pairs,
               const ErrorSink& err) {
  try {
    pairs = readPairsFile(options.pairs_file);
  } catch (const PairsFileError& e) {
    err(std::string("bad pairs file: ") + e.what());
    return false;
  }
  return true;
}

bool drawPairs(const BenchmarkOptions& options, const vantrell_nav2_gridmap::GridLayers& layers,
               std::vector<CellPair>& pairs, const ErrorSink& err, const PairRules& rules) {
  try {
    pairs = drawRandomPairs(layers, options.random_pairs, options.seed, rules);
  } catch (const std::exception& e) {
    err("cannot draw " + std::to_string(options.random_pairs) + " pairs on " + options.map_file +
        ": " + e.what());
    return false;
  }
  if (options.write_pairs_file.empty()) {
    return true;
  }
  try {
    const std::string comment = fmt::format(
        "{} pairs drawn on {} with seed {}\ninflation radius {} m, cost scaling {}{}", pairs.size(),
        mapNameOf(options), options.seed, options.inflation_radius, options.cost_scaling_factor,
        options.inflate_unknown ? ", unknown cells inflated" : "");
    writePairsFile(options.write_pairs_file, pairs, comment);
  } catch (const std::exception& e) {
    err(std::string("cannot save the drawn pairs: ") + e.what());
    return false;
  }
  return true;
}

std::string mapNameOf(const BenchmarkOptions& options) {
  return std::filesystem::path(options.map_file).stem().string();
}

std::string offMapReason(const CellPair& pair, unsigned int size_x, unsigned int size_y) {
  const auto on = [&](int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x < size_x && y < size_y;
  };
  const std::string size = fmt::format("the {} x {} map", size_x, size_y);
  if (!on(pair.sx, pair.sy)) {
    return fmt::format("start ({}, {}) lies off {}", pair.sx, pair.sy, size);
  }
  if (!on(pair.gx, pair.gy)) {
    return fmt::format("goal ({}, {}) lies off {}", pair.gx, pair.gy, size);
  }
  return {};
}

std::string invalidPairLine(size_t index, const CellPair& pair, const std::string& why) {
  JsonLine line;
  line.integer("pair", static_cast<int64_t>(index))
      .cell("start", pair.sx, pair.sy)
      .cell("goal", pair.gx, pair.gy)
      .flag("valid", false)
      .text("error", why);
  return line.str();
}

}  // namespace global_planning_benchmark
