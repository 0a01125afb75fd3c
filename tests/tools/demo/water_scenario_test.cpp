// The water scenario end to end: the custom planning node hosted on a map, its water-uptake
// service called on a zone, the answer reported and drawn.
#include "water_scenario.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <string>

#include "rclcpp/rclcpp.hpp"
#include "scenarios.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace demo {
namespace {

constexpr std::chrono::seconds kPatience{30};

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

bool inside(const geometry_msgs::msg::Polygon& area, double x, double y, double margin = 1e-3) {
  std::vector<cv::Point2f> outline;
  for (const auto& point : area.points) {
    outline.emplace_back(point.x, point.y);
  }
  return cv::pointPolygonTest(outline, cv::Point2f(static_cast<float>(x), static_cast<float>(y)),
                              true) >= -margin;
}

// Every cell whose centre lies in `area` is free on `grid`.
bool allFree(const nav_msgs::msg::OccupancyGrid& grid, const geometry_msgs::msg::Polygon& area) {
  const auto& info = grid.info;
  for (unsigned int row = 0; row < info.height; ++row) {
    for (unsigned int column = 0; column < info.width; ++column) {
      const double x = info.origin.position.x + (column + 0.5) * info.resolution;
      const double y = info.origin.position.y + (row + 0.5) * info.resolution;
      const int8_t value = grid.data[static_cast<size_t>(row) * info.width + column];
      if (inside(area, x, y, 0.0) && (value < 0 || value >= 65)) {
        return false;
      }
    }
  }
  return true;
}

// Pixels within a small distance of `colour` (BGR); anti-aliasing blends the rest.
int pixelsOf(const cv::Mat& picture, const cv::Scalar& colour) {
  cv::Mat near;
  cv::inRange(picture, colour - cv::Scalar(25, 25, 25), colour + cv::Scalar(25, 25, 25), near);
  return cv::countNonZero(near);
}

class WaterScenario : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // OpenCV's worker threads are invisible to the thread sanitizer; the node's image work runs
    // on the calling thread instead.
    cv::setNumThreads(0);
  }

  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    dir_ = std::filesystem::temp_directory_path() /
           ("demo_water_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static std::string inputErrorOf(const DemoOptions& options, const DemoMap& map) {
    try {
      plannedZone(options, map);
    } catch (const InputError& error) {
      return error.what();
    }
    return "";
  }

  // A 4 m x 3 m room at 0.05 m whose origin lies at (-2, -1), a cabinet in its north-east
  // corner.
  std::string writeOffsetRoom() {
    cv::Mat image(60, 80, CV_8UC1, cv::Scalar(254));
    cv::rectangle(image, cv::Point(0, 0), cv::Point(79, 59), cv::Scalar(0), 2);
    cv::rectangle(image, cv::Point(60, 0), cv::Point(79, 20), cv::Scalar(0), cv::FILLED);
    cv::imwrite((dir_ / "room.png").string(), image);
    std::ofstream(dir_ / "room.yaml")
        << "image: room.png\nresolution: 0.05\norigin: [-2.0, -1.0, 0.0]\nnegate: 0\n"
        << "occupied_thresh: 0.65\nfree_thresh: 0.196\n";
    return (dir_ / "room.yaml").string();
  }

  std::filesystem::path dir_;
};

TEST_F(WaterScenario, CostmapKeepsTheCellsTheOriginAndTheResolutionOfTheMap) {
  cv::Mat drawn(3, 4, CV_8UC1, cv::Scalar(255));
  drawn.at<uint8_t>(0, 1) = 0;    // wall at cell (1, 0)
  drawn.at<uint8_t>(2, 3) = 205;  // unknown at cell (3, 2)
  nav_msgs::msg::OccupancyGrid grid =
      vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(drawn, 0.1, -1.5, 2.0);
  grid.data[4] = 50;  // below the occupied threshold: free
  grid.data[5] = 65;  // at it: a wall

  const nav2_msgs::msg::Costmap costmap = costmapOf(grid);
  EXPECT_EQ(costmap.header.frame_id, "map");
  EXPECT_EQ(costmap.metadata.size_x, 4U);
  EXPECT_EQ(costmap.metadata.size_y, 3U);
  EXPECT_FLOAT_EQ(costmap.metadata.resolution, 0.1F);
  EXPECT_DOUBLE_EQ(costmap.metadata.origin.position.x, -1.5);
  EXPECT_DOUBLE_EQ(costmap.metadata.origin.position.y, 2.0);
  const std::vector<uint8_t> expected{0, 254, 0, 0, 0, 254, 0, 0, 0, 0, 0, 255};
  EXPECT_EQ(costmap.data, expected);
}

TEST_F(WaterScenario, ZonesThatCannotBeUsedAreRefusedWithTheReason) {
  const DemoMap floor = loadDemoMap("");
  DemoOptions options;
  options.scenario = "water";
  EXPECT_EQ(plannedZone(options, floor).points.size(), 4U);

  options.zone = {{1.0, 1.0}, {31.5, 2.0}, {3.0, 5.0}};
  EXPECT_EQ(inputErrorOf(options, floor),
            "zone corner 2 (31.50, 2.00) lies off the map, which spans (0.00, 0.00) to (30.00, "
            "20.00)");
  options.zone = {{1.0, 1.0}, {2.0, -0.01}, {3.0, 5.0}};
  EXPECT_NE(inputErrorOf(options, floor).find("zone corner 2 (2.00, -0.01) lies off"),
            std::string::npos);
  options.zone = {{2.0, 2.0}, {3.0, 3.0}, {4.0, 4.0}};
  EXPECT_EQ(inputErrorOf(options, floor), "the zone encloses no area: its corners lie on one line");
  options.zone = {{2.0, 2.0}, {3.0, 2.0}, {5.0, 2.0}, {4.0, 2.0}};
  EXPECT_EQ(inputErrorOf(options, floor), "the zone encloses no area: its corners lie on one line");
  // A bow tie encloses area, but not as one zone; its signed halves cancel out.
  options.zone = {{7.0, 11.0}, {11.0, 18.0}, {11.0, 11.0}, {7.0, 18.0}};
  EXPECT_EQ(inputErrorOf(options, floor),
            "the zone (7.00, 11.00) (11.00, 18.00) (11.00, 11.00) (7.00, 18.00) crosses itself: "
            "give its corners in order around it");
  options.zone = {{7.0, 11.0}, {11.0, 11.0}, {7.0, 18.0}, {11.0, 18.0}, {9.0, 10.9}};
  EXPECT_NE(inputErrorOf(options, floor).find("crosses itself"), std::string::npos);
  options.zone = {{7.0, 11.0}, {7.03, 11.0}, {7.0, 11.03}};
  EXPECT_EQ(inputErrorOf(options, floor),
            "the zone (7.00, 11.00) (7.03, 11.00) (7.00, 11.03) encloses less than one cell");
  // The meeting-room table, and the unmapped margin outside the building.
  options.zone = {{21.2, 14.3}, {25.8, 14.3}, {25.8, 15.7}, {21.2, 15.7}};
  EXPECT_NE(inputErrorOf(options, floor).find("holds no free cell"), std::string::npos);
  options.zone = {{0.0, 0.0}, {0.4, 0.0}, {0.4, 19.9}};
  EXPECT_NE(inputErrorOf(options, floor).find("holds no free cell"), std::string::npos);

  // Another map has no zone of its own.
  const std::string room = writeOffsetRoom();
  DemoOptions on_room;
  on_room.map_yaml = room;
  EXPECT_EQ(inputErrorOf(on_room, loadDemoMap(room)), "give the zone of " + room + " with --zone");
}

TEST_F(WaterScenario, ServiceAnswersInsideTheZoneAndPublishesAFreeRectangle) {
  const DemoMap floor = loadDemoMap("");
  DemoOptions options;
  const geometry_msgs::msg::Polygon zone = plannedZone(options, floor);
  WaterUptakeHost host(floor.grid);
  host.placeRobot({9.0, 9.5, 0.0});
  const UptakeAnswer answer = host.request(zone, kPatience);

  ASSERT_TRUE(answer.answered);
  ASSERT_EQ(answer.path.size(), 5U);
  ASSERT_TRUE(answer.zone);
  EXPECT_EQ(*answer.zone, zone);
  ASSERT_TRUE(answer.rectangle);
  ASSERT_EQ(answer.rectangle->points.size(), 4U);
  for (const auto& corner : answer.rectangle->points) {
    EXPECT_TRUE(inside(zone, corner.x, corner.y)) << corner.x << ", " << corner.y;
  }
  // Clear of the desk, the chair and the cabinet of office B on the costmap the host made.
  EXPECT_TRUE(allFree(floor.grid, *answer.rectangle));
  for (const auto& pose : answer.path) {
    EXPECT_TRUE(inside(zone, pose.pose.position.x, pose.pose.position.y))
        << pose.pose.position.x << ", " << pose.pose.position.y;
  }
  ASSERT_TRUE(answer.points);
  ASSERT_EQ(answer.points->points.size(), 5U);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(answer.points->points[i].x, answer.path[i].pose.position.x);
    EXPECT_DOUBLE_EQ(answer.points->points[i].y, answer.path[i].pose.position.y);
  }
  EXPECT_GE(answer.milliseconds, 0.0);
}

TEST_F(WaterScenario, PathStartsAtTheRectangleCornerNearestTheRobot) {
  const DemoMap floor = loadDemoMap("");
  const geometry_msgs::msg::Polygon zone = plannedZone(DemoOptions(), floor);
  // At the door and in the far corner of the room: the near corner follows the robot.
  for (const Pose2& robot : {Pose2{9.0, 9.5, 0.0}, Pose2{6.5, 18.0, 0.0}}) {
    WaterUptakeHost host(floor.grid);
    host.placeRobot(robot);
    const UptakeAnswer answer = host.request(zone, kPatience);
    ASSERT_EQ(answer.path.size(), 5U);
    ASSERT_TRUE(answer.rectangle);
    double nearest = 1e9;
    for (const auto& corner : answer.rectangle->points) {
      nearest = std::min(nearest, std::hypot(corner.x - robot.x, corner.y - robot.y));
    }
    const auto& first = answer.path.front().pose.position;
    EXPECT_NEAR(std::hypot(first.x - robot.x, first.y - robot.y), nearest, 1e-3)
        << "robot at " << robot.x << ", " << robot.y;
  }
}

TEST_F(WaterScenario, DefaultZoneIsReportedAndDrawn) {
  DemoOptions options;
  options.scenario = "water";
  options.output = (dir_ / "pictures" / "water.png").string();
  std::ostringstream out;
  EXPECT_EQ(runWaterScenario(options, out), kAllPlansSucceeded);

  const std::string text = out.str();
  EXPECT_NE(text.find("Water uptake on the bundled office floor"), std::string::npos) << text;
  EXPECT_NE(text.find("zone office B: (6.20, 10.70) (11.90, 10.70) (11.90, 19.20) (6.20, 19.20)"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("robot at (9.00, 9.50)"), std::string::npos) << text;
  EXPECT_NE(text.find("answer: 5 poses in "), std::string::npos) << text;
  EXPECT_EQ(occurrences(text, "\n  pose "), 5U) << text;
  EXPECT_NE(text.find("  pose 5: ("), std::string::npos) << text;
  EXPECT_EQ(occurrences(text, "largest free rectangle: "), 1U) << text;
  EXPECT_NE(text.find("picture written to " + std::filesystem::absolute(options.output).string()),
            std::string::npos)
      << text;

  const cv::Mat picture = cv::imread(options.output, cv::IMREAD_COLOR);
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(picture.cols, 1200);
  EXPECT_GT(picture.rows, 800);                                // the map and the legend below it
  EXPECT_GT(pixelsOf(picture, cv::Scalar(0, 140, 255)), 500);  // zone
  EXPECT_GT(pixelsOf(picture, cv::Scalar(60, 160, 0)), 300);   // rectangle
  EXPECT_GT(pixelsOf(picture, cv::Scalar(0, 255, 0)), 10);     // near corner point
  EXPECT_GT(pixelsOf(picture, cv::Scalar(0, 0, 255)), 10);     // end point
}

TEST_F(WaterScenario, ZoneOfAMapWithAnOriginOfItsOwn) {
  DemoOptions options;
  options.scenario = "water";
  options.map_yaml = writeOffsetRoom();
  options.start = Pose2{-1.6, -0.6, 0.0};
  options.zone = {{-1.9, -0.9}, {1.9, -0.9}, {1.9, 1.9}, {-1.9, 1.9}};
  options.output = (dir_ / "room.png").string();
  std::ostringstream out;
  EXPECT_EQ(runWaterScenario(options, out), kAllPlansSucceeded) << out.str();
  EXPECT_NE(out.str().find("answer: 5 poses"), std::string::npos) << out.str();

  // The same zone through the host: the rectangle keeps off the cabinet.
  const DemoMap room = loadDemoMap(options.map_yaml);
  WaterUptakeHost host(room.grid);
  host.placeRobot(*options.start);
  const UptakeAnswer answer = host.request(plannedZone(options, room), kPatience);
  ASSERT_TRUE(answer.rectangle);
  EXPECT_TRUE(allFree(room.grid, *answer.rectangle));
}

TEST_F(WaterScenario, ZoneWithTooLittleFreeSpaceFailsWithAReasonAndStillDraws) {
  DemoOptions options;
  options.scenario = "water";
  // A corner of office B between its walls: free, but not once the node keeps clear of them.
  options.zone = {{6.2, 10.7}, {7.0, 10.7}, {7.0, 11.5}};
  options.output = (dir_ / "tight.png").string();
  std::ostringstream out;
  EXPECT_EQ(runWaterScenario(options, out), kPlanFailed);
  EXPECT_NE(out.str().find("answer: 0 poses"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("no path: too little of the zone is free"), std::string::npos)
      << out.str();
  EXPECT_EQ(out.str().find("largest free rectangle"), std::string::npos) << out.str();
  EXPECT_TRUE(std::filesystem::exists(options.output));
}

TEST_F(WaterScenario, BadInputStopsTheScenarioBeforeItHostsAnything) {
  DemoOptions options;
  options.scenario = "water";
  options.output = (dir_ / "never.png").string();
  options.start = Pose2{6.05, 14.0, 0.0};
  std::ostringstream out;
  try {
    runWaterScenario(options, out);
    FAIL() << "a robot inside a wall was accepted";
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(), "robot (6.05, 14.00) lies inside a wall or furniture");
  }
  options.start.reset();
  options.zone = {{21.2, 14.3}, {25.8, 14.3}, {25.8, 15.7}};
  EXPECT_THROW(runWaterScenario(options, out), InputError);
  EXPECT_TRUE(out.str().empty());
  EXPECT_FALSE(std::filesystem::exists(options.output));
}

}  // namespace
}  // namespace demo
