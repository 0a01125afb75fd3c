// Rows and edge paths of a zone, and the back-out test, on drawn cells and drawn floors.
#include <unistd.h>

#include <filesystem>

#include "local_planning/coverage/coverage_fixtures.hpp"
#include "planning/local_planning/coverage/coverage_rows.hpp"

namespace static_coverage_test {
namespace {

using Cells = std::vector<cv::Point>;
using planning::findFarthestPoints;
using planning::generateParallelPaths;

// An axis-aligned region of cells, as the contour finder outlines it (corners only).
Cells box(int x0, int y0, int x1, int y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

// Rows along x (the edge runs along x, so the normal points along y): their y, in order.
std::vector<int> rowHeights(const std::vector<Cells>& rows) {
  std::vector<int> heights;
  for (const auto& row : rows) {
    EXPECT_EQ(row.size(), 2U);
    EXPECT_EQ(row[0].y, row[1].y);
    heights.push_back(row[0].y);
  }
  return heights;
}

const std::array<cv::Point, 2> kAlongX{cv::Point(0, 0), cv::Point(100, 0)};

TEST(ParallelRows, FollowTheRegionWidthAndKeepOffTheWindowBorder) {
  const cv::Size window(100, 100);
  struct Case {
    const char* what;
    Cells region;
    std::vector<int> heights;
  };
  for (const Case& c : {
           // Offsets span at most half the spacing: one row through the middle.
           Case{"thin", box(10, 40, 60, 43), {42}},
           // More than half and at most the spacing: bottom, then top.
           Case{"medium", box(10, 40, 60, 46), {44, 43}},
           // Wide: top, top - d, ..., then the bottom; 4 lands exactly on the bottom, twice.
           Case{"wide", box(10, 20, 60, 45), {42, 35, 28, 24}},
           Case{"landing", box(10, 20, 60, 41), {38, 31, 24, 24}},
           // Near the border the rows keep 1.5 spacings (10.5 cells) from it.
           Case{"border", box(0, 0, 99, 99), {90, 83, 76, 69, 62, 55, 48, 41, 34, 27, 20, 13, 11}},
       }) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(rowHeights(generateParallelPaths({c.region}, kAlongX, 7.0, window)), c.heights);
  }
}

TEST(ParallelRows, SpanTheFarthestCrossingsOfAConcaveRegion) {
  // A U open upwards: the band of a row across both arms is cut four times.
  const Cells u{{10, 10}, {60, 10}, {60, 40}, {50, 40}, {50, 20}, {20, 20}, {20, 40}, {10, 40}};
  const auto rows = generateParallelPaths({u}, kAlongX, 7.0, cv::Size(100, 100));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front(), (Cells{{60, 37}, {10, 37}}));
  Cells corners{{0, 0}, {5, 0}, {0, 5}, {5, 5}, {1, 1}};
  EXPECT_TRUE(findFarthestPoints(corners));
  EXPECT_EQ(corners, (Cells{{0, 0}, {5, 5}}));

  // No zone polygon gives the edge ((0, 0), (0, 0)): no line crosses anything.
  EXPECT_TRUE(
      generateParallelPaths({u}, planning::findLongestEdge({}), 7.0, cv::Size(100, 100)).empty());
  EXPECT_TRUE(generateParallelPaths({u}, kAlongX, 0.0, cv::Size(100, 100)).empty());
}

TEST_F(PlannerFixture, ChainsRowsBackAndForthFromTheRobot) {
  build(room(60, 40));
  placeRobot(2.5, 1.5);
  planner_->updateRobotPose();
  std::vector<Cells> rows{{{5, 5}, {50, 5}}, {{5, 12}, {50, 12}}, {{5, 19}, {50, 19}}};
  MultiPaths paths;
  paths.paths.resize(1);
  paths.paths[0].nav_path = line(0.0, 0.0, 0.5, 0.0);
  planner_->generatePaths(rows, maps_.zone, paths);
  EXPECT_TRUE(rows.empty());
  ASSERT_EQ(paths.paths.size(), 4U);
  // The top row first, entered at its end nearest the robot, then back and forth.
  const std::vector<double> starts{2.5, 0.25, 2.5};
  for (std::size_t i = 1; i < 4; ++i) {
    SCOPED_TRACE(i);
    const auto& row = paths.paths[i];
    EXPECT_EQ(row.path_type, StaticCoveragePlanning::kRowApproach);
    EXPECT_NEAR(row.nav_path.poses.front().pose.position.x, starts[i - 1], 1e-6);
    EXPECT_NEAR(row.nav_path.poses.back().pose.position.x, 2.75 - starts[i - 1], 1e-6);
    EXPECT_GE(row.nav_path.poses.size(), 46U);
    // The path before it ends facing the row's start.
    const auto& before = paths.paths[i - 1].nav_path.poses.back();
    const double yaw = 2.0 * std::atan2(before.pose.orientation.z, before.pose.orientation.w);
    const auto& start = row.nav_path.poses.front().pose.position;
    EXPECT_NEAR(yaw, std::atan2(start.y - before.pose.position.y, start.x - before.pose.position.x),
                1e-9);
  }
  EXPECT_NEAR(paths.paths[1].nav_path.poses.front().pose.position.y, 0.95, 1e-6);
  EXPECT_EQ(paths.header.frame_id, "map");
}

TEST_F(PlannerFixture, StraightSegmentOfCoincidingEndsIsTheStartAlone) {
  build(room(40, 30));
  const auto segment = planner_->fillPath(pose(0.5, 0.5), pose(0.6, 0.5), 0.03);
  EXPECT_EQ(segment.poses.size(), 5U);
  EXPECT_NEAR(segment.poses[1].pose.position.x, 0.525, 1e-12);
  const auto point = planner_->fillPath(pose(0.5, 0.5), pose(0.5, 0.5), 0.05);
  ASSERT_EQ(point.poses.size(), 1U);
  EXPECT_DOUBLE_EQ(point.poses[0].pose.position.x, 0.5);
}

TEST_F(PlannerFixture, EdgePathsStartNearestTheRobot) {
  build(room(60, 40));
  placeRobot(1.5, 0.3);
  planner_->updateRobotPose();
  MultiPaths none;
  EXPECT_FALSE(planner_->getEdgePath(none));
  EXPECT_EQ(countLogged("StaticCoveragePlanning::getEdgePath Find no vaild path."), 1);

  Access::edges(*planner_) = {box(5, 5, 50, 30), box(52, 5, 55, 30)};
  MultiPaths paths;
  ASSERT_TRUE(planner_->getEdgePath(paths));
  ASSERT_EQ(paths.paths.size(), 2U);
  EXPECT_EQ(paths.paths[0].path_type, StaticCoveragePlanning::kFirstEdgeApproach);
  EXPECT_EQ(paths.paths[1].path_type, StaticCoveragePlanning::kEdgeFollow);
  const auto& first = paths.paths[0].nav_path.poses.front().pose.position;
  EXPECT_NEAR(first.x, 1.5, 1e-6);
  EXPECT_NEAR(first.y, 0.25, 1e-6);
}

TEST_F(PlannerFixture, WritesTheRowDebugImageOnEveryGenerationAndIgnoresAFailedWrite) {
  build(room(60, 40));
  placeRobot(1.0, 1.0);
  const auto folder =
      std::filesystem::temp_directory_path() / ("static_rows_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  Access::debugImageFolder(*planner_) = folder.string() + "/";
  Piece out;
  ControlState state;
  bool replan = false;
  planner_->updateGoal(coverageGoal("image", {test_support::box(0.1, 0.1, 2.8, 1.8)}));
  ASSERT_TRUE(planner_->makePlan(out, state, replan));
  EXPECT_TRUE(std::filesystem::exists(folder / "1_ori1.jpg"));

  // Without the folder the next generation plans all the same.
  Access::debugImageFolder(*planner_) = (folder / "missing/").string();
  planner_->updateGoal(coverageGoal("image-again", {test_support::box(0.1, 0.1, 2.8, 1.8)}));
  EXPECT_TRUE(planner_->makePlan(out, state, replan));
  EXPECT_FALSE(Access::cache(*planner_).paths.empty());
  std::filesystem::remove_all(folder);

  // No region at all: nothing to fill, the image is still written.
  MultiPaths paths;
  Access::regions(*planner_).clear();
  EXPECT_FALSE(planner_->fromContourGenerateGlobalPath(paths));
  EXPECT_EQ(countLogged("fromContourGenerageArchedPath findLongestEdge failed."), 1);
}

// A corridor of 0.8 m between walls, along x.
cv::Mat corridor() {
  cv::Mat floor = room(120, 40);
  wall(floor, 0, 0, 119, 11);
  wall(floor, 0, 28, 119, 39);
  return floor;
}

TEST_F(PlannerFixture, BacksOutOfANarrowPlaceInsteadOfTurning) {
  cv::Mat floor = corridor();
  // The corridor opens into a hall west of x = 1.5 m.
  cv::rectangle(floor, cv::Point(1, 1), cv::Point(29, 38), cv::Scalar(test_support::kFree),
                cv::FILLED);
  build(floor);
  // Facing east while the path runs west, half-way along the corridor.
  placeRobot(3.0, 1.0, 0.0);
  planner_->updateRobotPose();
  NavPath west = line(3.0, 1.0, 0.5, 1.0);
  EXPECT_TRUE(planner_->judgePointRotation(west));
  EXPECT_EQ(countLogged("robot need back"), 1);
  EXPECT_EQ(west.poses.size(), 51U);
  // With cut_path the path ends where the hall gives room to turn.
  Access::cutPath(*planner_) = true;
  west = line(3.0, 1.0, 0.5, 1.0);
  EXPECT_TRUE(planner_->judgePointRotation(west));
  EXPECT_LT(west.poses.size(), 51U);
  EXPECT_GT(west.poses.size(), 30U);

  // Three poses are never a back-out case and keep their headings; nor is a path ahead.
  NavPath short_path = line(3.0, 1.0, 2.9, 1.0);
  const auto before = short_path;
  EXPECT_FALSE(planner_->judgePointRotation(short_path));
  EXPECT_EQ(short_path, before);
  NavPath east = line(3.0, 1.0, 5.0, 1.0);
  EXPECT_FALSE(planner_->judgePointRotation(east));
}

}  // namespace
}  // namespace static_coverage_test
