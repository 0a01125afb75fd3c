// The three strategies as an owner drives them, on drawn maps with the real engine: the path
// they make, what the owner hears, and the owner's counters.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "clipping_fixtures.hpp"
#include "planning/local_planning/avoid_obstacle_planning.hpp"
#include "planning/local_planning/follow_path_planning.hpp"
#include "planning/local_planning/sharp_angle_planning.hpp"

namespace clipping_test {
namespace {

class StrategyTest : public ClippingTest {
 protected:
  // One cycle; `out_` holds an earlier detour, as the owner's working path may.
  void run(planning::PathClippingBase& strategy, int obstacle_index, int zero_index_count,
           bool far = false) {
    out_ = stale_;
    EXPECT_TRUE(strategy.generatePath(obstacle_index, zero_index_count, far, fails_, tries_, robot_,
                                      path_, out_));
  }

  void expectUnchanged() {
    EXPECT_EQ(heard_, std::vector<bool>{false});
    EXPECT_EQ(path_, original_);
    EXPECT_TRUE(out_.nav_path.poses.empty());
  }

  const Path stale_ = pathAlongX(9.0, 9.0, 3);
  Path original_ = pathAlongX(0.5, 1.5, 51);
  Path path_ = original_;
  Path out_;
  PoseStamped robot_ = pose(0.5, 1.0);
  unsigned fails_ = 0;
  unsigned tries_ = 0;
};

TEST_F(StrategyTest, FollowPathReportsAGoodPathAndTouchesNothing) {
  drawFloor(freeRows());
  run(*make<planning::FollowPathPlanning>(), 7, 3, true);
  EXPECT_EQ(heard_, std::vector<bool>{true});
  EXPECT_EQ(path_, original_);
  EXPECT_EQ(out_, stale_);
}

// Obstacles on the local map only: a block over poses 15 to 17; a pen round pose 14 whose
// goals lie beyond the reach of its inside; a wall over poses 10 to 12 across a local map that
// ends at x = 2.95, so that the goal is the last pose on it and the first jump point leaves it.
// The global detour ignores the wall the local map sees, so it is no success either.
TEST_F(StrategyTest, AvoidObstacleSplicesTheDetourOrCountsTheFailure) {
  enum Obstacle { kBlock, kPen, kWall };
  const struct {
    const char* name;
    Obstacle obstacle;
    bool from_current, far;
    int obstacle_index;
    unsigned fails;
    bool heard;
    size_t local_calls, global_calls;
    bool from_robot;
  } cases[] = {
      {"first search from the pose before the block", kBlock, false, false, 14, 0, true, 1, 0,
       false},
      {"make_plan_from_current_pose: one search from the robot", kBlock, true, false, 14, 0, true,
       1, 0, true},
      {"far from the path: one search from the robot", kBlock, false, true, 14, 0, true, 1, 0,
       true},
      {"penned start: found from the robot at the 10th jump", kPen, false, false, 14, 0, true, 11,
       0, true},
      {"wall: a failure waits for the next cycle", kWall, false, false, 9, 1, false, 1, 0, false},
      {"wall, fourth failure: the global detour crosses the wall", kWall, false, false, 9, 3, false,
       1, 1, true},
      {"obstacle index off the path", kBlock, false, false, -1, 0, false, 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("clipping_test");
    node_->declare_parameter("make_plan_from_current_pose", c.from_current);
    node_->declare_parameter("goal_inflation_radius", c.obstacle == kPen ? 0.65 : 0.25);
    drawFloor(freeRows(), c.obstacle == kWall ? 30 : kWidth);
    if (c.obstacle == kBlock) injectLocalWalls(20, 13, 22, 17, false);
    if (c.obstacle == kPen) injectLocalWalls(17, 13, 21, 17, true);
    if (c.obstacle == kWall) injectLocalWalls(15, 0, 17, kHeight - 1, false);
    log_->clear();
    heard_.clear();
    path_ = original_;
    fails_ = c.fails;
    tries_ = 0;
    run(*make<planning::AvoidObataclePlanning>(), c.obstacle_index, 0, c.far);
    EXPECT_EQ(lastCall(local_engine_).calls, c.local_calls);
    EXPECT_EQ(lastCall(global_engine_).calls, c.global_calls);
    EXPECT_EQ(fails_, c.obstacle == kWall ? c.fails + 1 : c.fails);
    EXPECT_EQ(tries_, c.global_calls);
    EXPECT_EQ(logged("[ERROR] localCostmapJumpPointPlanning failed"),
              c.obstacle == kWall ? 1u : 0u);
    if (!c.heard) {
      expectUnchanged();
      EXPECT_EQ(logged("[ERROR] local planner failed, error code is 101100006"), 1u);
      continue;
    }
    EXPECT_EQ(heard_, std::vector<bool>{true});
    const auto& engine = c.global_calls > 0 ? global_engine_ : local_engine_;
    const size_t goal = indexOf(original_, lastCall(engine).goal);
    ASSERT_LT(goal, original_.nav_path.poses.size());
    const size_t kept = c.from_robot ? 0 : static_cast<size_t>(c.obstacle_index);
    expectSpliced(path_, original_, kept, c.from_robot ? robot_ : original_.nav_path.poses[kept],
                  goal);
    // At or past max_goal_dis (3 m) of path, or the last pose on the local map before it.
    EXPECT_GE(goal, c.obstacle == kWall ? 24U : 30U);
    EXPECT_EQ(posesInDanger(path_), 0U);
  }
}

// The robot with its inflation, a wall 0.3 m beside the path's start and a block across the path
// at x = 2.1: the poses near the wall cost more than "costmap_value" without being in danger.
// The detour must still run from the pose before the block to a goal beyond it, and a detour
// that would cross a pose in danger is a failed cycle.
TEST_F(StrategyTest, AvoidObstacleGoesBeyondTheObstacleWhenCostlyPosesComeBeforeIt) {
  Rows rows = freeRows();
  drawWalls(rows, 0, 18, 9, 18, false);
  drawFloor(rows, kWidth, vantrell_nav2_gridmap::GridMapParams());
  injectLocalWalls(21, 10, 22, 20, false);
  const int obstacle_index = 13;
  ASSERT_EQ(posesInDanger(pathAlongX(0.5, 1.5, obstacle_index + 1)), 0U);
  ASSERT_EQ(posesInDanger(pathAlongX(0.5, 1.5, obstacle_index + 2)), 1U);
  run(*make<planning::AvoidObataclePlanning>(), obstacle_index, 0);
  EXPECT_EQ(heard_, std::vector<bool>{true});
  const size_t goal = indexOf(original_, lastCall(local_engine_).goal);
  EXPECT_GE(goal, 30U);
  EXPECT_TRUE(samePosition(lastCall(local_engine_).start, original_.nav_path.poses[13]));
  expectSpliced(path_, original_, obstacle_index, original_.nav_path.poses[13], goal);
  EXPECT_EQ(posesInDanger(path_), 0U);

  // A block across the whole floor on the local map: any detour crosses it.
  injectLocalWalls(21, 0, 22, kHeight - 1, false);
  heard_.clear();
  path_ = original_;
  fails_ = 3;
  run(*make<planning::AvoidObataclePlanning>(), obstacle_index, 0);
  expectUnchanged();
}

// The look-ahead is jump_point_dis (0.7) plus 0.1 m per stuck cycle, counted from 0.01 m.
TEST_F(StrategyTest, SharpAngleSearchesFromTheRobotToAPoseAhead) {
  const struct {
    const char* name;
    int poses, zero_index_count, window;
    bool penned;
    int goal;
    bool whole_path;
    const char* trace;
  } cases[] = {
      {"one pose", 1, 2, kWidth, false, 0, true,
       "sum_disturce=0.01;jump_point_dis_=0.7;end_index=0;"},
      {"within jump_point_dis: the whole path", 5, 2, kWidth, false, 4, true, ";end_index=0;"},
      {"three stuck cycles: the pose before 1.0 m", 51, 3, kWidth, false, 9, false,
       ";end_index=9;"},
      {"end reached beyond jump_point_dis: the last pose", 9, 2, kWidth, false, 8, false,
       ";end_index=0;"},
      {"a pose off the local map ends the look-ahead", 51, 2, 13, false, 7, false, ";end_index=7;"},
      {"penned robot, short path", 5, 2, kWidth, true, 4, true, ""},
      {"penned robot, long path", 51, 2, kWidth, true, 9, false, ""},
      {"no poses", 0, 2, kWidth, false, -1, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rows rows = freeRows();
    drawWalls(rows, 40, 2, 44, 6, true);
    drawFloor(rows, c.window);
    log_->clear();
    heard_.clear();
    robot_ = c.penned ? pose(4.2, 0.4) : pose(0.5, 1.0);
    original_ = pathAlongX(0.5, 1.5, c.poses);
    path_ = original_;
    auto strategy = make<planning::SharpAnglePlanning>();
    strategy->setTraceLogger(std::make_shared<LogPublisher>(node_));
    run(*strategy, -1, c.zero_index_count);
    EXPECT_EQ(logged("[WARN] SharpAnglePlanning failed worldToMap!!!"),
              c.window < kWidth ? 1u : 0u);
    if (c.penned || c.poses == 0) {
      expectUnchanged();
      continue;
    }
    EXPECT_EQ(heard_, std::vector<bool>{true});
    EXPECT_EQ(
        logged(std::string(c.trace) + "zero_index_count=" + std::to_string(c.zero_index_count)),
        1u);
    const AstarCall call = lastCall(local_engine_);
    EXPECT_EQ(call.start, robot_);
    EXPECT_EQ(call.goal, original_.nav_path.poses[c.goal]);
    if (c.whole_path) {
      EXPECT_EQ(path_.nav_path.poses, out_.nav_path.poses);
      EXPECT_EQ(logged("sum_disturce <= jump_point_dis path_msg.pose.size()=" +
                       std::to_string(out_.nav_path.poses.size())),
                1u);
    } else {
      expectSpliced(path_, original_, 0, robot_, c.goal);
    }
  }
}

}  // namespace
}  // namespace clipping_test
