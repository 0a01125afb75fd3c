// The lift scenario end to end: the node hosted in the drawn lift hall, a whole lift ride played
// through its four actions, the answers reported and the picture written.
#include "lift_scenario.hpp"

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

TEST(LiftHallDrawing, CarsOpenOntoTheHallThroughTheirDoorsOnly) {
  const LiftHall hall = drawLiftHall();
  const auto cell = [&hall](double x, double y) {
    return hall.image.at<uint8_t>(static_cast<int>(y / LiftHall::kResolution),
                                  static_cast<int>(x / LiftHall::kResolution));
  };
  for (const Pose2& door : {hall.door_a, hall.door_b}) {
    EXPECT_EQ(cell(door.x, door.y), 255);
    // The front wall beside the door.
    EXPECT_EQ(cell(door.x + 0.9, door.y), 0);
    EXPECT_EQ(cell(door.x - 0.9, door.y), 0);
  }
  EXPECT_EQ(cell(hall.robot.x, hall.robot.y), 255);
  // Between the cars the shaft is solid.
  EXPECT_EQ(cell(5.0, 6.5), 0);
  ASSERT_EQ(hall.car_a.points.size(), 4u);
  EXPECT_FLOAT_EQ(hall.car_a.points[1].y, 5.6F);
  EXPECT_EQ(cell(hall.car_a.points[0].x + 0.5, hall.car_a.points[1].y + 0.5), 255);
}

TEST(LiftScenarioOptions, TheLiftHallTakesOnlyAnOutput) {
  EXPECT_EQ(parseOptions({"--scenario", "lift", "--output", "x.png"}).output, "x.png");
  EXPECT_THROW(parseOptions({"--scenario", "lift", "--goal", "1,1"}), UsageError);
  EXPECT_THROW(parseOptions({"--scenario", "lift", "--map", "floor.yaml"}), UsageError);
  EXPECT_THROW(parseOptions({"--scenario", "lift", "--start", "1,1"}), UsageError);
  EXPECT_NE(usage("planning_demo").find("lift"), std::string::npos);
}

TEST(LiftScenario, RidesIntoCarAAndOutAgain) {
  if (!rclcpp::ok()) {
    rclcpp::init(0, nullptr);
  }
  const auto dir =
      std::filesystem::temp_directory_path() / ("demo_lift_scenario_" + std::to_string(getpid()));
  DemoOptions options;
  options.scenario = "lift";
  options.output = (dir / "lift.png").string();
  std::ostringstream out;
  EXPECT_EQ(runLiftScenario(options, out), kAllPlansSucceeded) << out.str();

  const std::string text = out.str();
  EXPECT_NE(
      text.find("1. is_fuzzy_global_free lift, car B: not free, emergency patient in the car"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("robot events raised: 1 (70001"), std::string::npos) << text;
  EXPECT_NE(text.find("2. is_fuzzy_global_free lift, car A: free place"), std::string::npos)
      << text;
  EXPECT_NE(text.find("4. global_planning lift (mode 100)"), std::string::npos) << text;
  EXPECT_NE(text.find("5. force_global_path into car A: succeeded"), std::string::npos) << text;
  EXPECT_NE(text.find("robot inside car A yes"), std::string::npos) << text;
  EXPECT_NE(text.find("7. is_fuzzy_global_free lift_out, car A: free place"), std::string::npos)
      << text;
  EXPECT_NE(text.find("driven backwards"), std::string::npos) << text;

  const cv::Mat picture = cv::imread(options.output);
  EXPECT_FALSE(picture.empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace demo
