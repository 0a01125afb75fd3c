// The global scenario end to end: the node hosted on a map, goals sent, results reported and
// the picture written.
#include "global_scenario.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <string>

#include "rclcpp/rclcpp.hpp"
#include "scenarios.hpp"

namespace demo {
namespace {

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

class GlobalScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    dir_ = std::filesystem::temp_directory_path() /
           ("demo_scenario_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Two 3 m rooms side by side with no door between them, at 0.05 m.
  std::string writeSealedRooms() {
    cv::Mat image(60, 120, CV_8UC1, cv::Scalar(254));
    cv::rectangle(image, cv::Point(0, 0), cv::Point(119, 59), cv::Scalar(0), 2);
    cv::rectangle(image, cv::Point(59, 0), cv::Point(60, 59), cv::Scalar(0), cv::FILLED);
    cv::imwrite((dir_ / "sealed.png").string(), image);
    std::ofstream(dir_ / "sealed.yaml")
        << "image: sealed.png\nresolution: 0.05\norigin: [0.0, 0.0, 0.0]\nnegate: 0\n"
        << "occupied_thresh: 0.65\nfree_thresh: 0.196\n";
    return (dir_ / "sealed.yaml").string();
  }

  std::filesystem::path dir_;
};

TEST_F(GlobalScenario, DefaultTourPlansEveryLegAndDrawsThem) {
  DemoOptions options;
  options.output = (dir_ / "pictures" / "tour.png").string();
  std::ostringstream out;
  EXPECT_EQ(runGlobalScenario(options, out), kAllPlansSucceeded);

  const std::string text = out.str();
  EXPECT_EQ(occurrences(text, "\nleg "), 6U) << text;
  EXPECT_EQ(occurrences(text, " succeeded, code 0, 1 path, "), 6U) << text;
  EXPECT_NE(text.find("leg 1: reception (3.00, 6.00) -> office_a (3.00, 13.50) with dijkstra"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("with astar_with_local_and_global_map"), std::string::npos);
  EXPECT_NE(text.find("6 of 6 plans succeeded"), std::string::npos);
  EXPECT_NE(text.find("picture written to " + std::filesystem::absolute(options.output).string()),
            std::string::npos)
      << text;

  const cv::Mat picture = cv::imread(options.output, cv::IMREAD_COLOR);
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(picture.cols, 1200);
  EXPECT_EQ(picture.rows, 800);
}

TEST_F(GlobalScenario, LegsStartWhereTheLastPlanEnded) {
  DemoOptions options;
  options.output = (dir_ / "legs.png").string();
  options.start = Pose2{2.0, 9.5, 0.0};
  options.goals = {{28.0, 9.5, 0.0}, {9.0, 13.5, 0.0}};
  std::ostringstream out;
  EXPECT_EQ(runGlobalScenario(options, out), kAllPlansSucceeded);
  const std::string text = out.str();
  EXPECT_NE(text.find("leg 1: start (2.00, 9.50) -> goal 1 (28.00, 9.50) with dijkstra"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("leg 2: goal 1 (28.00, 9.50) -> goal 2 (9.00, 13.50)"), std::string::npos)
      << text;
}

TEST_F(GlobalScenario, UnreachableGoalIsReportedWithItsCodeAndAFailingStatus) {
  DemoOptions options;
  options.map_yaml = writeSealedRooms();
  options.output = (dir_ / "sealed_plan.png").string();
  options.start = Pose2{1.5, 1.5, 0.0};
  options.goals = {{4.5, 1.5, 0.0}, {1.0, 2.0, 0.0}};
  std::ostringstream out;
  EXPECT_EQ(runGlobalScenario(options, out), kPlanFailed);

  const std::string text = out.str();
  EXPECT_NE(text.find("aborted, code 101100007, 0 paths, 0 poses"), std::string::npos) << text;
  // The robot stayed in its room, from where the second goal is reached.
  EXPECT_NE(text.find("leg 2: start (1.50, 1.50) -> goal 2"), std::string::npos) << text;
  EXPECT_NE(text.find("1 of 2 plans succeeded"), std::string::npos) << text;
  EXPECT_TRUE(std::filesystem::exists(options.output));
}

TEST_F(GlobalScenario, GoalsThatCannotBeUsedStopTheDemoBeforeItHostsAnything) {
  DemoOptions options;
  options.output = (dir_ / "never.png").string();
  options.goals = {{9.0, 13.5, 0.0}, {6.05, 14.0, 0.0}};
  std::ostringstream out;
  try {
    runGlobalScenario(options, out);
    FAIL() << "a goal inside a wall was accepted";
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(), "goal 2 (6.05, 14.00) lies inside a wall or furniture");
  }
  EXPECT_TRUE(out.str().empty());

  options.goals = {{45.0, 3.0, 0.0}};
  EXPECT_THROW(runGlobalScenario(options, out), InputError);
  options.goals.clear();
  options.start = Pose2{0.1, 0.1, 0.0};
  EXPECT_THROW(runGlobalScenario(options, out), InputError);
  EXPECT_FALSE(std::filesystem::exists(options.output));
}

TEST_F(GlobalScenario, PictureThatCannotBeWrittenIsAnInputErrorBeforeAnyPlan) {
  DemoOptions options;
  options.goals = {{9.0, 13.5, 0.0}};
  options.output = (dir_ / "plans.unknownformat").string();
  std::ostringstream out;
  EXPECT_THROW(runGlobalScenario(options, out), InputError);
  // Before anything was planned.
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace demo
