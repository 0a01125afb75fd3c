// The local planning benchmark program as its users run it: pairs driven on a small drawn map
// through both planning nodes, one JSON line per pair and planner, a summary per planner.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/benchmark_program.hpp"
#include "support/drawn_maps.hpp"

namespace {

using test_support::jsonField;
using test_support::jsonNumber;

TEST(DriveBenchmarkProgram, DrivesEveryPairWithEachPlannerAndSumsUp) {
  const test_support::ProgramWorkspace workspace(LOCAL_PLANNING_BENCHMARK_PROGRAM,
                                                 "local_planning_benchmark_test");
  // Two rooms, 8 m x 5 m, joined by a 1.5 m door at mid height.
  const auto map = workspace.saveMap(test_support::drawRoomWithDoor(160, 100, 30), "rooms");
  const auto pairs = workspace.saveText("pairs.txt",
                                        "40 50 120 50  # room to room through the door\n"
                                        "10 40 500 40  # goal off the map\n");
  // A --param of the global node, at its default value, is taken and changes nothing.
  const auto result =
      workspace.run("--map '" + map.string() + "' --pairs '" + pairs.string() +
                    "' --planner dijkstra,local_wap_points --param fuzzy_range=1.0");

  EXPECT_EQ(result.status, 2) << result.errors;
  ASSERT_EQ(result.lines.size(), 5U) << result.errors;
  for (const size_t i : {0U, 1U}) {
    const std::string& line = result.lines[i];
    SCOPED_TRACE(line);
    EXPECT_EQ(jsonField(line, "planner"), i == 0 ? "\"dijkstra\"" : "\"local_wap_points\"");
    EXPECT_EQ(jsonField(line, "reached"), "true");
    EXPECT_EQ(jsonField(line, "end"), "\"arrived\"");
    EXPECT_EQ(jsonField(line, "collisions"), "0");
    EXPECT_GT(jsonNumber(line, "clearance_m"), 0.0);
    // Along the global path, neither much shorter nor much longer.
    EXPECT_GT(jsonNumber(line, "track_ratio"), 0.8);
    EXPECT_LT(jsonNumber(line, "track_ratio"), 1.3);
    EXPECT_GT(jsonNumber(line, "cycles"), 10.0);
    EXPECT_LE(jsonNumber(line, "cycle_ms_median"), jsonNumber(line, "cycle_ms_p99"));
    EXPECT_LE(jsonNumber(line, "cycle_ms_p99"), jsonNumber(line, "cycle_ms_max"));
  }
  EXPECT_EQ(jsonField(result.lines[2], "valid"), "false");
  for (const size_t i : {3U, 4U}) {
    const std::string& summary = result.lines[i];
    SCOPED_TRACE(summary);
    EXPECT_EQ(jsonField(summary, "summary"), "true");
    EXPECT_EQ(jsonField(summary, "map"), "\"rooms\"");
    EXPECT_EQ(jsonField(summary, "pairs"), "2");
    EXPECT_EQ(jsonField(summary, "invalid"), "1");
    EXPECT_EQ(jsonField(summary, "success_rate"), "1.000");
    EXPECT_EQ(jsonField(summary, "collisions"), "0");
    EXPECT_GT(jsonNumber(summary, "cycle_ms_per_m"), 0.0);
  }

  const auto bad_planner = workspace.run("--map '" + map.string() + "' --pairs '" + pairs.string() +
                                         "' --planner wap_points");
  EXPECT_EQ(bad_planner.status, 1);
  EXPECT_TRUE(bad_planner.lines.empty());
  EXPECT_NE(bad_planner.errors.find("'wap_points'"), std::string::npos) << bad_planner.errors;

  // A --param is checked against what the hosted nodes read before anything is driven.
  for (const std::string param : {"no_such_parameter=1", "fuzzy_range=wide"}) {
    const auto refused = workspace.run("--map '" + map.string() + "' --pairs '" + pairs.string() +
                                       "' --param " + param);
    EXPECT_EQ(refused.status, 1) << param;
    EXPECT_TRUE(refused.lines.empty()) << param;
    EXPECT_NE(refused.errors.find(param.substr(0, param.find('='))), std::string::npos)
        << refused.errors;
  }
}

// Pair ends lie where the robot's bare outline can turn: 0.44 m from the walls of a 0.95 m corridor
// (rows 96 to 114), rows 104 to 106, where the outline padded by 0.1 m could turn nowhere. A pair
// joined only through a 0.55 m gap, which the bare outline passes and the padded one does not, has
// no global path: counted apart from the pairs driven.
TEST(DriveBenchmarkProgram, DrawsEndsWhereTheBareOutlineCanTurnAndCountsPairsWithNoGlobalPath) {
  const test_support::ProgramWorkspace workspace(LOCAL_PLANNING_BENCHMARK_PROGRAM,
                                                 "local_planning_benchmark_draw_test");
  auto corridor = test_support::drawEmptyRoom(400, 220);
  corridor.image.rowRange(0, 96).setTo(test_support::kWall);
  corridor.image.rowRange(115, 220).setTo(test_support::kWall);
  // Beyond the drawn ends, the corridor narrows to rows 100 to 110.
  corridor.image(cv::Range(96, 115), cv::Range(340, 342)).setTo(test_support::kWall);
  corridor.image(cv::Range(100, 111), cv::Range(340, 342)).setTo(test_support::kFree);
  const auto map = workspace.saveMap(corridor, "corridor");
  const auto params = workspace.saveText(
      "robot.yaml", "grid_maps:\n  ros__parameters:\n    footprint_padding: 0.1\n");
  const std::string common =
      "--map '" + map.string() + "' --params-file '" + params.string() + "' ";
  const auto pairs = workspace.dir() / "pairs.txt";
  const auto drawn =
      workspace.run(common + "--random 2 --seed 5 --write-pairs '" + pairs.string() + "'");

  ASSERT_EQ(drawn.status, 0) << drawn.errors;
  ASSERT_FALSE(drawn.lines.empty());
  EXPECT_EQ(jsonField(drawn.lines.back(), "no_global_path"), "0") << drawn.lines.back();
  std::ifstream file(pairs);
  std::string line;
  int ends = 0;
  while (std::getline(file, line)) {
    int sx = 0, sy = 0, gx = 0, gy = 0;
    if (line.empty() || line[0] == '#' || !(std::istringstream(line) >> sx >> sy >> gx >> gy)) {
      continue;
    }
    for (const int row : {sy, gy}) {
      EXPECT_GE(row, 104) << line;
      EXPECT_LE(row, 106) << line;
      ++ends;
    }
  }
  EXPECT_EQ(ends, 4);

  const auto through_gap = workspace.saveText("gap.txt", "150 105 370 105\n");
  const auto refused = workspace.run(common + "--pairs '" + through_gap.string() + "'");
  EXPECT_EQ(refused.status, 0) << refused.errors;
  ASSERT_EQ(refused.lines.size(), 2U) << refused.errors;
  EXPECT_EQ(jsonField(refused.lines[0], "end"), "\"no_global_path\"") << refused.lines[0];
  const std::string& summary = refused.lines[1];
  SCOPED_TRACE(summary);
  EXPECT_EQ(jsonField(summary, "global_found"), "0");
  EXPECT_EQ(jsonField(summary, "reached"), "0");
  EXPECT_EQ(jsonField(summary, "no_global_path"), "1");
}

}  // namespace
