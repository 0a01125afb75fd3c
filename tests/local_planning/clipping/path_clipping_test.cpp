// The searches the strategies share, on drawn maps with the real engine: what the engine last
// received, and how often, tells the sequence of attempts.

#include <gtest/gtest.h>

#include <limits>

#include "clipping_fixtures.hpp"
#include "planning/local_planning/follow_path_planning.hpp"
#include "planning/local_planning/sharp_angle_planning.hpp"

namespace clipping_test {
namespace {

using planning::FollowPathPlanning;

TEST_F(ClippingTest, ParametersAreDeclaredWhenMissingAndCostmapValueTruncatedToAByte) {
  drawFloor(freeRows());
  node_->declare_parameter("jump_point_dis", 0.9);
  make<FollowPathPlanning>();
  EXPECT_DOUBLE_EQ(node_->get_parameter("goal_inflation_radius").as_double(), 0.25);
  EXPECT_DOUBLE_EQ(node_->get_parameter("max_goal_dis").as_double(), 3.0);
  EXPECT_FALSE(node_->get_parameter("make_plan_from_current_pose").as_bool());
  EXPECT_DOUBLE_EQ(node_->get_parameter("jump_point_dis").as_double(), 0.9);
  EXPECT_EQ(node_->get_parameter("tolerance_zero_index_count").as_int(), 2);
  // Every strategy reads the same names: the next one must not declare them again.
  EXPECT_EQ(make<planning::SharpAnglePlanning>()->costLimit(), 50);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const auto& [value, byte] : {std::pair<double, int>{300.7, 44},
                                    {-1.0, 255},
                                    {255.9, 255},
                                    {256.0, 0},
                                    {1e300, 0},
                                    {nan, 50}}) {
    SCOPED_TRACE(value);
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("clipping_test");
    node_->declare_parameter("costmap_value", value);
    EXPECT_EQ(make<FollowPathPlanning>()->costLimit(), byte);
  }
}

// Paths from (0.5, 1.5); a pen around pose 5, around the robot at (0.4, 0.4), or a block over
// poses 15 to 34 whose inner poses lie more than 0.5 m from any free cell.
TEST_F(ClippingTest, JumpPointsMoveTheGoalTwoPosesAndStartAtTheRobotFromTheTenthAttempt) {
  const struct {
    const char* name;
    bool start_penned, robot_penned, block, prefilled;
    int window, start, end;
    bool result;
    int moved_end, last_goal;
    size_t calls;
    bool from_robot;
  } cases[] = {
      {"start penned: the 10th attempt finds it", true, false, false, false, kWidth, 5, 10, true,
       30, 30, 10, true},
      {"the 5th goal from the start is reachable", false, false, true, false, kWidth, 10, 21, true,
       31, 31, 5, false},
      {"goal already last, nothing reachable", true, true, false, false, kWidth, 5, 50, true, 50,
       50, 500, true},
      {"a goal off the local map", true, false, false, false, 30, 5, 22, false, 26, 24, 1, false},
      {"a detour in hand", false, false, false, true, kWidth, 5, 10, true, 10, 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rows rows = freeRows();
    if (c.start_penned) drawWalls(rows, 8, 13, 12, 17, true);
    if (c.robot_penned) drawWalls(rows, 2, 2, 6, 6, true);
    if (c.block) drawWalls(rows, 20, 9, 39, 21, false);
    drawFloor(rows, c.window);
    Path path = pathAlongX(0.5, 1.5, 51);
    Path out = c.prefilled ? pathAlongX(9.0, 9.0, 3) : Path();
    PoseStamped robot = pose(0.4, 0.4);
    int end = c.end;
    bool from_robot = false;
    EXPECT_EQ(make<FollowPathPlanning>()->localCostmapJumpPointPlanning(c.start, end, from_robot,
                                                                        robot, path, out),
              c.result);
    EXPECT_EQ(end, c.moved_end);
    EXPECT_EQ(from_robot, c.from_robot);
    const AstarCall call = lastCall(local_engine_);
    EXPECT_EQ(call.calls, c.calls);
    if (c.calls > 0) {
      EXPECT_EQ(call.goal, path.nav_path.poses[c.last_goal]);
      EXPECT_EQ(call.start, c.from_robot ? robot : path.nav_path.poses[c.start]);
    }
  }
}

TEST_F(ClippingTest, GlobalRetriesWaitThreeFailuresThenTryTenTimes) {
  const struct {
    const char* name;
    unsigned fails, tries;
    int start;
    unsigned fails_after, tries_after;
    int end;
    bool searched;
  } cases[] = {
      {"first failure", 0, 0, 20, 1, 0, -7, false},
      {"third failure", 2, 0, 20, 3, 0, -7, false},
      {"fourth failure: 10 poses on", 3, 0, 20, 4, 1, 30, true},
      {"10th try", 5, 9, 35, 6, 10, 45, true},
      {"11th try", 3, 10, 20, 4, 11, -7, false},
      {"no start index", 3, 0, -1, 4, 1, -7, false},
      {"no candidate before the last pose", 3, 0, 45, 4, 1, 50, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    drawFloor(freeRows());
    log_->clear();
    Path path = pathAlongX(0.5, 1.5, 51);
    Path out;
    PoseStamped robot = pose(0.5, 0.5);
    int end = -7;
    unsigned fails = c.fails;
    unsigned tries = c.tries;
    EXPECT_TRUE(make<FollowPathPlanning>()->globalCostmapJumpPointPlanning(
        c.start, end, fails, tries, robot, path, out));
    EXPECT_EQ(fails, c.fails_after);
    EXPECT_EQ(tries, c.tries_after);
    EXPECT_EQ(end, c.end);
    EXPECT_EQ(lastCall(global_engine_).calls, c.searched ? 1u : 0u);
    EXPECT_EQ(out.nav_path.poses.empty(), !c.searched);
    EXPECT_EQ(logged("[ERROR] LocalWayPoints::makePlan tryToMakePlanInGlobalCostmap failed, "
                     "error code is 101100006"),
              c.end == 50 ? 1u : 0u);
  }
}

// A wall at x = 5.0 open at its far end: from (4.5, 0.5) the path beyond it (x from 5.5) is
// about 19 m away by grid search.
TEST_F(ClippingTest, GlobalSearchTakesEveryTenthPoseWithinItsLimits) {
  Rows rows = freeRows(100, 100);
  drawWalls(rows, 50, 0, 50, 94, false);
  const struct {
    const char* name;
    double robot_x;
    int index, max_tries;
    bool result;
    int moved_index;
    size_t calls;
    bool found;
  } cases[] = {
      {"detours of 15 m or more dropped; max_tries + 1 candidates", 4.5, 0, 2, true, 30, 3, false},
      {"a candidate at the last pose is not searched", 4.5, 30, 5, false, 40, 0, false},
      {"no candidate left", 4.5, 35, 5, false, 40, 0, false},
      {"candidates more than 15 m away skipped", -20.0, 0, 1, true, 20, 0, false},
      {"a short detour taken", 5.2, 0, 5, true, 10, 1, true},
      {"a negative index refused", 5.2, -3, 5, false, -3, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    drawFloor(rows);
    Path path = pathAlongX(5.5, 0.5, 41);
    Path out;
    PoseStamped robot = pose(c.robot_x, 0.5);
    int index = c.index;
    EXPECT_EQ(make<FollowPathPlanning>()->tryToMakePlanInGlobalCostmap(path, index, robot, out,
                                                                       c.max_tries),
              c.result);
    EXPECT_EQ(index, c.moved_index);
    EXPECT_EQ(lastCall(global_engine_).calls, c.calls);
    EXPECT_EQ(!out.nav_path.poses.empty(), c.found);
  }
}

}  // namespace
}  // namespace clipping_test
