// Grid search on large maps: the 2000 x 2000 benchmark maps of the shared maps folder and drawn
// floors of rooms, corner to corner, plus the usual 100 random pairs on the benchmark maps.
// Counters: expansions_per_s (expanded cells per second), s_per_search, expansions (per search).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_map_server/map_io.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "planning/search_options.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"

namespace {

using vantrell_nav2_planner::astar2::AstarOptions;
using vantrell_nav2_planner::astar2::AstarPlanner;
using PoseStamped = geometry_msgs::msg::PoseStamped;

// The usual benchmark picks cells of inflated cost below this, away from the border.
constexpr std::uint8_t kPairCostLimit = 210;
constexpr int kBorderCells = 100;

struct Scene {
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map;
  std::shared_ptr<AstarPlanner> engine;
  std::vector<std::pair<PoseStamped, PoseStamped>> corner_pairs;
  std::vector<std::pair<PoseStamped, PoseStamped>> random_pairs;
  std::string error;
};

AstarOptions benchOptions() {
  // The global planners' record, without a budget so that the largest maps finish too.
  AstarOptions options = planning::globalSearchOptions(1.0, 1.0);
  options.int_60 = 0;
  return options;
}

PoseStamped cellPose(const vantrell_nav2_gridmap::GridLayers& layers, int x, int y) {
  PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = layers.origin_x + (x + 0.5) * layers.resolution;
  pose.pose.position.y = layers.origin_y + (y + 0.5) * layers.resolution;
  pose.pose.orientation.w = 1.0;
  return pose;
}

bool goodCell(const vantrell_nav2_gridmap::GridLayers& layers, int x, int y) {
  if (x < 0 || y < 0 || x >= static_cast<int>(layers.size_x) ||
      y >= static_cast<int>(layers.size_y)) {
    return false;
  }
  const std::size_t i = layers.index(static_cast<unsigned>(x), static_cast<unsigned>(y));
  return (layers.danger[i] & vantrell_nav2_gridmap::GridLayers::DANGER_LEVEL_0) == 0 &&
         layers.cost[i] < kPairCostLimit;
}

// The good cell nearest to (x, y), searched in growing squares.
bool nearestGoodCell(const vantrell_nav2_gridmap::GridLayers& layers, int& x, int& y) {
  for (int ring = 0; ring < 200; ++ring) {
    for (int dy = -ring; dy <= ring; ++dy) {
      for (int dx = -ring; dx <= ring; ++dx) {
        if ((std::abs(dx) == ring || std::abs(dy) == ring) && goodCell(layers, x + dx, y + dy)) {
          x += dx;
          y += dy;
          return true;
        }
      }
    }
  }
  return false;
}

// Corner to corner, moving both ends along the diagonal until the engine finds a way.
void pickCornerPair(Scene& scene) {
  const auto layers = scene.map->getMultiGridMap()->getLayers();
  const int last_x = static_cast<int>(layers->size_x) - 1 - kBorderCells;
  const int last_y = static_cast<int>(layers->size_y) - 1 - kBorderCells;
  for (int inset = 0; inset < 10; ++inset) {
    int sx = kBorderCells + inset * 25;
    int sy = kBorderCells + inset * 25;
    int gx = last_x - inset * 25;
    int gy = last_y - inset * 25;
    if (!nearestGoodCell(*layers, sx, sy) || !nearestGoodCell(*layers, gx, gy)) {
      continue;
    }
    const PoseStamped start = cellPose(*layers, sx, sy);
    const PoseStamped goal = cellPose(*layers, gx, gy);
    AstarOptions exact = benchOptions();
    exact.goal_fuzzy_range = 0.0;
    vantrell_nav2_protocol::msg::MultiPaths paths;
    if (scene.engine->searchPaths(start, goal, exact, paths)) {
      scene.corner_pairs.emplace_back(start, goal);
      return;
    }
  }
  scene.error = "no connected corner cells found";
}

// 100 pairs drawn with seed 33 among good cells at least 100 cells from the border and 3 m
// apart.
void pickRandomPairs(Scene& scene) {
  const auto layers = scene.map->getMultiGridMap()->getLayers();
  std::mt19937 random(33);
  std::uniform_int_distribution<int> xs(kBorderCells,
                                        static_cast<int>(layers->size_x) - 1 - kBorderCells);
  std::uniform_int_distribution<int> ys(kBorderCells,
                                        static_cast<int>(layers->size_y) - 1 - kBorderCells);
  auto draw = [&]() {
    while (true) {
      const int x = xs(random);
      const int y = ys(random);
      if (goodCell(*layers, x, y)) {
        return cellPose(*layers, x, y);
      }
    }
  };
  while (scene.random_pairs.size() < 100) {
    PoseStamped start = draw();
    PoseStamped goal = draw();
    if (std::hypot(start.pose.position.x - goal.pose.position.x,
                   start.pose.position.y - goal.pose.position.y) >= 3.0) {
      scene.random_pairs.emplace_back(start, goal);
    }
  }
}

Scene makeScene(const std::string& name, const nav_msgs::msg::OccupancyGrid& grid) {
  Scene scene;
  scene.map = std::make_shared<vantrell_nav2_gridmap::GridMapROS>(name, grid);
  scene.map->waitForCostmap();
  scene.engine = std::make_shared<AstarPlanner>(name, scene.map);
  pickCornerPair(scene);
  return scene;
}

Scene& sharedMapScene(const std::string& name) {
  static std::map<std::string, Scene> scenes;
  auto found = scenes.find(name);
  if (found != scenes.end()) {
    return found->second;
  }
  Scene& scene = scenes[name];
  const std::filesystem::path folder(VANTRELL_SHARED_MAPS_DIR);
  const std::filesystem::path yaml = folder / (name + ".yaml");
  if (!std::filesystem::exists(yaml)) {
    scene.error = "shared maps folder missing or incomplete: " + yaml.string();
    return scene;
  }
  nav_msgs::msg::OccupancyGrid grid;
  if (nav2_map_server::loadMapFromYaml(yaml.string(), grid) != nav2_map_server::LOAD_MAP_SUCCESS) {
    scene.error = "cannot load " + yaml.string();
    return scene;
  }
  scene = makeScene(name, grid);
  if (scene.error.empty()) {
    pickRandomPairs(scene);
  }
  return scene;
}

// A floor of 5 m rooms (100 cells at 0.05 m) with 15 cm walls, a 1.2 m door at a random place in
// every wall and a table-sized block in most rooms.
nav_msgs::msg::OccupancyGrid drawnFloor(int cells) {
  constexpr int kRoom = 100;
  constexpr int kWall = 3;
  constexpr int kDoor = 24;
  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = "map";
  grid.info.resolution = 0.05F;
  grid.info.width = static_cast<unsigned>(cells);
  grid.info.height = static_cast<unsigned>(cells);
  grid.info.origin.orientation.w = 1.0;
  grid.data.assign(static_cast<std::size_t>(cells) * cells, 0);
  auto block = [&](int x0, int y0, int x1, int y1) {
    for (int y = std::max(0, y0); y < std::min(cells, y1); ++y) {
      for (int x = std::max(0, x0); x < std::min(cells, x1); ++x) {
        grid.data[static_cast<std::size_t>(y) * cells + x] = 100;
      }
    }
  };
  std::mt19937 random(7);
  std::uniform_int_distribution<int> door_at(kWall + 10, kRoom - kDoor - 10);
  std::uniform_int_distribution<int> percent(0, 99);
  block(0, 0, cells, kWall);
  block(0, cells - kWall, cells, cells);
  block(0, 0, kWall, cells);
  block(cells - kWall, 0, cells, cells);
  for (int wall = kRoom; wall < cells; wall += kRoom) {
    for (int along = 0; along < cells; along += kRoom) {
      const int door_x = along + door_at(random);
      block(along, wall, door_x, wall + kWall);
      block(door_x + kDoor, wall, along + kRoom, wall + kWall);
      const int door_y = along + door_at(random);
      block(wall, along, wall + kWall, door_y);
      block(wall, door_y + kDoor, wall + kWall, along + kRoom);
    }
  }
  for (int ry = 0; ry + kRoom <= cells; ry += kRoom) {
    for (int rx = 0; rx + kRoom <= cells; rx += kRoom) {
      if (percent(random) < 70) {
        const int x = rx + 30 + percent(random) % 30;
        const int y = ry + 30 + percent(random) % 30;
        block(x, y, x + 24, y + 16);
      }
    }
  }
  return grid;
}

Scene& drawnScene(int cells) {
  static std::map<int, Scene> scenes;
  auto found = scenes.find(cells);
  if (found == scenes.end()) {
    found =
        scenes.emplace(cells, makeScene("floor_" + std::to_string(cells), drawnFloor(cells))).first;
  }
  return found->second;
}

void runPairs(benchmark::State& state, Scene& scene,
              const std::vector<std::pair<PoseStamped, PoseStamped>>& pairs) {
  if (!scene.error.empty()) {
    state.SkipWithError(scene.error.c_str());
    return;
  }
  const AstarOptions options = benchOptions();
  vantrell_nav2_protocol::msg::MultiPaths paths;
  double expansions = 0.0;
  double searches = 0.0;
  double poses = 0.0;
  std::size_t failures = 0;
  for (auto _ : state) {
    for (const auto& pair : pairs) {
      const bool found = scene.engine->searchPaths(pair.first, pair.second, options, paths);
      benchmark::DoNotOptimize(paths);
      failures += found ? 0U : 1U;
      poses += found ? static_cast<double>(paths.paths[0].nav_path.poses.size()) : 0.0;
      expansions += static_cast<double>(scene.engine->lastSearchStatistics().expanded_cells);
      searches += 1.0;
    }
  }
  state.counters["expansions_per_s"] = benchmark::Counter(expansions, benchmark::Counter::kIsRate);
  state.counters["s_per_search"] =
      benchmark::Counter(searches, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["expansions"] = benchmark::Counter(expansions / searches);
  state.counters["poses"] = benchmark::Counter(poses / searches);
  state.counters["failures"] = benchmark::Counter(static_cast<double>(failures) / searches);
}

void BM_SharedMapCornerToCorner(benchmark::State& state, const std::string& name) {
  Scene& scene = sharedMapScene(name);
  runPairs(state, scene, scene.corner_pairs);
}

void BM_SharedMapRandomPairs(benchmark::State& state, const std::string& name) {
  Scene& scene = sharedMapScene(name);
  runPairs(state, scene, scene.random_pairs);
}

void BM_DrawnFloorCornerToCorner(benchmark::State& state) {
  Scene& scene = drawnScene(static_cast<int>(state.range(0)));
  runPairs(state, scene, scene.corner_pairs);
}

}  // namespace

BENCHMARK_CAPTURE(BM_SharedMapCornerToCorner, 100by100_10, std::string("100by100_10"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SharedMapCornerToCorner, 100by100_15, std::string("100by100_15"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SharedMapCornerToCorner, 100by100_20, std::string("100by100_20"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SharedMapRandomPairs, 100by100_10, std::string("100by100_10"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SharedMapRandomPairs, 100by100_20, std::string("100by100_20"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawnFloorCornerToCorner)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
