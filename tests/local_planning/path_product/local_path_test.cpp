// The local stretch of a global path and the first blocked pose ahead.

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "grid_fixtures.hpp"
#include "path_fixtures.hpp"
#include "planning/path_product.hpp"
#include "support/log_capture.hpp"

namespace {

using path_product_test::drawnGrid;
using path_product_test::freeGrid;
using path_product_test::logged;
using path_product_test::pathAlongX;
using path_product_test::pathOf;
using path_product_test::pose;
using path_product_test::rowsWithWalls;
using path_product_test::yawOf;

class LocalPathTest : public path_product_test::ToolboxTest {};

class LocalPathFromGlobal : public LocalPathTest {};

TEST_F(LocalPathFromGlobal, TakesThePosesWithinReachAndDropsThePassedOnes) {
  const auto map = freeGrid(60, 10);
  auto global = pathAlongX(0.0, 0.5, 0.1, 60);
  nav_msgs::msg::Path local;
  local.header.frame_id = "local";
  ASSERT_TRUE(product_.getLocalPathFromGlobal(pose(1.02, 0.5), global, map, local));
  // Poses 10 (nearest) to 35 (last within 2.5 m), less the last one.
  ASSERT_EQ(local.poses.size(), 25u);
  EXPECT_NEAR(local.poses.front().pose.position.x, 1.0, 1e-12);
  EXPECT_NEAR(local.poses.back().pose.position.x, 3.4, 1e-12);
  EXPECT_EQ(local.header.frame_id, "local");
  ASSERT_EQ(global.poses.size(), 50u);
  EXPECT_EQ(global.poses.front(), local.poses.front());
  // The last local pose heads along the global path from pose 35.
  EXPECT_NEAR(yawOf(local.poses.back()), 0.0, 1e-12);
}

TEST_F(LocalPathFromGlobal, LastPoseTakesTheHeadingAtTheEndIndex) {
  const auto map = freeGrid(60, 20);
  auto global = pathAlongX(0.0, 0.5, 0.1, 40);
  global.poses[26] = pose(2.6, 0.6);  // pose 25 heads up-right
  global.poses[24].pose.orientation.x = 0.25;
  nav_msgs::msg::Path local;
  ASSERT_TRUE(product_.getLocalPathFromGlobal(pose(0.0, 0.5), global, map, local));
  ASSERT_EQ(local.poses.size(), 25u);
  const auto& q = local.poses.back().pose.orientation;
  EXPECT_EQ(q.x, 0.25);  // x and y of the copied pose stay
  EXPECT_NEAR(q.z, std::sin(M_PI / 8.0), 1e-9);
  EXPECT_NEAR(q.w, std::cos(M_PI / 8.0), 1e-9);
}

TEST_F(LocalPathFromGlobal, RobotAwayFromThePathGivesNothing) {
  const auto map = freeGrid(60, 10);
  auto global = pathAlongX(0.0, 0.5, 0.1, 60);
  const auto before = global;
  nav_msgs::msg::Path local = pathOf({{9.0, 9.0}});
  const auto local_before = local;
  EXPECT_FALSE(product_.getLocalPathFromGlobal(pose(1.0, 0.85), global, map, local));
  EXPECT_FALSE(product_.getLocalPathFromGlobal(pose(1.0, 0.8), global, map, local));
  EXPECT_EQ(global, before);
  EXPECT_EQ(local, local_before);
}

TEST_F(LocalPathFromGlobal, SearchesTheNearestPoseOnlyInTheFirstFiveMetres) {
  const auto map = freeGrid(80, 10);
  auto global = pathAlongX(0.0, 0.5, 0.1, 70);
  nav_msgs::msg::Path local;
  EXPECT_FALSE(product_.getLocalPathFromGlobal(pose(5.6, 0.5), global, map, local));

  // One-metre steps: the pose at which the length reaches 5.0 still counts.
  auto coarse = pathOf({{0.0, 0.5},
                        {1.0, 0.5},
                        {2.0, 0.5},
                        {3.0, 0.5},
                        {4.0, 0.5},
                        {5.0, 0.5},
                        {5.1, 0.5},
                        {5.2, 0.5},
                        {5.3, 0.5},
                        {5.4, 0.5}});
  ASSERT_TRUE(product_.getLocalPathFromGlobal(pose(5.0, 0.7), coarse, map, local));
  EXPECT_EQ(coarse.poses.front().pose.position.x, 5.0);
}

TEST_F(LocalPathFromGlobal, NearestPoseTiesGoToTheLaterPose) {
  const auto map = freeGrid(60, 10);
  // Poses 0 and 1 are both 0.25 from the robot.
  auto global = pathOf(
      {{0.75, 0.5}, {1.25, 0.5}, {1.5, 0.5}, {2.0, 0.5}, {2.5, 0.5}, {3.0, 0.5}, {4.0, 0.5}});
  nav_msgs::msg::Path local;
  ASSERT_TRUE(product_.getLocalPathFromGlobal(pose(1.0, 0.5), global, map, local));
  EXPECT_EQ(global.poses.front().pose.position.x, 1.25);
  ASSERT_EQ(local.poses.size(), 4u);
  EXPECT_EQ(local.poses.back().pose.position.x, 2.5);
}

TEST_F(LocalPathFromGlobal, LaterPoseAsNearDoesNotMoveTheStart) {
  const auto map = freeGrid(60, 10);
  // After 5.25 m of back and forth the path passes 0.25 from the robot again,
  // beyond the first pass: the start stays at pose 0.
  auto global = pathOf({{0.75, 0.5},
                        {2.0, 0.5},
                        {0.0, 0.5},
                        {2.0, 0.5},
                        {1.25, 0.5},
                        {1.5, 0.5},
                        {2.0, 0.5},
                        {3.0, 0.5},
                        {4.0, 0.5}});
  nav_msgs::msg::Path local;
  ASSERT_TRUE(product_.getLocalPathFromGlobal(pose(1.0, 0.5), global, map, local));
  EXPECT_EQ(global.poses.size(), 9u);
  EXPECT_EQ(global.poses.front().pose.position.x, 0.75);
  EXPECT_EQ(local.poses.size(), 7u);
}

TEST_F(LocalPathFromGlobal, NeedsAtLeastThreeLocalPoses) {
  // Poses 0..2 lie on a three-cell map, pose 3 leaves it.
  auto global = pathAlongX(0.0, 0.1, 0.1, 10);
  nav_msgs::msg::Path local;
  EXPECT_FALSE(product_.getLocalPathFromGlobal(pose(0.0, 0.1), global, freeGrid(3, 3), local));
  EXPECT_EQ(global.poses.size(), 10u);
  EXPECT_TRUE(local.poses.empty());
  ASSERT_TRUE(product_.getLocalPathFromGlobal(pose(0.0, 0.1), global, freeGrid(4, 3), local));
  EXPECT_EQ(local.poses.size(), 3u);
}

TEST_F(LocalPathFromGlobal, DangerWithinReachRefusesTheCut) {
  const auto map = drawnGrid(rowsWithWalls(60, 10, 5, {20}));
  auto global = pathAlongX(0.0, 0.5, 0.1, 60);
  const auto before = global;
  nav_msgs::msg::Path local;
  EXPECT_FALSE(product_.getLocalPathFromGlobal(pose(0.0, 0.5), global, map, local));
  EXPECT_EQ(global, before);
  EXPECT_TRUE(local.poses.empty());
  EXPECT_TRUE(
      logged(*log_, "[DEBUG] PathProduct::getLocalPathFromGlobal oops mx my 20 5 is obstacle"));

  // Beyond 2.5 m the wall does not matter.
  const auto far_wall = drawnGrid(rowsWithWalls(60, 10, 5, {40}));
  EXPECT_TRUE(product_.getLocalPathFromGlobal(pose(0.0, 0.5), global, far_wall, local));
}

TEST_F(LocalPathFromGlobal, ShortPathsAndMissingMapsGiveNothing) {
  const auto map = freeGrid(10, 10);
  auto one = pathAlongX(0.0, 0.5, 0.1, 1);
  nav_msgs::msg::Path local;
  EXPECT_FALSE(product_.getLocalPathFromGlobal(pose(0.0, 0.5), one, map, local));
  auto global = pathAlongX(0.0, 0.5, 0.1, 10);
  EXPECT_FALSE(product_.getLocalPathFromGlobal(pose(0.0, 0.5), global, nullptr, local));
  EXPECT_EQ(global.poses.size(), 10u);
}

class GlobalPathCut : public LocalPathTest {};

TEST_F(GlobalPathCut, GoalStaysTwoPosesShortOfTheMapEdge) {
  const auto map = freeGrid(30, 10);
  auto global = pathAlongX(0.0, 0.5, 0.1, 60);  // pose 30 leaves the map
  geometry_msgs::msg::PoseStamped goal;
  ASSERT_TRUE(product_.globalPathCut(pose(0.0, 0.5), global, map, goal));
  EXPECT_NEAR(goal.pose.position.x, 2.8, 1e-12);
  EXPECT_EQ(goal.header.frame_id, "map");
  EXPECT_NEAR(yawOf(goal), 0.0, 1e-12);
  ASSERT_EQ(global.poses.size(), 32u);
  EXPECT_NEAR(global.poses.front().pose.position.x, 2.8, 1e-12);
}

TEST_F(GlobalPathCut, WalksBackFromBlockedCandidates) {
  // Walls on poses 10 to 28: the free goal is pose 9.
  std::vector<int> walls;
  for (int x = 10; x <= 28; ++x) {
    walls.push_back(x);
  }
  const auto map = drawnGrid(rowsWithWalls(30, 10, 5, walls));
  auto global = pathAlongX(0.0, 0.5, 0.1, 60);
  geometry_msgs::msg::PoseStamped goal;
  // Within 1.0 of pose 0 the search starts there, although pose 9 is nearer.
  ASSERT_TRUE(product_.globalPathCut(pose(0.9, 0.5), global, map, goal));
  EXPECT_NEAR(goal.pose.position.x, 0.9, 1e-12);
  EXPECT_EQ(global.poses.size(), 51u);

  // Farther than 1.0 from pose 0 the search starts at the nearest pose, 10.
  global = pathAlongX(0.0, 0.5, 0.1, 60);
  const auto before = global;
  goal = pose(-1.0, -1.0);
  const auto goal_before = goal;
  EXPECT_FALSE(product_.globalPathCut(pose(1.03, 0.5), global, map, goal));
  EXPECT_TRUE(logged(*log_, "[WARN] index_end <= index_start index_end=10,index_start=10"));
  EXPECT_EQ(global, before);
  EXPECT_EQ(goal, goal_before);
}

TEST_F(GlobalPathCut, NearTheEndTheLastPoseIsTheGoal) {
  const auto map = drawnGrid(rowsWithWalls(30, 10, 5, {14}));
  auto global = pathAlongX(0.0, 0.5, 0.1, 15);
  global.poses[14] = pose(1.4, 0.5, 1.1);
  geometry_msgs::msg::PoseStamped goal;
  ASSERT_TRUE(product_.globalPathCut(pose(0.5, 0.5), global, map, goal));
  // Pose 13 is the free candidate; both it and the last pose are near.
  EXPECT_NEAR(goal.pose.position.x, 1.4, 1e-12);
  EXPECT_NEAR(yawOf(goal), 1.1, 1e-12);
  ASSERT_EQ(global.poses.size(), 1u);
}

TEST_F(GlobalPathCut, PathLeavingTheMapAtOnceIsRefused) {
  const auto map = freeGrid(30, 10);
  for (const auto& points :
       {std::vector<std::pair<double, double>>{{-0.3, 0.5}, {0.0, 0.5}, {0.1, 0.5}, {0.2, 0.5}},
        std::vector<std::pair<double, double>>{{0.0, 0.5}, {-0.3, 0.5}, {0.1, 0.5}, {0.2, 0.5}}}) {
    auto global = pathOf(points);
    const auto before = global;
    auto goal = pose(7.0, 7.0);
    const auto goal_before = goal;
    EXPECT_FALSE(product_.globalPathCut(pose(0.0, 0.5), global, map, goal));
    EXPECT_EQ(global, before);
    EXPECT_EQ(goal, goal_before);
  }
  EXPECT_TRUE(logged(*log_, "[ERROR] PathProduct::globalPathCut can not get free goal 1"));
}

TEST_F(GlobalPathCut, CandidateOffTheMapIsRefused) {
  const auto map = freeGrid(30, 10);
  // The robot is nearest to pose 5; pose 6 leaves the map, so the candidate is
  // pose 4, which lies off the map as well.
  auto global = pathOf(
      {{-1.5, 0.5}, {-0.9, 0.5}, {-0.8, 0.5}, {-0.7, 0.5}, {-0.6, 0.5}, {0.0, 0.5}, {-0.5, 0.5}});
  const auto before = global;
  geometry_msgs::msg::PoseStamped goal;
  EXPECT_FALSE(product_.globalPathCut(pose(0.0, 0.5), global, map, goal));
  EXPECT_TRUE(logged(*log_, "[ERROR] PathProduct::globalPathCut can not get free goal 1"));
  EXPECT_EQ(global, before);
}

TEST_F(GlobalPathCut, EmptyPathOrMissingMapIsRefused) {
  nav_msgs::msg::Path empty;
  geometry_msgs::msg::PoseStamped goal;
  EXPECT_FALSE(product_.globalPathCut(pose(0.0, 0.0), empty, freeGrid(5, 5), goal));
  auto global = pathAlongX(0.0, 0.1, 0.1, 5);
  EXPECT_FALSE(product_.globalPathCut(pose(0.0, 0.1), global, nullptr, goal));
  EXPECT_EQ(global.poses.size(), 5u);
}

class StartLocalPlan : public LocalPathTest {};

TEST_F(StartLocalPlan, ReportsThePoseBeforeTheFirstBlockedOne) {
  const auto map = drawnGrid(rowsWithWalls(30, 10, 5, {1}));
  int index = -1;
  double distance = 0.0;
  EXPECT_TRUE(product_.startLocalPlan(pathAlongX(0.0, 0.5, 0.1, 20), map, 1.0, index, distance));
  EXPECT_EQ(index, 0);
  EXPECT_NEAR(distance, 0.1, 1e-12);
  EXPECT_TRUE(logged(*log_, "[DEBUG] There is obstacle in the front!!!"));

  const auto farther = drawnGrid(rowsWithWalls(30, 10, 5, {7}));
  EXPECT_TRUE(
      product_.startLocalPlan(pathAlongX(0.0, 0.5, 0.1, 20), farther, 1.0, index, distance));
  EXPECT_EQ(index, 6);
  EXPECT_NEAR(distance, 0.7, 1e-12);
}

TEST_F(StartLocalPlan, NothingWithinRangeOrBeforeTheEnd) {
  const auto map = drawnGrid(rowsWithWalls(30, 10, 5, {0, 12}));
  int index = -1;
  double distance = -1.0;
  const auto path = pathAlongX(0.0, 0.5, 0.1, 20);
  EXPECT_FALSE(product_.startLocalPlan(path, map, 1.0, index, distance));  // 12 beyond range
  const auto short_path = pathAlongX(0.0, 0.5, 0.1, 10);
  EXPECT_FALSE(product_.startLocalPlan(short_path, map, 5.0, index, distance));  // pose 0 untested
  EXPECT_EQ(index, -1);
  EXPECT_EQ(distance, -1.0);
}

TEST_F(StartLocalPlan, RangeShorterThanTheFirstSegmentTestsNoCell) {
  const auto map = freeGrid(30, 10);
  auto path = pathOf({{0.0, 0.5}, {-1.0, 0.5}, {0.1, 0.5}});
  int index = -1;
  double distance = 0.0;
  EXPECT_FALSE(product_.startLocalPlan(path, map, 0.5, index, distance));
  EXPECT_FALSE(logged(*log_, "[WARN] PathProduct::startLocalPlan worldToMap failed!!!"));
  // Within range, the pose off the map ends the walk with true.
  EXPECT_TRUE(product_.startLocalPlan(path, map, 1.5, index, distance));
  EXPECT_TRUE(logged(*log_, "[WARN] PathProduct::startLocalPlan worldToMap failed!!!"));
  EXPECT_EQ(index, -1);
  EXPECT_EQ(distance, 0.0);
}

TEST_F(StartLocalPlan, ShortPathOrMissingMapIsRefused) {
  int index = -1;
  double distance = 0.0;
  EXPECT_FALSE(
      product_.startLocalPlan(pathAlongX(0.0, 0.5, 0.1, 1), freeGrid(5, 5), 1.0, index, distance));
  EXPECT_FALSE(
      product_.startLocalPlan(pathAlongX(0.0, 0.5, 0.1, 5), nullptr, 1.0, index, distance));
  EXPECT_EQ(index, -1);
}

class StartLocalPlanWithMorphology : public LocalPathTest {
 protected:
  cv::Mat freeImage(int width, int height) const {
    return cv::Mat(height, width, CV_8UC1, cv::Scalar(255));
  }
};

TEST_F(StartLocalPlanWithMorphology, ZeroPixelsBlockAndTheGridIsNotAsked) {
  // The map has a wall at 3 that the image does not show; the image blocks 6.
  const auto map = drawnGrid(rowsWithWalls(30, 10, 5, {3}));
  cv::Mat image = freeImage(30, 10);
  image.at<uint8_t>(5, 4) = 1;
  image.at<uint8_t>(5, 6) = 0;
  int index = -1;
  double distance = 0.0;
  EXPECT_TRUE(product_.startLocalPlanWithMorphology(image, pathAlongX(0.0, 0.5, 0.1, 20), map, 2.0,
                                                    index, distance, 0.0));
  EXPECT_EQ(index, 5);
  EXPECT_NEAR(distance, 0.6, 1e-12);
  EXPECT_TRUE(logged(*log_, "[DEBUG] There is obstacle in the front!!!"));

  image.at<uint8_t>(5, 6) = 255;
  EXPECT_FALSE(product_.startLocalPlanWithMorphology(image, pathAlongX(0.0, 0.5, 0.1, 20), map, 2.0,
                                                     index, distance, 0.0));
}

TEST_F(StartLocalPlanWithMorphology, ImageThatDoesNotCoverTheMapIsRefused) {
  const auto map = freeGrid(30, 10);
  const auto path = pathAlongX(0.0, 0.5, 0.1, 20);
  int index = -1;
  double distance = 0.0;
  cv::Mat narrow(10, 10, CV_8UC1, cv::Scalar(255));
  EXPECT_FALSE(product_.startLocalPlanWithMorphology(narrow, path, map, 5.0, index, distance, 0));
  cv::Mat colour(10, 30, CV_8UC3, cv::Scalar(0, 0, 0));
  EXPECT_FALSE(product_.startLocalPlanWithMorphology(colour, path, map, 5.0, index, distance, 0));
  EXPECT_FALSE(
      product_.startLocalPlanWithMorphology(cv::Mat(), path, map, 5.0, index, distance, 0));
  EXPECT_EQ(index, -1);
}

TEST_F(StartLocalPlanWithMorphology, OffTheMapEndsWithTrueAndUntouchedOutputs) {
  const auto map = freeGrid(30, 10);
  auto path = pathOf({{0.0, 0.5}, {0.1, 0.5}, {0.2, -0.5}});
  int index = 3;
  double distance = 9.0;
  EXPECT_TRUE(product_.startLocalPlanWithMorphology(freeImage(30, 10), path, map, 5.0, index,
                                                    distance, 0.0));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(distance, 9.0);
  EXPECT_TRUE(logged(*log_, "[WARN] PathProduct::startLocalPlan worldToMap failed!!!"));
}

}  // namespace
