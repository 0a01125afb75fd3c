// The landmark tables of an engine on a real grid map: built in the background for cost-aware
// searches on large maps only, kept while the map only grows dearer, dropped and built again
// once it undercuts them, and never letting a search miss its cheapest route.

#include "vantrell_nav2_planner/astar2/landmark_keeper.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "text_map.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_planner/astar2/grid_search.hpp"
#include "vantrell_nav2_planner/astar2/search_workspace.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace {

using vantrell_nav2_gridmap::GridLayers;
using vantrell_nav2_gridmap::GridMapROS;
using vantrell_nav2_planner::astar2::AstarOptions;
using vantrell_nav2_planner::astar2::AstarPlanner;
using vantrell_nav2_planner::astar2::AstarPlannerProbe;
using vantrell_nav2_planner::astar2::GridCell;
using vantrell_nav2_planner::astar2::GridSearch;
using vantrell_nav2_planner::astar2::GridView;
using vantrell_nav2_planner::astar2::LandmarkKeeper;
using vantrell_nav2_planner::astar2::LandmarkTable;
using vantrell_nav2_planner::astar2::SearchOutcome;
using vantrell_nav2_planner::astar2::SearchSettings;
using vantrell_nav2_planner::astar2::SearchStatus;
using vantrell_nav2_planner::astar2::SearchWorkspace;
namespace editor = vantrell_nav2_gridmap::testing;

constexpr int kSize = 400;  // 160 000 cells, above LandmarkKeeper::kMinCells
constexpr double kResolution = 0.05;
const GridCell kStart{20, 20};
const GridCell kGoal{380, 20};

// A wall down the middle, open only at the far end; `gap` opens it near the bottom too.
std::vector<std::string> hall(bool gap) {
  std::vector<std::string> rows(kSize, std::string(kSize, '.'));
  for (int y = 0; y < kSize - 40; ++y) {
    rows[y][kSize / 2] = '#';
    rows[y][kSize / 2 + 1] = '#';
  }
  if (gap) {
    for (int y = 30; y < 50; ++y) {
      rows[y][kSize / 2] = '.';
      rows[y][kSize / 2 + 1] = '.';
    }
  }
  return rows;
}

std::shared_ptr<GridMapROS> hallMap() {
  return planner_test::mapFromText(hall(false), kResolution, 0.1);
}

std::shared_ptr<const GridLayers> layersOf(const GridMapROS& map) {
  return map.getMultiGridMap()->getLayers();
}

GridView viewOf(const GridLayers& layers) {
  return GridView{layers.size_x, layers.size_y, layers.cost.data(), layers.danger.data()};
}

// A cost-aware search from kStart to kGoal, with the tables or without.
SearchOutcome search(const GridLayers& layers, const LandmarkTable* table) {
  const GridView view = viewOf(layers);
  SearchWorkspace workspace;
  GridSearch engine(view, workspace);
  SearchSettings settings;
  settings.keep_turning_room = true;
  settings.landmarks = table;
  return engine.run(kStart, kGoal, settings);
}

// The tables the keeper gives for these layers once any build has finished.
std::shared_ptr<const LandmarkTable> settledTables(
    LandmarkKeeper& keeper, const std::shared_ptr<const GridLayers>& layers) {
  auto table = keeper.tablesFor(layers, true);
  keeper.waitForBuild();
  return table ? table : keeper.tablesFor(layers, true);
}

// The search with the keeper's tables finds what the search without finds, at no more cost.
void expectCheapestRoute(LandmarkKeeper& keeper, const std::shared_ptr<const GridLayers>& layers) {
  const auto table = keeper.tablesFor(layers, true);
  const SearchOutcome plain = search(*layers, nullptr);
  const SearchOutcome bounded = search(*layers, table.get());
  ASSERT_EQ(plain.status, SearchStatus::kFound);
  ASSERT_EQ(bounded.status, SearchStatus::kFound);
  EXPECT_NEAR(bounded.cost, plain.cost, 1e-3 * plain.cost);
}

TEST(LandmarkKeeper, BuildsInTheBackgroundForCostAwareSearchesOnLargeMapsOnly) {
  const auto small = planner_test::mapFromText(std::vector<std::string>(100, std::string(100, '.')),
                                               kResolution, 0.1);
  LandmarkKeeper keeper;
  EXPECT_EQ(keeper.tablesFor(layersOf(*small), true).get(), nullptr);
  keeper.waitForBuild();
  EXPECT_EQ(keeper.tablesFor(layersOf(*small), true).get(), nullptr) << "a small map got tables";

  const auto map = hallMap();
  const auto layers = layersOf(*map);
  EXPECT_EQ(keeper.tablesFor(layers, false).get(), nullptr);
  keeper.waitForBuild();
  EXPECT_EQ(keeper.tablesFor(layers, false).get(), nullptr) << "a search by distance got tables";

  EXPECT_EQ(keeper.tablesFor(layers, true).get(), nullptr) << "built on the search's own time";
  keeper.waitForBuild();
  const auto table = keeper.tablesFor(layers, true);
  ASSERT_NE(table.get(), nullptr);
  const SearchOutcome plain = search(*layers, nullptr);
  const SearchOutcome bounded = search(*layers, table.get());
  ASSERT_EQ(bounded.status, SearchStatus::kFound);
  EXPECT_NEAR(bounded.cost, plain.cost, 1e-3 * plain.cost);
  EXPECT_LT(bounded.expansions * 2, plain.expansions) << "the wall's way round was not bounded";
}

TEST(LandmarkKeeper, PrepareHasTablesReadyBeforeTheFirstSearchAndNoneOnOpenTerrain) {
  const auto map = hallMap();
  LandmarkKeeper keeper;
  keeper.prepare(layersOf(*map));
  const auto table = keeper.tablesFor(layersOf(*map), true);
  ASSERT_NE(table.get(), nullptr) << "the first search after prepare went without";
  keeper.prepare(layersOf(*map));
  EXPECT_EQ(keeper.tablesFor(layersOf(*map), true).get(), table.get()) << "built again";

  // Open ground with a few posts: the octile distance is nearly exact, so no costs are kept,
  // and the verdict stands without a build per search.
  std::vector<std::string> field(kSize, std::string(kSize, '.'));
  for (int i = 40; i < kSize; i += 80) {
    field[i][i] = '#';
  }
  const auto open = planner_test::mapFromText(field, kResolution, 0.1);
  LandmarkKeeper open_keeper;
  open_keeper.prepare(layersOf(*open));
  EXPECT_EQ(open_keeper.tablesFor(layersOf(*open), true).get(), nullptr);
  open_keeper.waitForBuild();
  EXPECT_EQ(open_keeper.tablesFor(layersOf(*open), true).get(), nullptr);

  // Through the engine: its first search is bounded already.
  auto engine = std::make_shared<AstarPlanner>("hall", map);
  engine->prepare();
  AstarOptions options{};
  options.byte_0 = true;
  options.byte_2 = true;
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(engine->searchPaths(planner_test::poseAt(1.0, 1.0), planner_test::poseAt(19.0, 1.0),
                                  options, paths));
  EXPECT_LT(AstarPlannerProbe::lastCall(*engine).expansions * 2,
            static_cast<std::size_t>(search(*layersOf(*map), nullptr).expansions));
}

TEST(LandmarkKeeper, KeepsTablesWhileTheMapGrowsDearerAndRebuildsOnceItUndercutsThem) {
  const auto map = hallMap();
  LandmarkKeeper keeper;
  const auto built = settledTables(keeper, layersOf(*map));
  ASSERT_NE(built.get(), nullptr);

  // An obstacle in the way: only dearer cells, the tables stay and still bound.
  const std::vector<vantrell_nav2_gridmap::ObstacleEdit::Cell> block{
      {100, 18}, {100, 19}, {100, 20}, {100, 21}};
  editor::markObstacleCells(*map, block);
  map->getMultiGridMap()->updateMap();
  EXPECT_EQ(keeper.tablesFor(layersOf(*map), true).get(), built.get());
  expectCheapestRoute(keeper, layersOf(*map));

  // The obstacle goes: back to the floor plan, the tables stay.
  editor::clearObstacleCells(*map, block);
  map->getMultiGridMap()->updateMap();
  EXPECT_EQ(keeper.tablesFor(layersOf(*map), true).get(), built.get());
  expectCheapestRoute(keeper, layersOf(*map));

  // A new static map opens a gap in the wall: the tables would overestimate the way through
  // it, so they are dropped, and the search takes the gap at once.
  editor::replaceStaticMap(*map, planner_test::occupancyFromText(hall(true), kResolution));
  map->getMultiGridMap()->updateMap();
  const auto opened = layersOf(*map);
  EXPECT_FALSE(built->boundsHold(viewOf(*opened)));
  EXPECT_EQ(keeper.tablesFor(opened, true).get(), nullptr);
  expectCheapestRoute(keeper, opened);
  // With the gap the hall is open enough that the new build keeps no costs (octile distance
  // nearly as tight): none, or new ones, but never the old.
  const auto rebuilt = settledTables(keeper, opened);
  EXPECT_NE(rebuilt.get(), built.get());
  expectCheapestRoute(keeper, opened);
}

TEST(LandmarkKeeper, TablesBuiltBesideAnObstacleOutliveIt) {
  const auto map = hallMap();
  const std::vector<vantrell_nav2_gridmap::ObstacleEdit::Cell> block{
      {300, 10}, {300, 11}, {301, 10}, {301, 11}};
  editor::markObstacleCells(*map, block);
  map->getMultiGridMap()->updateMap();
  LandmarkKeeper keeper;
  const auto built = settledTables(keeper, layersOf(*map));
  ASSERT_NE(built.get(), nullptr);

  editor::clearObstacleCells(*map, block);
  map->getMultiGridMap()->updateMap();
  EXPECT_EQ(keeper.tablesFor(layersOf(*map), true).get(), built.get());
  expectCheapestRoute(keeper, layersOf(*map));
}

TEST(LandmarkKeeper, EngineSearchesConcurrentlyWhileItsTablesBuildAndAgreeAfter) {
  const auto map = hallMap();
  auto engine = std::make_shared<AstarPlanner>("hall", map);
  AstarOptions options{};
  options.byte_0 = true;
  options.byte_2 = true;
  const auto start = planner_test::poseAt(1.0, 1.0);
  const auto goal = planner_test::poseAt(19.0, 1.0);
  const auto plan = [&] {
    vantrell_nav2_protocol::msg::MultiPaths paths;
    EXPECT_TRUE(engine->searchPaths(start, goal, options, paths));
    return paths.paths.empty() ? std::size_t{0} : paths.paths.front().nav_path.poses.size();
  };
  const std::size_t first = plan();
  const std::size_t first_expansions = AstarPlannerProbe::lastCall(*engine).expansions;
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(static_cast<double>(plan()), static_cast<double>(first), 0.02 * first);
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  AstarPlannerProbe::waitForLandmarks(*engine);
  EXPECT_NEAR(static_cast<double>(plan()), static_cast<double>(first), 0.02 * first);
  EXPECT_LT(AstarPlannerProbe::lastCall(*engine).expansions * 2, first_expansions);
}

}  // namespace
