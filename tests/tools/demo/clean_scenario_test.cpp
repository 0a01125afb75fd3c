// The clean scenario end to end: the global and the local node hosted on the bundled floor, the
// simulated robot driven to a zone and cleaning it with each coverage planner.
#include "clean_scenario.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <sstream>
#include <string>
#include <utility>

#include "planning_sim/zone_cleaner.hpp"
#include "rclcpp/rclcpp.hpp"
#include "scenarios.hpp"

namespace demo {
namespace {

class CleanScenarioTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
  }
  static void TearDownTestSuite() { rclcpp::shutdown(); }
};

// The covered share the scenario printed for its first zone (percent).
double coveredPercent(const std::string& text) {
  const size_t at = text.find("covered ");
  return at == std::string::npos ? -1.0 : std::stod(text.substr(at + 8));
}

// The area the planner said it cleaned (m2), and what the scenario printed beside it.
std::pair<double, std::string> plannerCleaned(const std::string& text) {
  const std::string label = "planner: cleaned ";
  const size_t at = text.find(label);
  if (at == std::string::npos) {
    return {-1.0, ""};
  }
  const size_t line_end = text.find('\n', at);
  const size_t aside = text.find(" (", at);
  return {std::stod(text.substr(at + label.size())),
          aside < line_end ? text.substr(aside + 2, line_end - aside - 3) : ""};
}

TEST_F(CleanScenarioTest, RefusesWhatItCannotClean) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--planner", "dijkstra_uptake_water"}, "--planner static_coverage_planning or"},
      {{"--rooms", "/nonexistent/floor.rooms.yaml"}, "/nonexistent/floor.rooms.yaml"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"--scenario", "clean"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.message);
    std::ostringstream out;
    try {
      runCleanScenario(parseOptions(args), out);
      ADD_FAILURE() << "ran";
    } catch (const std::exception& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

// The south half of office B (20.2 m2 the robot's centre can reach) from the reception, with
// the shipped configuration through both nodes. The demo's figures: static 99.0 %, dynamic
// 92.8 %, both finished; the floor leaves room for the planners' timing on a loaded machine, yet
// fails a robot that stops early (3 % and 15 % of the whole office before the motion controller
// and the configuration).
TEST_F(CleanScenarioTest, EachCoveragePlannerCleansOfficeBAndDrawsIt) {
  const auto picture =
      std::filesystem::temp_directory_path() / ("clean_" + std::to_string(::getpid()) + ".png");
  struct Case {
    const char* planner;
    double floor_percent;
  } cases[] = {{"static_coverage_planning", 80.0}, {"dynamic_coverage_planning", 75.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.planner);
    std::ostringstream out;
    const int status = runCleanScenario(
        parseOptions({"--scenario", "clean", "--planner", c.planner, "--zone",
                      "6.1,10.6,12.0,10.6,12.0,14.6,6.1,14.6", "--output", picture.string()}),
        out);
    EXPECT_EQ(status, kAllPlansSucceeded) << out.str();
    EXPECT_GT(coveredPercent(out.str()), c.floor_percent) << out.str();
    EXPECT_NE(out.str().find("cycle ms: mean"), std::string::npos) << out.str();
    const cv::Mat drawn = cv::imread(picture.string());
    EXPECT_FALSE(drawn.empty());
  }
  std::filesystem::remove(picture);
}

// Small squares of kitchen floor, reached from the reception 7 m away. In the 0.8 m one the
// static planner sweeps where the robot stands and asks the task centre as it ends: its area is
// the task's, not the way there too. In the 0.5 m one the dynamic planner finds nothing to sweep
// and never asks (it does so only in a cycle that hands out a path): its 0 m2 measures nothing,
// and the scenario says so.
TEST_F(CleanScenarioTest, ThePlannersCleanedAreaIsThatOfItsTaskOrSaidToBeNoMeasure) {
  const auto picture =
      std::filesystem::temp_directory_path() / ("clean_" + std::to_string(::getpid()) + ".png");
  struct Case {
    const char* planner;
    const char* zone;
    bool measured;
  } cases[] = {
      {"static_coverage_planning", "9,2,9.8,2,9.8,2.8,9,2.8", true},
      {"dynamic_coverage_planning", "9,2,9.5,2,9.5,2.5,9,2.5", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.planner);
    std::ostringstream out;
    runCleanScenario(parseOptions({"--scenario", "clean", "--planner", c.planner, "--zone", c.zone,
                                   "--output", picture.string()}),
                     out);
    const auto [area, aside] = plannerCleaned(out.str());
    EXPECT_GE(area, c.measured ? 0.1 : 0.0) << out.str();
    EXPECT_LT(area, 1.0) << "a 0.6 m tool about the zone: " << out.str();
    EXPECT_EQ(aside, c.measured ? "" : planning_sim::kCleanedAreaNotMeasured) << out.str();
  }
  std::filesystem::remove(picture);
}

}  // namespace
}  // namespace demo
