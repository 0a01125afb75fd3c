// The clean scenario end to end: the global and the local node hosted on the bundled floor, the
// simulated robot driven to a zone and cleaning it with each coverage planner.
#include "clean_scenario.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <sstream>
#include <string>

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

}  // namespace
}  // namespace demo
