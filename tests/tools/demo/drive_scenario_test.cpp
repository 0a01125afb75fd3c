// The drive scenario: its command line, and drives across the bundled floor through both planning
// nodes, one of them round an obstacle that appears in the corridor.
#include "drive_scenario.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "scenarios.hpp"

namespace demo {
namespace {

std::string usageErrorOf(const std::vector<std::string>& args) {
  try {
    parseOptions(args);
  } catch (const UsageError& error) {
    return error.what();
  }
  return "";
}

TEST(DriveOptions, ObstaclesAndPlannersAreCheckedForTheDrive) {
  const struct {
    std::vector<std::string> args;
    std::string refusal;
  } cases[] = {
      {{"--scenario", "drive", "--planner", "wap_points"}, "local planner \"dijkstra\" or"},
      {{"--scenario", "drive", "--zone", "1,1,2,1,2,2"}, "--zone belongs to the water"},
      {{"--scenario", "drive", "--map", "f.yaml", "--goal", "1,1"}, "with --map, give --start"},
      {{"--obstacle", "4,5"}, "--obstacle belongs to the drive scenario"},
      {{"--scenario", "drive", "--obstacle", "4"}, "--obstacle 1 must be X,Y or X,Y,T"},
      {{"--scenario", "drive", "--obstacle", "4,5,6,7"}, "--obstacle 1 must be X,Y or X,Y,T"},
      {{"--scenario", "drive", "--obstacle", "4,5", "--obstacle", "4,x"}, "--obstacle 2 y"},
      {{"--scenario", "drive", "--obstacle", "4,5,-1"}, "time must not be negative"},
      {{"--scenario", "drive", "--obstacle", "4,5,3", "--planner", "local_wap_points"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const std::string refusal = usageErrorOf(c.args);
    if (c.refusal.empty()) {
      EXPECT_EQ(refusal, "");
    } else {
      EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
    }
  }
  const DemoOptions options = parseOptions({"--scenario", "drive", "--obstacle", "4,5,2.5"});
  ASSERT_EQ(options.obstacles.size(), 1U);
  EXPECT_DOUBLE_EQ(options.obstacles[0].x, 4.0);
  EXPECT_DOUBLE_EQ(options.obstacles[0].y, 5.0);
  EXPECT_DOUBLE_EQ(options.obstacles[0].at, 2.5);

  // Positions are checked against the map before anything is hosted.
  const DemoMap floor = loadDemoMap("");
  Pose2 start;
  EXPECT_EQ(drivenLegs(parseOptions({"--scenario", "drive"}), floor, start).size(), 3U);
  EXPECT_THROW(
      drivenLegs(parseOptions({"--scenario", "drive", "--obstacle", "95,3"}), floor, start),
      InputError);
  EXPECT_THROW(
      drivenLegs(parseOptions({"--scenario", "drive", "--goal", "6.05,14.0"}), floor, start),
      InputError);
}

class DriveScenario : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cv::setNumThreads(0); }

  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    dir_ = std::filesystem::temp_directory_path() /
           ("demo_drive_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // From the reception up the corridor into office B.
  DemoOptions shortDrive(const std::vector<std::string>& more) const {
    std::vector<std::string> args{
        "--scenario", "drive",  "--start",  "3,6",
        "--goal",     "9,13.5", "--output", (dir_ / "drive.png").string()};
    args.insert(args.end(), more.begin(), more.end());
    return parseOptions(args);
  }

  static double smallestClearance(const std::string& report) {
    const std::string label = "smallest clearance ";
    const size_t at = report.find(label);
    return at == std::string::npos ? -1.0 : std::stod(report.substr(at + label.size()));
  }

  std::filesystem::path dir_;
};

TEST_F(DriveScenario, ReachesItsGoalWithAndWithoutAnObstacleInTheWay) {
  // The obstacle stands on the global path in the corridor from the start: the robot goes round.
  for (const std::vector<std::string>& obstacle :
       std::vector<std::vector<std::string>>{{}, {"--obstacle", "7.0,9.9"}}) {
    SCOPED_TRACE(::testing::PrintToString(obstacle));
    std::ostringstream out;
    EXPECT_EQ(runDriveScenario(shortDrive(obstacle), out), kAllPlansSucceeded) << out.str();
    const std::string report = out.str();
    EXPECT_NE(report.find("reached after"), std::string::npos) << report;
    EXPECT_NE(report.find("1 of 1 legs reached their goal"), std::string::npos) << report;
    EXPECT_NE(report.find("local cycles (0 failed)"), std::string::npos) << report;
    // The robot's outline kept off the walls and, once it stood there, off the obstacle.
    EXPECT_GT(smallestClearance(report), 0.05) << report;
    EXPECT_FALSE(cv::imread((dir_ / "drive.png").string()).empty());
  }
}

}  // namespace
}  // namespace demo
