#include "planning/global_planning/global_astar_goal_zone_planning.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "planner_fixtures.hpp"

namespace global_planners_test {
namespace {

using planning::GlobalAstarGoalZonePlanning;

// Corners in metres; with 0.1 m cells, (1.0, 1.0) is cell (10, 10).
std::vector<geometry_msgs::msg::Point32> rectangle(double x0, double y0, double x1, double y1) {
  return {point32(x0, y0), point32(x1, y0), point32(x1, y1), point32(x0, y1)};
}

class GoalZoneTest : public PlannerTest {
 protected:
  void build(const std::vector<std::string>& rows) {
    map_ = drawnGrid(rows);
    placeRobot(*map_, 0.5, 0.5);
    engine_ = engineOn(map_);
    planner_ = std::make_shared<GlobalAstarGoalZonePlanning>(makeNode(0.8), map_);
    planner_->setGlobalPlanner(engine_);
  }

  bool planInto(const std::vector<geometry_msgs::msg::Point32>& zone,
                const std::vector<geometry_msgs::msg::PoseStamped>& poses = {},
                bool forbid_fuzzy_goal = false) {
    Goal goal;
    goal.goal_zone = zone;
    goal.goal_poses = poses;
    goal.goal_mode = 3;
    goal.action_id = 8;
    goal.forbid_fuzzy_goal = forbid_fuzzy_goal;
    passGoal(*planner_, goal);
    return planner_->makePlan(poses, paths_);
  }

  // Where the search was sent.
  geometry_msgs::msg::PoseStamped searchedGoal() const {
    return AstarPlannerProbe::lastCall(*engine_).goal;
  }

  std::shared_ptr<GridMapROS> map_;
  std::shared_ptr<AstarPlanner> engine_;
  std::shared_ptr<GlobalAstarGoalZonePlanning> planner_;
  vantrell_nav2_protocol::msg::MultiPaths paths_;
};

TEST_F(GoalZoneTest, ASquareZoneOnFreeGroundIsEnteredAtItsCentreWhateverTheGoalPoses) {
  build(freeRows(40, 40));
  ASSERT_TRUE(planInto(rectangle(1.0, 1.0, 2.0, 2.0), {pose(3.5, 3.5)}, true));
  EXPECT_EQ(paths_.paths.size(), 1u);

  const auto goal = searchedGoal();
  EXPECT_NEAR(goal.pose.position.x, 1.5, 1e-6);
  EXPECT_NEAR(goal.pose.position.y, 1.5, 1e-6);
  EXPECT_EQ(goal.pose.position.z, 0.0);
  EXPECT_EQ(goal.pose.orientation.w, 1.0);
  EXPECT_EQ(goal.header.frame_id, "map");
  // The zone keeps the fuzzy range on the goal side even when the goal forbids it.
  EXPECT_EQ(recordBytes(AstarPlannerProbe::lastCall(*engine_).options), expectedRecord(0.8, 0.8));
  EXPECT_EQ(planner_->getErrorCode(), 0);

  const auto lines = log_->lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].text,
            "GlobalAstarGoalZonePlanning, global planner received goal data, goal pose size 1, "
            "and goal zone points size:4, goal_mode: 3, action id8, "
            "covered_points_frm_taskcenter size:0");
  EXPECT_EQ(linesStartingWith(lines,
                              "------>makePlan  get goal zone, size:4, goal_mode: 3, "
                              "action id:8")
                .size(),
            1u);
  EXPECT_EQ(linesStartingWith(lines, "------>goal_zone size: 4, map size: 40, 40").size(), 1u);
  EXPECT_EQ(linesStartingWith(lines, "------>new goal: ").size(), 1u);
}

TEST_F(GoalZoneTest, EquallyDeepCellsGoToTheFirstInRowMajorOrder) {
  build(freeRows(40, 40));
  // Cells 10..30 x 10..14: the middle row is three cells deep from column 12 to 28.
  const auto best = planner_->findBestStartPointInContours(rectangle(1.0, 1.0, 3.0, 1.4), map_);
  ASSERT_EQ(best.size(), 1u);
  EXPECT_NEAR(best[0].pose.position.x, 1.2, 1e-6);
  EXPECT_NEAR(best[0].pose.position.y, 1.2, 1e-6);
  EXPECT_EQ(best[0].header.frame_id, "map");
}

TEST_F(GoalZoneTest, ABlockedCellInsideTheZonePushesTheGoalAwayFromIt) {
  auto rows = freeRows(40, 40);
  rows[15][12] = '#';
  build(rows);
  ASSERT_TRUE(planInto(rectangle(1.0, 1.0, 2.0, 2.0)));
  const auto goal = searchedGoal();
  // The centre (1.5, 1.5) lies only three cells from the blocked one.
  const double from_block = std::hypot(goal.pose.position.x - 1.2, goal.pose.position.y - 1.5);
  EXPECT_GT(from_block, 0.35);
  EXPECT_GT(goal.pose.position.x, 1.5);
  EXPECT_LE(goal.pose.position.x, 2.0);
  EXPECT_GE(goal.pose.position.y, 1.0);
  EXPECT_LE(goal.pose.position.y, 2.0);
}

// The zone search used to fall back on cell (0, 0) when nothing in the zone was free.
TEST_F(GoalZoneTest, AZoneWithoutFreeCellsFailsInsteadOfHeadingForTheMapCorner) {
  auto rows = freeRows(40, 40);
  for (int y = 8; y <= 22; ++y) {
    for (int x = 8; x <= 22; ++x) {
      rows[y][x] = '#';
    }
  }
  build(rows);
  EXPECT_FALSE(planInto(rectangle(1.0, 1.0, 2.0, 2.0)));
  EXPECT_EQ(planner_->getErrorCode(), kGlobalPlanFailed);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 0u);
  const auto lines = log_->lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().level, "WARN");
  EXPECT_EQ(lines.back().text,
            "------>Global Astar Goal Zone Planning can't find best final point");
  EXPECT_TRUE(planner_->findBestStartPointInContours(rectangle(1.0, 1.0, 2.0, 2.0), map_).empty());
}

TEST_F(GoalZoneTest, ZonePointsOffTheMapAreSkippedAndTooFewLeftFail) {
  build(freeRows(40, 40));
  // One point off the map: the triangle of the other three is searched.
  ASSERT_TRUE(
      planInto({point32(1.0, 1.0), point32(2.0, 1.0), point32(2.0, 2.0), point32(-50.0, 80.0)}));
  const auto goal = searchedGoal();
  EXPECT_GT(goal.pose.position.x, goal.pose.position.y);
  EXPECT_GE(goal.pose.position.y, 1.0);

  // Two off the map leave a line of two cells, which encloses nothing.
  planner_->setErrorCode(0);
  log_->clear();
  EXPECT_FALSE(
      planInto({point32(1.0, 1.0), point32(2.0, 1.0), point32(9.0, 2.0), point32(-1.0, 2.0)}));
  EXPECT_EQ(planner_->getErrorCode(), kGlobalPlanFailed);
  EXPECT_EQ(linesStartingWith(log_->lines(),
                              "------>Global Astar Goal Zone Planning can't find best final point")
                .size(),
            1u);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 1u);
}

// A corner that is no number, or too far for one (1e30), tells nothing about the zone: skipped
// like one off the map, whatever the costmap would make of it as a cell.
TEST_F(GoalZoneTest, CornersThatAreNoNumberAreSkippedLikeThoseOffTheMap) {
  build(freeRows(40, 40));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  ASSERT_TRUE(
      planInto({point32(1.0, 1.0), point32(2.0, 1.0), point32(2.0, 2.0), point32(nan, 1.5)}));
  EXPECT_GT(searchedGoal().pose.position.x, searchedGoal().pose.position.y);

  for (const auto& far :
       {point32(1e30, 1.5), point32(1.5, 1e30), point32(-inf, 1.5), point32(1.5, nan)}) {
    SCOPED_TRACE(std::to_string(far.x) + ", " + std::to_string(far.y));
    planner_->setErrorCode(0);
    log_->clear();
    EXPECT_FALSE(planInto({point32(1.0, 1.0), point32(2.0, 1.0), point32(nan, inf), far}));
    EXPECT_EQ(planner_->getErrorCode(), kGlobalPlanFailed);
    EXPECT_EQ(
        linesStartingWith(log_->lines(), "------>Global Astar Goal Zone Planning can't find best")
            .size(),
        1u);
  }
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 1u);
}

TEST_F(GoalZoneTest, AGoalWithPosesButNoZoneFailsWithTheEmptyZoneWarning) {
  build(freeRows(40, 40));
  planner_->setErrorCode(4);
  EXPECT_FALSE(planInto({}, {pose(1.0, 1.0), pose(2.0, 2.0)}));
  EXPECT_EQ(planner_->getErrorCode(), 4);
  const auto lines = log_->lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().level, "WARN");
  EXPECT_EQ(lines.back().text, "------>Global Astar Goal Zone Planning get empty goal zone");
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 0u);
}

TEST_F(GoalZoneTest, AnUnreachableZoneOrAMissingPoseOrEngineFails) {
  auto rows = freeRows(40, 40);
  for (auto& row : rows) {
    row[6] = '#';
  }
  build(rows);
  EXPECT_FALSE(planInto(rectangle(1.0, 1.0, 2.0, 2.0)));
  EXPECT_EQ(planner_->getErrorCode(), kGlobalPlanFailed);
  EXPECT_EQ(log_->lines().back().text, "global planner failed, error code is 101100007");

  planner_->setErrorCode(0);
  vantrell_nav2_gridmap::testing::removeRobotPose(*map_);
  EXPECT_FALSE(planInto(rectangle(1.0, 1.0, 2.0, 2.0)));
  EXPECT_EQ(planner_->getErrorCode(), 0);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 1u);

  GlobalAstarGoalZonePlanning no_engine(makeNode(), map_);
  Goal goal;
  goal.goal_zone = rectangle(1.0, 1.0, 2.0, 2.0);
  passGoal(no_engine, goal);
  EXPECT_FALSE(no_engine.makePlan({}, paths_));
  EXPECT_TRUE(no_engine.findBestStartPointInContours(goal.goal_zone, nullptr).empty());
}

}  // namespace
}  // namespace global_planners_test
