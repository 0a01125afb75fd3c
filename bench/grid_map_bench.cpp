// Building a grid map's layers: a whole grid map from an occupancy grid (static map, inflation,
// distances, danger, narrow passages), and the rebuild that one obstacle edit costs.
// Maps: the 2000 x 2000 benchmark maps and an office floor of the shared maps folder (unknown
// space around the building), and a square of free cells with one obstacle (the longest
// distances).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "nav2_map_server/map_io.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_gridmap/obstacle_edit.hpp"

namespace {

using vantrell_nav2_gridmap::GridMapROS;

struct Source {
  nav_msgs::msg::OccupancyGrid grid;
  std::string error;
};

const Source& sharedMap(const std::string& name) {
  static std::map<std::string, Source> maps;
  auto found = maps.find(name);
  if (found != maps.end()) {
    return found->second;
  }
  Source& source = maps[name];
  // A checkout outside the usual tree names the folder in the environment.
  const char* folder = std::getenv("VANTRELL_SHARED_MAPS_DIR");
  const auto yaml = std::filesystem::path(folder != nullptr ? folder : VANTRELL_SHARED_MAPS_DIR) /
                    (name + ".yaml");
  if (nav2_map_server::loadMapFromYaml(yaml.string(), source.grid) !=
      nav2_map_server::LOAD_MAP_SUCCESS) {
    source.error = "cannot load " + yaml.string();
  }
  return source;
}

const Source& openSquare(int cells) {
  static std::map<int, Source> maps;
  auto found = maps.find(cells);
  if (found != maps.end()) {
    return found->second;
  }
  Source& source = maps[cells];
  auto& grid = source.grid;
  grid.header.frame_id = "map";
  grid.info.resolution = 0.05F;
  grid.info.width = static_cast<unsigned int>(cells);
  grid.info.height = static_cast<unsigned int>(cells);
  grid.info.origin.orientation.w = 1.0;
  grid.data.assign(static_cast<size_t>(cells) * cells, 0);
  grid.data[static_cast<size_t>(cells / 3) * cells + cells / 3] = 100;
  return source;
}

void setCounters(benchmark::State& state, const nav_msgs::msg::OccupancyGrid& grid) {
  const double cells = static_cast<double>(grid.data.size());
  state.counters["cells_per_s"] = benchmark::Counter(
      cells * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void buildGridMap(benchmark::State& state, const Source& source) {
  if (!source.error.empty()) {
    state.SkipWithError(source.error.c_str());
    return;
  }
  for (auto _ : state) {
    auto map = std::make_shared<GridMapROS>("bench", source.grid);
    benchmark::DoNotOptimize(map);
  }
  setCounters(state, source.grid);
}

void updateAfterOneEdit(benchmark::State& state, const Source& source) {
  if (!source.error.empty()) {
    state.SkipWithError(source.error.c_str());
    return;
  }
  auto map = std::make_shared<GridMapROS>("bench", source.grid);
  const unsigned int x = source.grid.info.width / 2;
  const unsigned int y = source.grid.info.height / 2;
  // As the robot's sensors report it: one cell seen blocked, then seen clear again.
  vantrell_nav2_gridmap::ObstacleEdit mark;
  mark.cells = {{x, y}};
  vantrell_nav2_gridmap::ObstacleEdit clear = mark;
  clear.action = vantrell_nav2_gridmap::ObstacleEdit::Action::CLEAR;
  bool marked = false;
  for (auto _ : state) {
    map->getMultiGridMap()->queueObstacleEdit(marked ? clear : mark);
    marked = !marked;
    benchmark::DoNotOptimize(map->getMultiGridMap()->updateMap());
  }
  setCounters(state, source.grid);
}

void BM_BuildSharedMap(benchmark::State& state, const std::string& name) {
  buildGridMap(state, sharedMap(name));
}

void BM_BuildOpenSquare(benchmark::State& state) {
  buildGridMap(state, openSquare(static_cast<int>(state.range(0))));
}

void BM_UpdateSharedMap(benchmark::State& state, const std::string& name) {
  updateAfterOneEdit(state, sharedMap(name));
}

}  // namespace

BENCHMARK_CAPTURE(BM_BuildSharedMap, 100by100_10, std::string("100by100_10"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildSharedMap, office_a_furnitures, std::string("office_a_furnitures"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildOpenSquare)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_UpdateSharedMap, 100by100_10, std::string("100by100_10"))
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
