// The benchmark program as its users run it: on a small drawn map saved in the map-server format,
// with a pairs file or drawn pairs, reading its JSON lines, its errors and its exit status.
#include "support/benchmark_program.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/drawn_maps.hpp"
#include "support/program_run.hpp"

namespace {

namespace fs = std::filesystem;

using test_support::ProgramRun;
using test_support::readFile;
const auto field = &test_support::jsonField;
const auto number = &test_support::jsonNumber;

class BenchmarkProgramTest : public ::testing::Test {
 protected:
  fs::path saveMap(const test_support::DrawnMap& map, const std::string& name) const {
    return workspace_.saveMap(map, name);
  }
  fs::path saveText(const std::string& name, const std::string& text) const {
    return workspace_.saveText(name, text);
  }
  ProgramRun run(const std::string& args) const { return workspace_.run(args); }

  const test_support::ProgramWorkspace workspace_{GLOBAL_PLANNING_BENCHMARK_PROGRAM,
                                                  "global_planning_benchmark_test"};
  const fs::path dir_{workspace_.dir()};
};

TEST_F(BenchmarkProgramTest, PlansEveryPairBothWaysAndReportsTheOneOffTheMap) {
  // Two rooms, 6 m x 4 m, joined by a 0.8 m door at mid height.
  const fs::path map = saveMap(test_support::drawRoomWithDoor(120, 80, 16), "rooms");
  const fs::path pairs = saveText("pairs.txt",
                                  "# sx sy gx gy\n"
                                  "30 40 90 40   # room to room straight through the door\n"
                                  "20 10 100 10  # room to room, round by the door\n"
                                  "\n"
                                  "10 40 500 40  # goal off the map\n"
                                  "15 60 45 20   # within the left room\n");
  const ProgramRun result = run("--map '" + map.string() + "' --pairs '" + pairs.string() + "'");

  EXPECT_EQ(result.status, 2) << result.errors;
  ASSERT_EQ(result.lines.size(), 5U) << result.errors;
  for (const auto& line : result.lines) {
    // Only JSON reaches standard output, though the node logs to the console.
    EXPECT_EQ(line.front(), '{') << line;
    EXPECT_EQ(line.back(), '}') << line;
  }
  EXPECT_NE(result.errors.find("[INFO]"), std::string::npos);

  for (const size_t i : {0U, 1U, 3U}) {
    const std::string& line = result.lines[i];
    SCOPED_TRACE(line);
    EXPECT_EQ(field(line, "pair"), std::to_string(i));
    EXPECT_EQ(field(line, "valid"), "true");
    EXPECT_EQ(field(line, "engine_found"), "true");
    EXPECT_EQ(field(line, "action_found"), "true");
    EXPECT_EQ(field(line, "result"), "\"succeeded\"");
    EXPECT_EQ(field(line, "error_code"), "0");
    const double straight = number(line, "straight_m");
    EXPECT_GT(straight, 1.0);
    EXPECT_GE(number(line, "engine_length_m"), straight - 1e-6);
    EXPECT_GE(number(line, "action_length_m"), straight - 1e-6);
    EXPECT_GT(number(line, "engine_poses"), 10.0);
    EXPECT_GT(number(line, "action_poses"), 10.0);
    EXPECT_GT(number(line, "expanded_cells"), 0.0);
    EXPECT_LE(number(line, "engine_mean_cost"), number(line, "engine_max_cost"));
    EXPECT_LT(number(line, "engine_max_cost"), 253.0);
    EXPECT_LT(number(line, "action_max_cost"), 253.0);
    EXPECT_GE(number(line, "engine_ms"), 0.0);
    EXPECT_GE(number(line, "action_ms"), 0.0);
    // The engine's path beside the yardstick's optimum of the same objective.
    EXPECT_EQ(field(line, "reference_found"), "true");
    EXPECT_GE(number(line, "cost_ratio"), 0.9999);
    EXPECT_LE(number(line, "cost_ratio"), 1.01);
  }
  EXPECT_EQ(field(result.lines[0], "start"), "[30,40]");
  EXPECT_EQ(field(result.lines[0], "goal"), "[90,40]");
  // From corner to corner the only way is through the door, well over the 4 m straight line.
  EXPECT_NEAR(number(result.lines[1], "straight_m"), 4.0, 1e-9);
  EXPECT_GT(number(result.lines[1], "engine_length_m"), 4.5);
  EXPECT_GT(number(result.lines[1], "action_length_m"), 4.5);

  const std::string& invalid = result.lines[2];
  EXPECT_EQ(field(invalid, "pair"), "2");
  EXPECT_EQ(field(invalid, "valid"), "false");
  EXPECT_NE(field(invalid, "error").find("goal (500, 40) lies off the 120 x 80 map"),
            std::string::npos)
      << invalid;
  EXPECT_EQ(field(invalid, "engine_found"), "");

  const std::string& summary = result.lines[4];
  EXPECT_EQ(field(summary, "summary"), "true");
  EXPECT_EQ(field(summary, "map"), "\"rooms\"");
  EXPECT_EQ(field(summary, "pairs"), "4");
  EXPECT_EQ(field(summary, "invalid"), "1");
  EXPECT_EQ(field(summary, "engine_found"), "3");
  EXPECT_EQ(field(summary, "action_found"), "3");
  EXPECT_LE(number(summary, "action_ms_median"), number(summary, "action_ms_p95"));
  EXPECT_GT(number(summary, "engine_length_m_mean"), 3.0);
  EXPECT_GT(number(summary, "engine_reference_ratio"), 0.0);
  EXPECT_LE(number(summary, "cost_ratio_worst"), 1.01);
}

TEST_F(BenchmarkProgramTest, DrawnPairsAreSavedAndRepeatTheirDraw) {
  // Large enough for the 100-cell border with 5 m x 5 m of room inside it.
  const fs::path map = saveMap(test_support::drawEmptyRoom(300, 300), "hall");
  const fs::path saved = dir_ / "drawn.txt";
  const std::string args = "--map '" + map.string() + "' --random 2 --seed 7";
  const ProgramRun first = run(args + " --write-pairs '" + saved.string() + "'");
  ASSERT_EQ(first.status, 0) << first.errors;
  ASSERT_EQ(first.lines.size(), 3U);

  std::vector<std::string> ends;
  std::istringstream rows(readFile(saved));
  for (std::string row; std::getline(rows, row);) {
    if (!row.empty() && row[0] != '#') {
      std::istringstream values(row);
      int sx = 0, sy = 0, gx = 0, gy = 0;
      values >> sx >> sy >> gx >> gy;
      ends.push_back("[" + std::to_string(sx) + "," + std::to_string(sy) + "] [" +
                     std::to_string(gx) + "," + std::to_string(gy) + "]");
    }
  }
  ASSERT_EQ(ends.size(), 2U);
  for (size_t i = 0; i < 2; ++i) {
    const std::string& line = first.lines[i];
    EXPECT_EQ(field(line, "start") + " " + field(line, "goal"), ends[i]);
    EXPECT_GE(number(line, "straight_m"), 3.0);
    EXPECT_EQ(field(line, "action_found"), "true") << line;
  }

  const ProgramRun again = run(args);
  ASSERT_EQ(again.status, 0) << again.errors;
  ASSERT_EQ(again.lines.size(), 3U);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(field(again.lines[i], "start"), field(first.lines[i], "start"));
    EXPECT_EQ(field(again.lines[i], "goal"), field(first.lines[i], "goal"));
  }
}

TEST_F(BenchmarkProgramTest, UnusableInputStopsWithAClearErrorAndNoJson) {
  const fs::path map = saveMap(test_support::drawEmptyRoom(40, 30), "small");
  const fs::path good_pairs = saveText("good.txt", "5 5 20 20\n");
  const fs::path bad_pairs = saveText("bad.txt", "5 5 20 20\n5 5 20\n");

  const ProgramRun missing_map =
      run("--map '" + (dir_ / "none.yaml").string() + "' --pairs '" + good_pairs.string() + "'");
  EXPECT_EQ(missing_map.status, 1);
  EXPECT_TRUE(missing_map.lines.empty());
  EXPECT_NE(missing_map.errors.find("none.yaml does not exist"), std::string::npos)
      << missing_map.errors;

  const ProgramRun bad_file =
      run("--map '" + map.string() + "' --pairs '" + bad_pairs.string() + "'");
  EXPECT_EQ(bad_file.status, 1);
  EXPECT_TRUE(bad_file.lines.empty());
  EXPECT_NE(bad_file.errors.find("bad.txt:2:"), std::string::npos) << bad_file.errors;

  const ProgramRun no_room = run("--map '" + map.string() + "' --random 3");
  EXPECT_EQ(no_room.status, 1);
  EXPECT_TRUE(no_room.lines.empty());
  EXPECT_NE(no_room.errors.find("100 cells from the border"), std::string::npos) << no_room.errors;

  const ProgramRun unknown = run("--map '" + map.string() + "' --pairs x --fast");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.errors.find("'--fast'"), std::string::npos) << unknown.errors;

  const ProgramRun help = run("--help");
  EXPECT_EQ(help.status, 0);
  ASSERT_FALSE(help.lines.empty());
  EXPECT_NE(help.lines[0].find("--map"), std::string::npos);
}

}  // namespace
