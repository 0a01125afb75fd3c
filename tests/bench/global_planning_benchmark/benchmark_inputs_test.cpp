// What the benchmark reads (command line, pairs files, random pairs) and what it computes
// (path measures, time spreads, JSON lines), without the node.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "global_planning_benchmark/command_line.hpp"
#include "global_planning_benchmark/json_line.hpp"
#include "global_planning_benchmark/pairs_file.hpp"
#include "global_planning_benchmark/path_metrics.hpp"
#include "global_planning_benchmark/random_pairs.hpp"
#include "global_planning_benchmark/reference_search.hpp"
#include "global_planning_benchmark/spread.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"

namespace global_planning_benchmark {
namespace {

using vantrell_nav2_gridmap::GridLayers;

CommandLine parse(const std::string& line) {
  std::istringstream words(line);
  std::vector<std::string> args;
  std::string word;
  while (words >> word) {
    args.push_back(word);
  }
  return parseCommandLine(args);
}

// A free map of size x size cells at 0.05 m, every cell of cost 0.
GridLayers freeLayers(unsigned int size) {
  GridLayers layers;
  layers.size_x = size;
  layers.size_y = size;
  layers.resolution = 0.05;
  layers.cost.assign(static_cast<size_t>(size) * size, nav2_costmap_2d::FREE_SPACE);
  layers.raw_cost = layers.cost;
  return layers;
}

void setCell(GridLayers& layers, unsigned int x, unsigned int y, uint8_t raw, uint8_t cost) {
  layers.raw_cost[layers.index(x, y)] = raw;
  layers.cost[layers.index(x, y)] = cost;
}

vantrell_nav2_protocol::msg::Path pathThrough(const std::vector<std::pair<double, double>>& xy) {
  vantrell_nav2_protocol::msg::Path path;
  for (const auto& point : xy) {
    geometry_msgs::msg::PoseStamped pose;
    pose.pose.position.x = point.first;
    pose.pose.position.y = point.second;
    path.nav_path.poses.push_back(pose);
  }
  return path;
}

TEST(CommandLineTest, ReadsARunWithPairsOrWithRandomPairs) {
  const CommandLine from_file = parse("--map m.yaml --pairs p.txt --inflation-radius 0.8");
  ASSERT_EQ(from_file.request, CommandLine::Request::RUN) << from_file.error;
  EXPECT_EQ(from_file.options.map_file, "m.yaml");
  EXPECT_EQ(from_file.options.pairs_file, "p.txt");
  EXPECT_EQ(from_file.options.random_pairs, 0);
  EXPECT_DOUBLE_EQ(from_file.options.gridMapParams().inflation_radius, 0.8);

  const CommandLine drawn = parse(
      "--map m.yaml --random 100 --seed 4294967295 --write-pairs out.txt "
      "--cost-scaling-factor 3.5 --inflate-unknown");
  ASSERT_EQ(drawn.request, CommandLine::Request::RUN) << drawn.error;
  EXPECT_EQ(drawn.options.random_pairs, 100);
  EXPECT_EQ(drawn.options.seed, 4294967295U);
  EXPECT_EQ(drawn.options.write_pairs_file, "out.txt");
  const auto params = drawn.options.gridMapParams();
  EXPECT_DOUBLE_EQ(params.cost_scaling_factor, 3.5);
  EXPECT_TRUE(params.inflate_unknown);
}

TEST(CommandLineTest, InflationDefaultsAreTheGridMapsAndTheSeedIsTheUsualOne) {
  const CommandLine line = parse("--map m.yaml --random 5");
  ASSERT_EQ(line.request, CommandLine::Request::RUN) << line.error;
  const vantrell_nav2_gridmap::GridMapParams defaults;
  const auto params = line.options.gridMapParams();
  EXPECT_EQ(params.inflation_radius, defaults.inflation_radius);
  EXPECT_EQ(params.cost_scaling_factor, defaults.cost_scaling_factor);
  EXPECT_EQ(params.inflate_unknown, defaults.inflate_unknown);
  EXPECT_EQ(params.footprint.size(), defaults.footprint.size());
  EXPECT_EQ(line.options.seed, 33U);
}

TEST(CommandLineTest, HelpWinsWhereverItStands) {
  EXPECT_EQ(parse("--help").request, CommandLine::Request::HELP);
  EXPECT_EQ(parse("--map m.yaml -h").request, CommandLine::Request::HELP);
  EXPECT_NE(usageText("prog").find("--write-pairs"), std::string::npos);
}

TEST(CommandLineTest, RefusesWhatCannotRunAndSaysWhy) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--pairs p.txt", "--map"},
      {"--map m.yaml", "either"},
      {"--map m.yaml --pairs p.txt --random 3", "either"},
      {"--map m.yaml --pairs p.txt --seed 3", "--seed"},
      {"--map m.yaml --pairs p.txt --write-pairs w.txt", "--write-pairs"},
      {"--map m.yaml --random 0", "--random"},
      {"--map m.yaml --random 2000000", "--random"},
      {"--map m.yaml --random ten", "'ten'"},
      {"--map m.yaml --random 3 --seed -1", "--seed"},
      {"--map m.yaml --random 3 --seed 4294967296", "--seed"},
      {"--map m.yaml --pairs p.txt --inflation-radius -0.1", "--inflation-radius"},
      {"--map m.yaml --pairs p.txt --inflation-radius nan", "--inflation-radius"},
      {"--map m.yaml --pairs p.txt --cost-scaling-factor 0", "--cost-scaling-factor"},
      {"--map m.yaml --pairs p.txt --verbose", "'--verbose'"},
      {"--map m.yaml --pairs", "--pairs needs a value"},
  };
  for (const auto& [line, named] : cases) {
    const CommandLine read = parse(line);
    EXPECT_EQ(read.request, CommandLine::Request::ERROR) << line;
    EXPECT_NE(read.error.find(named), std::string::npos) << line << " -> " << read.error;
  }
}

TEST(PairsFileTest, ReadsPairsBetweenCommentsAndBlankLines) {
  std::istringstream text(
      "# sx sy gx gy\n"
      "\n"
      "1 2 3 4\n"
      "  10\t20 30 40   # trailing note\n"
      "-5 0 7000000000 8\n");
  const auto pairs = parsePairs(text, "pairs.txt");
  ASSERT_EQ(pairs.size(), 3U);
  EXPECT_EQ(pairs[0], (CellPair{1, 2, 3, 4}));
  EXPECT_EQ(pairs[1], (CellPair{10, 20, 30, 40}));
  // Off-map values are read: the run reports such a pair instead of refusing the file.
  EXPECT_EQ(pairs[2], (CellPair{-5, 0, 7000000000, 8}));
}

TEST(PairsFileTest, RefusesALineThatIsNotFourWholeNumbersNamingIt) {
  for (const std::string bad : {"1 2 3", "1 2 3 4 5", "1 2 3.5 4", "1 2 three 4", "1 2 3 4x",
                                "1 2 3 99999999999999999999"}) {
    std::istringstream text("0 0 9 9\n" + bad + "\n");
    try {
      parsePairs(text, "pairs.txt");
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const PairsFileError& e) {
      EXPECT_NE(std::string(e.what()).find("pairs.txt:2:"), std::string::npos) << e.what();
    }
  }
}

TEST(PairsFileTest, RefusesAFileWithoutPairsOrThatCannotBeOpened) {
  std::istringstream only_comments("# nothing here\n\n   \n");
  EXPECT_THROW(parsePairs(only_comments, "empty.txt"), PairsFileError);
  EXPECT_THROW(readPairsFile("/nonexistent/dir/pairs.txt"), PairsFileError);
}

TEST(PairsFileTest, WrittenPairsReadBackTheSame) {
  const auto file =
      std::filesystem::temp_directory_path() / ("gpb_pairs_" + std::to_string(::getpid()) + ".txt");
  const std::vector<CellPair> pairs = {{100, 120, 300, 310}, {0, 1, 2, 3}};
  writePairsFile(file.string(), pairs, "drawn on a map\nsecond line # with a hash");
  EXPECT_EQ(readPairsFile(file.string()), pairs);
  std::filesystem::remove(file);
  EXPECT_THROW(writePairsFile("/nonexistent/dir/out.txt", pairs, ""), std::runtime_error);
}

TEST(RandomPairsTest, EveryEndIsAnAllowedCellAndEveryPairLongEnough) {
  GridLayers layers = freeLayers(400);
  // A wall across the middle, an inflated band beside it and unknown cells in one corner.
  for (unsigned int x = 0; x < 400; ++x) {
    setCell(layers, x, 200, nav2_costmap_2d::LETHAL_OBSTACLE, nav2_costmap_2d::LETHAL_OBSTACLE);
    setCell(layers, x, 201, nav2_costmap_2d::FREE_SPACE, 210);
    setCell(layers, x, 202, nav2_costmap_2d::FREE_SPACE, 209);
  }
  for (unsigned int y = 100; y < 150; ++y) {
    for (unsigned int x = 100; x < 150; ++x) {
      setCell(layers, x, y, nav2_costmap_2d::NO_INFORMATION, 0);
    }
  }
  const auto pairs = drawRandomPairs(layers, 300, 33);
  ASSERT_EQ(pairs.size(), 300U);
  for (const auto& pair : pairs) {
    for (const auto& [x, y] : {std::pair{pair.sx, pair.sy}, std::pair{pair.gx, pair.gy}}) {
      ASSERT_GE(x, 100);
      ASSERT_GE(y, 100);
      ASSERT_LT(x, 300);
      ASSERT_LT(y, 300);
      const size_t i = layers.index(static_cast<unsigned>(x), static_cast<unsigned>(y));
      ASSERT_EQ(layers.raw_cost[i], nav2_costmap_2d::FREE_SPACE) << x << "," << y;
      ASSERT_LT(layers.cost[i], 210) << x << "," << y;
    }
    EXPECT_GE(std::hypot(pair.gx - pair.sx, pair.gy - pair.sy) * 0.05, 3.0 - 1e-9);
  }
}

TEST(RandomPairsTest, AClearanceKeepsEveryEndThatFarFromObstacles) {
  GridLayers layers = freeLayers(400);
  // Near obstacles (0.2 m) in the south half, in the open (1 m) in the north half.
  layers.distance.assign(layers.cost.size(), 1.0F);
  std::fill(layers.distance.begin(), layers.distance.begin() + 200 * 400, 0.2F);
  global_planning_benchmark::PairRules rules;
  rules.min_clearance_m = 0.44;
  for (const auto& pair : drawRandomPairs(layers, 50, 33, rules)) {
    EXPECT_GE(pair.sy, 200);
    EXPECT_GE(pair.gy, 200);
  }
}

TEST(RandomPairsTest, ASeedAlwaysGivesTheSamePairs) {
  const GridLayers layers = freeLayers(300);
  const auto first = drawRandomPairs(layers, 50, 33);
  EXPECT_EQ(drawRandomPairs(layers, 50, 33), first);
  EXPECT_NE(drawRandomPairs(layers, 50, 34), first);
  // A longer draw starts with the shorter one.
  const auto longer = drawRandomPairs(layers, 60, 33);
  EXPECT_EQ(std::vector<CellPair>(longer.begin(), longer.begin() + 50), first);
}

TEST(RandomPairsTest, GivesUpInsteadOfHangingWhenNoPairFits) {
  // Too small for the border.
  EXPECT_THROW(drawRandomPairs(freeLayers(200), 1, 33), std::runtime_error);
  // Allowed cells only within 2 x 2 m: no two are 3 m apart.
  EXPECT_THROW(drawRandomPairs(freeLayers(240), 1, 33), std::runtime_error);
  // Nothing cheap enough.
  GridLayers costly = freeLayers(300);
  costly.cost.assign(costly.cost.size(), 210);
  EXPECT_THROW(drawRandomPairs(costly, 1, 33), std::runtime_error);
}

TEST(PathMetricsTest, MeasuresLengthAndCostOverEveryPathOfTheSet) {
  GridLayers layers = freeLayers(20);
  layers.origin_x = -0.5;
  setCell(layers, 12, 2, 0, 100);  // under (0.125, 0.125)
  setCell(layers, 14, 2, 0, 40);   // under (0.225, 0.125)
  const auto first = pathThrough({{0.025, 0.125}, {0.125, 0.125}, {0.125, 0.425}});
  // The second path starts elsewhere: the jump between the paths is not travelled.
  const auto second = pathThrough({{0.225, 0.125}, {0.255, 0.165}});
  const PathMetrics metrics = measurePaths({first, second}, layers);
  EXPECT_EQ(metrics.poses, 5U);
  EXPECT_NEAR(metrics.length_m, 0.1 + 0.3 + 0.05, 1e-9);
  EXPECT_NEAR(metrics.mean_cost, (100.0 + 40.0) / 5.0, 1e-9);
  EXPECT_DOUBLE_EQ(metrics.max_cost, 100.0);
}

TEST(PathMetricsTest, APoseOffTheMapCountsAsUnknownAndNoPoseGivesNoCost) {
  const GridLayers layers = freeLayers(10);
  const PathMetrics off = measurePaths({pathThrough({{0.2, 0.2}, {-0.01, 0.2}})}, layers);
  EXPECT_DOUBLE_EQ(off.max_cost, 255.0);
  EXPECT_DOUBLE_EQ(off.mean_cost, 127.5);
  const PathMetrics none = measurePaths({}, layers);
  EXPECT_EQ(none.poses, 0U);
  EXPECT_EQ(none.length_m, 0.0);
  EXPECT_TRUE(std::isnan(none.mean_cost));
  EXPECT_TRUE(std::isnan(none.max_cost));
}

TEST(SpreadTest, MedianAndNearestRankPercentile) {
  const Spread odd = spreadOf({5.0, 1.0, 3.0});
  EXPECT_EQ(odd.count, 3U);
  EXPECT_DOUBLE_EQ(odd.mean, 3.0);
  EXPECT_DOUBLE_EQ(odd.median, 3.0);
  EXPECT_DOUBLE_EQ(odd.p95, 5.0);

  EXPECT_DOUBLE_EQ(spreadOf({4.0, 1.0, 2.0, 3.0}).median, 2.5);

  std::vector<double> twenty;
  for (int i = 20; i >= 1; --i) {
    twenty.push_back(i);
  }
  EXPECT_DOUBLE_EQ(spreadOf(twenty).p95, 19.0);
  twenty.push_back(21.0);
  EXPECT_DOUBLE_EQ(spreadOf(twenty).p95, 20.0);
  EXPECT_DOUBLE_EQ(spreadOf(twenty).p99, 21.0);
  EXPECT_DOUBLE_EQ(spreadOf(twenty).max, 21.0);
  std::vector<double> hundred;
  for (int i = 1; i <= 100; ++i) {
    hundred.push_back(i);
  }
  EXPECT_DOUBLE_EQ(spreadOf(hundred).p99, 99.0);

  const Spread one = spreadOf({7.0});
  EXPECT_DOUBLE_EQ(one.median, 7.0);
  EXPECT_DOUBLE_EQ(one.p95, 7.0);

  const Spread none = spreadOf({});
  EXPECT_EQ(none.count, 0U);
  EXPECT_TRUE(std::isnan(none.mean));
  EXPECT_TRUE(std::isnan(none.median));
  EXPECT_TRUE(std::isnan(none.p95));
  EXPECT_TRUE(std::isnan(none.p99));
  EXPECT_TRUE(std::isnan(none.max));
}

// The yardstick's objective and optimum on a room crossed by a costly row (cost 100: weight
// 2.6 a cell) that a detour of two diagonals avoids.
TEST(ReferenceSearchTest, FindsTheOptimumAndPricesPathsByTheSameRules) {
  GridLayers layers = freeLayers(10);
  layers.danger.assign(layers.cost.size(), 0);
  for (unsigned int x = 1; x <= 8; ++x) {
    setCell(layers, x, 5, 0, 100);
  }
  setCell(layers, 4, 8, 254, 254);
  layers.danger[layers.index(4, 8)] = 3;
  const StepCosts costs(layers, true, true);
  ReferenceSearch reference(costs);

  const ReferenceSearch::Result detour = reference.search(0, 5, 9, 5);
  ASSERT_TRUE(detour.found);
  EXPECT_NEAR(detour.cost, 7.0 + 2.0 * std::sqrt(2.0), 1e-9);
  EXPECT_EQ(detour.path_cells, 10U);
  EXPECT_GE(detour.expanded, detour.path_cells);
  // Priced without costs the straight row is the way: the search is the objective's.
  const StepCosts lengths(layers, false, false);
  EXPECT_NEAR(ReferenceSearch(lengths).search(0, 5, 9, 5).cost, 9.0, 1e-9);
  // A second search on the same arrays forgets the first.
  EXPECT_NEAR(reference.search(0, 5, 9, 5).cost, detour.cost, 1e-12);

  const double cell = layers.resolution;
  const auto at = [cell](double x, double y) { return std::make_pair(x * cell, y * cell); };
  EXPECT_NEAR(*costs.pathCost(pathThrough({at(0.2, 5.9), at(1.5, 5.5), at(2.5, 4.5)}).nav_path),
              2.6 + std::sqrt(2.0), 1e-9);
  // Past an obstacle's corner, across a cell, onto the obstacle: not steps of the objective.
  EXPECT_FALSE(costs.pathCost(pathThrough({at(3.5, 8.5), at(4.5, 9.5)}).nav_path));
  EXPECT_FALSE(costs.pathCost(pathThrough({at(0.5, 0.5), at(2.5, 0.5)}).nav_path));
  EXPECT_FALSE(costs.pathCost(pathThrough({at(4.5, 7.5), at(4.5, 8.5)}).nav_path));

  EXPECT_FALSE(reference.search(4, 8, 0, 0).found);   // blocked start
  EXPECT_FALSE(reference.search(0, 0, 10, 0).found);  // goal off the map
}

TEST(JsonLineTest, WritesValidFieldsWhateverTheValues) {
  JsonLine line;
  line.integer("pair", -3)
      .number("ms", 1.23456, 3)
      .number("cost", std::nan(""), 2)
      .number("far", HUGE_VAL, 2)
      .flag("found", false)
      .text("error", "quote \" slash \\ line\nbell\x07")
      .cell("start", 4, -5);
  EXPECT_EQ(line.str(),
            "{\"pair\":-3,\"ms\":1.235,\"cost\":null,\"far\":null,\"found\":false,"
            "\"error\":\"quote \\\" slash \\\\ line\\nbell\\u0007\",\"start\":[4,-5]}");
  EXPECT_EQ(JsonLine().str(), "{}");
}

}  // namespace
}  // namespace global_planning_benchmark
