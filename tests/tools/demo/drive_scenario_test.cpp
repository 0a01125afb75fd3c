// The drive scenario: drives across the bundled floor through both planning
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
