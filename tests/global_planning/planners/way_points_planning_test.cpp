#include "planning/global_planning/way_points_planning.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "planner_fixtures.hpp"

namespace global_planners_test {
namespace {

using planning::WayPointsPlanning;

bool samePosition(const geometry_msgs::msg::PoseStamped& a, double x, double y) {
  return std::abs(a.pose.position.x - x) < 1e-9 && std::abs(a.pose.position.y - y) < 1e-9;
}

bool passesThrough(const nav_msgs::msg::Path& path, double x, double y) {
  for (const auto& p : path.poses) {
    if (samePosition(p, x, y)) {
      return true;
    }
  }
  return false;
}

class WayPointsPlanningTest : public PlannerTest {
 protected:
  void SetUp() override {
    PlannerTest::SetUp();
    placeRobot(*map_, 0.0, 1.0);
  }

  std::shared_ptr<GridMapROS> map_ = drawnGrid(freeRows(40, 40));
};

TEST_F(WayPointsPlanningTest, RunsFromTheRobotThroughEveryWaypointWithShortGaps) {
  WayPointsPlanning planner(makeNode(), map_);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(planner.makePlan({pose(1.0, 1.0), pose(1.0, 2.0)}, paths));

  ASSERT_EQ(paths.paths.size(), 1u);
  const auto& result = paths.paths[0];
  const nav_msgs::msg::Path& path = result.nav_path;
  ASSERT_GE(path.poses.size(), 3u);
  EXPECT_TRUE(samePosition(path.poses.front(), 0.0, 1.0));
  EXPECT_TRUE(passesThrough(path, 1.0, 1.0));
  EXPECT_TRUE(samePosition(path.poses.back(), 1.0, 2.0));
  for (size_t i = 1; i < path.poses.size(); ++i) {
    const double gap =
        std::hypot(path.poses[i].pose.position.x - path.poses[i - 1].pose.position.x,
                   path.poses[i].pose.position.y - path.poses[i - 1].pose.position.y);
    EXPECT_LE(gap, 0.1 + 1e-9) << "between poses " << i - 1 << " and " << i;
  }
  EXPECT_FALSE(result.move_backward);
  EXPECT_FALSE(result.check_blocked);
  EXPECT_EQ(result.path_type, 0);
  EXPECT_EQ(result.tolerance, 0.0f);
  EXPECT_TRUE(path.header.frame_id.empty());
  EXPECT_EQ(planner.getErrorCode(), 0);

  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "filled_path size is " + std::to_string(path.poses.size()));
}

TEST_F(WayPointsPlanningTest, AWaypointTooCloseToThePreviousOneIsDroppedUnlessItIsTheLast) {
  WayPointsPlanning planner(makeNode(), map_);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(planner.makePlan({pose(1.0, 1.0), pose(1.03, 1.0), pose(2.0, 1.0)}, paths));
  ASSERT_TRUE(planner.makePlan({pose(1.0, 1.0), pose(1.03, 1.0)}, paths));

  ASSERT_EQ(paths.paths.size(), 2u);
  EXPECT_FALSE(passesThrough(paths.paths[0].nav_path, 1.03, 1.0));
  EXPECT_TRUE(samePosition(paths.paths[0].nav_path.poses.back(), 2.0, 1.0));
  EXPECT_TRUE(samePosition(paths.paths[1].nav_path.poses.back(), 1.03, 1.0));
}

TEST_F(WayPointsPlanningTest, AppendsBehindPathsAlreadyInTheSet) {
  WayPointsPlanning planner(makeNode(), map_);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  paths.uuid = "earlier";
  vantrell_nav2_protocol::msg::Path earlier;
  earlier.move_backward = true;
  earlier.nav_path.poses = {pose(5.0, 5.0)};
  paths.paths.push_back(earlier);

  ASSERT_TRUE(planner.makePlan({pose(0.5, 1.0)}, paths));
  ASSERT_EQ(paths.paths.size(), 2u);
  EXPECT_EQ(paths.paths[0], earlier);
  EXPECT_EQ(paths.uuid, "earlier");
  EXPECT_TRUE(samePosition(paths.paths[1].nav_path.poses.back(), 0.5, 1.0));
}

TEST_F(WayPointsPlanningTest, NoWaypointsGiveOneEmptyPath) {
  WayPointsPlanning planner(makeNode(), map_);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(planner.makePlan({}, paths));
  ASSERT_EQ(paths.paths.size(), 1u);
  EXPECT_TRUE(paths.paths[0].nav_path.poses.empty());
  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "filled_path size is 0");
}

// Without a pose the path would start at the map origin: the plan is refused instead.
TEST_F(WayPointsPlanningTest, NoRobotPoseFailsWithAWarningAndNoPath) {
  WayPointsPlanning planner(makeNode(), map_);
  planner.setErrorCode(3);
  vantrell_nav2_gridmap::testing::removeRobotPose(*map_);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(planner.makePlan({pose(1.0, 1.0), pose(1.0, 2.0)}, paths));
  EXPECT_TRUE(paths.paths.empty());
  EXPECT_EQ(planner.getErrorCode(), 3);
  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, "WARN");
  EXPECT_EQ(lines[0].text, "get the robot pose failed !!!!!");
}

// Like the searching planners, the waypoint planner plans on the global map only: a waypoint off
// it (far off, or no number) is refused before the toolbox fills kilometres of path towards it.
TEST_F(WayPointsPlanningTest, AWaypointOffTheGlobalMapIsRefused) {
  WayPointsPlanning planner(makeNode(), map_);
  for (const auto& far : {pose(1.0, 1e4), pose(-0.5, 1.0), pose(std::nan(""), 1.0)}) {
    log_->clear();
    vantrell_nav2_protocol::msg::MultiPaths paths;
    EXPECT_FALSE(planner.makePlan({pose(1.0, 1.0), far, pose(1.0, 2.0)}, paths));
    EXPECT_TRUE(paths.paths.empty());
    EXPECT_EQ(planner.getErrorCode(), kGlobalPlanFailed);
    const auto lines = log_->lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, "WARN");
    EXPECT_EQ(lines[0].text.rfind("WayPointsPlanning waypoint 1 at (", 0), 0u) << lines[0].text;
    EXPECT_NE(lines[0].text.find(") lies off the global map, error code is 101100007"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace global_planners_test
