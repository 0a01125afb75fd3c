#include "planning/global_planning/astar_uptake_water_planning.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "planner_fixtures.hpp"

namespace global_planners_test {
namespace {

using planning::AstarUptakeWaterPlanning;

// 11 m x 2 m; a wall across at x = 4.0 m cuts off everything beyond it.
std::vector<std::string> corridorWithWall() {
  auto rows = freeRows(110, 20);
  for (auto& row : rows) {
    row[40] = '#';
  }
  return rows;
}

const std::string kTryHead = "try  AstarUptakeWaterPlanning  planner try no:";

class UptakeWaterTest : public PlannerTest {
 protected:
  void SetUp() override {
    PlannerTest::SetUp();
    placeRobot(*map_, 1.0, 1.0);
    engine_ = engineOn(map_);
  }

  std::unique_ptr<AstarUptakeWaterPlanning> makePlanner(double fuzzy_range) {
    auto planner = std::make_unique<AstarUptakeWaterPlanning>(makeNode(fuzzy_range), map_);
    planner->setGlobalPlanner(engine_);
    return planner;
  }

  std::shared_ptr<GridMapROS> map_ = drawnGrid(corridorWithWall());
  std::shared_ptr<AstarPlanner> engine_;
};

TEST_F(UptakeWaterTest, AReachableGoalTakesOneSearchWithTheFuzzyRangeOnBothSides) {
  auto planner = makePlanner(0.5);
  planner->setGoalFlags({true, false, false});  // not looked at
  vantrell_nav2_protocol::msg::MultiPaths paths;
  auto first = pose(3.0, 1.0, 0.7);
  ASSERT_TRUE(planner->makePlan({first, pose(9.0, 1.0)}, paths));

  EXPECT_EQ(paths.paths.size(), 1u);
  const AstarCall call = AstarPlannerProbe::lastCall(*engine_);
  EXPECT_EQ(call.calls, 1u);
  EXPECT_EQ(call.goal, first);
  EXPECT_EQ(recordBytes(call.options), expectedRecord(0.5, 0.5));
  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "AstarUptakeWaterPlanning  planner goal size:2");
  EXPECT_EQ(planner->getErrorCode(), 0);
}

TEST_F(UptakeWaterTest, AFailedGoalIsPulledHalfwayTowardsTheRobotUntilOneIsReachable) {
  auto planner = makePlanner(0.5);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  auto far = pose(9.0, 1.0, 1.2, "map");
  far.pose.position.z = 0.4;
  ASSERT_TRUE(planner->makePlan({far}, paths));
  EXPECT_EQ(paths.paths.size(), 1u);

  // 9.0 (wall between), then 5.0 (still behind the wall), then 3.0.
  const AstarCall call = AstarPlannerProbe::lastCall(*engine_);
  EXPECT_EQ(call.calls, 3u);
  geometry_msgs::msg::PoseStamped expected_goal;  // no frame, identity orientation, z = 0
  expected_goal.pose.position.x = 3.0;
  expected_goal.pose.position.y = 1.0;
  EXPECT_EQ(call.goal, expected_goal);

  const auto tries = linesStartingWith(log_->lines(), kTryHead);
  const std::vector<std::string> expected = {
      kTryHead + "0, goal pose 9.000, 1.000, curren_pose:1.000, 1.000",
      kTryHead + "0 goal pose 5.000, 1.000",
      kTryHead + "1, goal pose 5.000, 1.000, curren_pose:1.000, 1.000",
      kTryHead + "1 goal pose 3.000, 1.000",
  };
  ASSERT_EQ(tries.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(tries[i].level, "INFO");
    EXPECT_EQ(tries[i].text, expected[i]);
  }
  EXPECT_EQ(planner->getErrorCode(), 0);
}

TEST_F(UptakeWaterTest, TenFailedRetriesEndWithTheFirstGoalInTheError) {
  // The robot stands on the wall and may not step out: no search can succeed.
  placeRobot(*map_, 4.0, 1.0);
  auto planner = makePlanner(0.0);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(planner->makePlan({pose(12.0, 1.0)}, paths));

  const AstarCall call = AstarPlannerProbe::lastCall(*engine_);
  EXPECT_EQ(call.calls, 11u);
  // Ten halvings of the 8 m between goal and robot.
  EXPECT_DOUBLE_EQ(call.goal.pose.position.x, 4.0 + 8.0 / 1024.0);

  const auto lines = log_->lines();
  const auto tries = linesStartingWith(lines, kTryHead);
  ASSERT_EQ(tries.size(), 20u);
  for (int i = 0; i < 10; ++i) {
    const std::string number = std::to_string(i);
    EXPECT_EQ(tries[2 * i].text.substr(0, kTryHead.size() + number.size() + 1),
              kTryHead + number + ",");
    EXPECT_EQ(tries[2 * i + 1].text.substr(0, kTryHead.size() + number.size() + 1),
              kTryHead + number + " ");
  }
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().level, "ERROR");
  EXPECT_EQ(lines.back().text, "global planner failed:12, 1, error code is 101100007");
  EXPECT_EQ(planner->getErrorCode(), kGlobalPlanFailed);
}

TEST_F(UptakeWaterTest, MissingPoseGoalsOrEngineFailWithoutSearching) {
  auto planner = makePlanner(1.0);
  planner->setErrorCode(21);
  vantrell_nav2_protocol::msg::MultiPaths paths;

  EXPECT_FALSE(planner->makePlan({}, paths));
  auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "AstarUptakeWaterPlanning  planner goal size:0");
  EXPECT_EQ(lines[1].level, "ERROR");
  EXPECT_EQ(lines[1].text, "AstarUptakeWaterPlanning goal empty");

  AstarUptakeWaterPlanning no_engine(makeNode(), map_);
  EXPECT_FALSE(no_engine.makePlan({pose(3.0, 1.0)}, paths));

  vantrell_nav2_gridmap::testing::removeRobotPose(*map_);
  log_->clear();
  EXPECT_FALSE(planner->makePlan({pose(3.0, 1.0)}, paths));
  EXPECT_TRUE(log_->lines().empty());

  EXPECT_EQ(planner->getErrorCode(), 21);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 0u);
}

// A retry the engine answers with true but no path ends the retries: the goal has failed.
TEST_F(UptakeWaterTest, ARetryFoundWithoutAPathEndsTheRetriesAsAFailure) {
  int searches = 0;
  AstarPlannerProbe::script(
      *engine_,
      [&searches](const auto&, const auto&, const auto&,
                  vantrell_nav2_protocol::msg::MultiPaths& paths) -> std::optional<bool> {
        paths.paths.clear();
        return ++searches >= 3;
      });
  auto planner = makePlanner(1.0);
  vantrell_nav2_protocol::msg::MultiPaths paths;
  EXPECT_FALSE(planner->makePlan({pose(9.0, 1.0)}, paths));
  EXPECT_EQ(searches, 3);
  EXPECT_EQ(planner->getErrorCode(), kGlobalPlanFailed);
  EXPECT_EQ(linesStartingWith(log_->lines(), kTryHead).size(), 4u);
  EXPECT_EQ(log_->lines().back().text, "global planner failed:9, 1, error code is 101100007");
}
}  // namespace
}  // namespace global_planners_test
