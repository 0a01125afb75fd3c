#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "planner_fixtures.hpp"
#include "planning/global_planning/astar_planning.hpp"
#include "planning/global_planning/astar_with_local_and_global_planning.hpp"

namespace global_planners_test {
namespace {

using planning::AstarPlanning;
using planning::AstarWithLocalAndGlobalPlanning;

// A room of 4 m x 2 m; the split one has a wall across at x = 2.0 m.
std::vector<std::string> splitRoom() {
  auto rows = freeRows(40, 20);
  for (auto& row : rows) {
    row[20] = '#';
  }
  return rows;
}

double distanceBetween(const geometry_msgs::msg::PoseStamped& a,
                       const geometry_msgs::msg::PoseStamped& b) {
  return std::hypot(a.pose.position.x - b.pose.position.x, a.pose.position.y - b.pose.position.y);
}

class AstarPlanningTest : public PlannerTest {
 protected:
  void SetUp() override {
    PlannerTest::SetUp();
    placeRobot(*open_map_, 0.5, 1.0);
    placeRobot(*split_map_, 0.5, 1.0);
  }

  std::shared_ptr<GridMapROS> open_map_ = drawnGrid(freeRows(40, 20));
  std::shared_ptr<GridMapROS> split_map_ = drawnGrid(splitRoom());
};

TEST_F(AstarPlanningTest, SearchesFromTheRobotToTheFirstGoalOnly) {
  AstarPlanning planner(makeNode(), open_map_);
  auto engine = engineOn(open_map_);
  planner.setGlobalPlanner(engine);
  Goal goal;
  goal.goal_poses = {pose(3.0, 1.0), pose(0.2, 0.2), pose(3.5, 1.5)};
  passGoal(planner, goal);

  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(planner.makePlan(goal.goal_poses, paths));
  ASSERT_EQ(paths.paths.size(), 1u);
  EXPECT_LT(distanceBetween(paths.paths[0].nav_path.poses.back(), pose(3.0, 1.0)), 1e-6);
  EXPECT_EQ(planner.getErrorCode(), 0);

  const AstarCall call = AstarPlannerProbe::lastCall(*engine);
  EXPECT_EQ(call.calls, 1u);
  EXPECT_EQ(call.goal, goal.goal_poses[0]);
  EXPECT_DOUBLE_EQ(call.start.pose.position.x, 0.5);
  EXPECT_DOUBLE_EQ(call.start.pose.position.y, 1.0);
  EXPECT_EQ(recordBytes(call.options), expectedRecord(1.0, 1.0));
}

TEST_F(AstarPlanningTest, ForbiddenFuzzyGoalZeroesOnlyTheGoalSideTolerance) {
  AstarPlanning planner(makeNode(0.75), open_map_);
  auto engine = engineOn(open_map_);
  planner.setGlobalPlanner(engine);
  vantrell_nav2_protocol::msg::MultiPaths paths;

  planner.setGoalFlags({true, false, true});
  ASSERT_TRUE(planner.makePlan({pose(3.0, 1.0)}, paths));
  EXPECT_EQ(recordBytes(AstarPlannerProbe::lastCall(*engine).options), expectedRecord(0.75, 0.0));

  planner.setGoalFlags({false, true, true});
  ASSERT_TRUE(planner.makePlan({pose(3.0, 1.0)}, paths));
  EXPECT_EQ(recordBytes(AstarPlannerProbe::lastCall(*engine).options), expectedRecord(0.75, 0.75));
}

TEST_F(AstarPlanningTest, AnUnreachableGoalFailsWithTheGlobalPlanFailureCode) {
  AstarPlanning planner(makeNode(), split_map_);
  planner.setGlobalPlanner(engineOn(split_map_));
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(planner.makePlan({pose(3.0, 1.0)}, paths));
  EXPECT_EQ(planner.getErrorCode(), kGlobalPlanFailed);
  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, "ERROR");
  EXPECT_EQ(lines[0].text, "global planner failed, error code is 101100007");
}

TEST_F(AstarPlanningTest, MissingPoseGoalsOrEngineFailQuietlyAndKeepTheErrorCode) {
  AstarPlanning planner(makeNode(), open_map_);
  auto engine = engineOn(open_map_);
  planner.setErrorCode(55);
  vantrell_nav2_protocol::msg::MultiPaths paths;

  // No engine handed over yet.
  EXPECT_FALSE(planner.makePlan({pose(3.0, 1.0)}, paths));

  planner.setGlobalPlanner(engine);
  EXPECT_FALSE(planner.makePlan({}, paths));

  vantrell_nav2_gridmap::testing::removeRobotPose(*open_map_);
  log_->clear();
  EXPECT_FALSE(planner.makePlan({pose(3.0, 1.0)}, paths));
  EXPECT_TRUE(log_->lines().empty());

  EXPECT_EQ(planner.getErrorCode(), 55);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine).calls, 0u);
  EXPECT_TRUE(paths.paths.empty());
}

class LocalAndGlobalTest : public AstarPlanningTest {
 protected:
  // The planner reads the robot from the global map; the local engine searches the local map.
  void build(const std::shared_ptr<GridMapROS>& local_map,
             const std::shared_ptr<GridMapROS>& global_map) {
    planner_ = std::make_shared<AstarWithLocalAndGlobalPlanning>(makeNode(), global_map);
    local_engine_ = engineOn(local_map, "global_local");
    global_engine_ = engineOn(global_map, "global");
    planner_->setLocalPlanner(local_engine_);
    planner_->setGlobalPlanner(global_engine_);
  }

  std::shared_ptr<AstarWithLocalAndGlobalPlanning> planner_;
  std::shared_ptr<AstarPlanner> local_engine_;
  std::shared_ptr<AstarPlanner> global_engine_;
};

TEST_F(LocalAndGlobalTest, ALocalPathIsFinalAndTheGlobalMapIsNotAsked) {
  build(open_map_, split_map_);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(planner_->makePlan({pose(3.0, 1.0), pose(0.1, 0.1)}, paths));
  ASSERT_EQ(paths.paths.size(), 1u);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*local_engine_).goal, pose(3.0, 1.0));
  EXPECT_EQ(recordBytes(AstarPlannerProbe::lastCall(*local_engine_).options),
            expectedRecord(1.0, 1.0));
  EXPECT_EQ(AstarPlannerProbe::lastCall(*global_engine_).calls, 0u);
  EXPECT_TRUE(log_->lines().empty());
}

TEST_F(LocalAndGlobalTest, ALocalFailureFallsBackToTheGlobalMapWithTheSameRecord) {
  build(split_map_, open_map_);
  planner_->setGoalFlags({true, false, false});
  vantrell_nav2_protocol::msg::MultiPaths paths;
  ASSERT_TRUE(planner_->makePlan({pose(3.0, 1.0)}, paths));

  ASSERT_EQ(paths.paths.size(), 1u);
  EXPECT_LT(distanceBetween(paths.paths[0].nav_path.poses.back(), pose(3.0, 1.0)), 1e-6);
  const AstarCall local = AstarPlannerProbe::lastCall(*local_engine_);
  const AstarCall global = AstarPlannerProbe::lastCall(*global_engine_);
  EXPECT_FALSE(local.found);
  EXPECT_TRUE(global.found);
  EXPECT_EQ(global.goal, pose(3.0, 1.0));
  EXPECT_EQ(recordBytes(local.options), expectedRecord(1.0, 0.0));
  EXPECT_EQ(recordBytes(global.options), expectedRecord(1.0, 0.0));
  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, "INFO");
  EXPECT_EQ(lines[0].text, "local planner failed, try global planner");
  EXPECT_EQ(planner_->getErrorCode(), 0);
}

TEST_F(LocalAndGlobalTest, BothMapsFailingGivesTheGlobalPlanFailureCode) {
  build(split_map_, split_map_);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(planner_->makePlan({pose(3.0, 1.0)}, paths));
  EXPECT_EQ(planner_->getErrorCode(), kGlobalPlanFailed);
  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "local planner failed, try global planner");
  EXPECT_EQ(lines[1].level, "ERROR");
  EXPECT_EQ(lines[1].text, "global planner failed, error code is 101100007");
  EXPECT_EQ(AstarPlannerProbe::lastCall(*global_engine_).calls, 1u);
}

TEST_F(LocalAndGlobalTest, MissingPoseGoalsOrEnginesFailWithoutSearching) {
  vantrell_nav2_protocol::msg::MultiPaths paths;
  AstarWithLocalAndGlobalPlanning bare(makeNode(), open_map_);
  EXPECT_FALSE(bare.makePlan({pose(3.0, 1.0)}, paths));
  bare.setLocalPlanner(engineOn(open_map_));
  EXPECT_FALSE(bare.makePlan({pose(3.0, 1.0)}, paths));

  build(open_map_, open_map_);
  planner_->setErrorCode(9);
  EXPECT_FALSE(planner_->makePlan({}, paths));
  vantrell_nav2_gridmap::testing::removeRobotPose(*open_map_);
  EXPECT_FALSE(planner_->makePlan({pose(3.0, 1.0)}, paths));
  EXPECT_EQ(planner_->getErrorCode(), 9);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*local_engine_).calls, 0u);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*global_engine_).calls, 0u);
  EXPECT_TRUE(paths.paths.empty());
}

// An engine may answer true and still leave no path: that is a failed search, never a plan.
TEST_F(LocalAndGlobalTest, ASearchThatFindsNoPathIsAFailure) {
  AstarPlanning planner(makeNode(), open_map_);
  auto engine = engineOn(open_map_);
  answerTrueWithoutAPath(*engine);
  planner.setGlobalPlanner(engine);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(planner.makePlan({pose(3.0, 1.0)}, paths));
  EXPECT_EQ(planner.getErrorCode(), kGlobalPlanFailed);
  EXPECT_EQ(log_->lines().back().text, "global planner failed, error code is 101100007");

  // A local engine answering so settles it: the global map is not asked.
  build(open_map_, open_map_);
  answerTrueWithoutAPath(*local_engine_);
  log_->clear();
  EXPECT_FALSE(planner_->makePlan({pose(3.0, 1.0)}, paths));
  EXPECT_EQ(planner_->getErrorCode(), kGlobalPlanFailed);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*local_engine_).calls, 1u);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*global_engine_).calls, 0u);
  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "global planner failed, error code is 101100007");
}
}  // namespace
}  // namespace global_planners_test
