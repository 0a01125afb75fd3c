// How "dijkstra" and "dijkstra_goalzone" shape the smoothed path for the robot's movement: the
// straight approach with the goal heading, the backward choice, and a cycle without robot pose.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "planners_fixture.hpp"
#include "planning/local_planning/local_astar.hpp"

namespace planners_test {
namespace {

using local_base_test::yawOf;

enum class Shape { kLineToGoal, kForward, kBackward };

TEST_F(PointToPoint, GridSearchApproachesTheGoalStraightOrBackwardWhereTheRulesAllow) {
  struct Case {
    const char* name;
    const char* key;
    double half_width, robot_yaw, goal_x, goal_y, threshold;
    std::vector<cv::Vec4d> walls;
    uint8_t backward_allowed;
    int32_t mode;
    Shape shape;
  };
  const cv::Vec4d on_the_line{0.8, 1.3, 1.0, 1.5};
  // clang-format off
  const std::vector<Case> cases{
      {"goal within reach", keys::kDijkstra, 0.3, 0.0, 0.4, 1.25, 0.0, {}, 0, 0, Shape::kLineToGoal},
      {"clear line", keys::kDijkstra, 0.1, 0.0, 1.4, 1.8, 1.0, {}, 0, 0, Shape::kLineToGoal},
      {"blocked line", keys::kDijkstra, 0.1, 0.0, 1.4, 1.8, 1.0, {on_the_line}, 0, 0, Shape::kForward},
      {"backward mode", keys::kDijkstra, 0.1, 0.0, 4.0, 0.0, 0.0, {}, 1, 502, Shape::kBackward},
      {"backward not allowed", keys::kDijkstra, 0.1, 0.0, 4.0, 0.0, 0.0, {}, 0, 502, Shape::kForward},
      {"robot facing away", keys::kDijkstra, 0.1, M_PI, 4.0, 0.0, 0.0, {}, 1, 0, Shape::kBackward},
      {"goal zone backward", keys::kDijkstraGoalZone, 0.1, 0.0, 4.0, 0.0, 0.0, {}, 1, 502, Shape::kBackward}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    rclcpp::NodeOptions options;
    options.parameter_overrides({{"follow_goal_yaw_path_threshold", c.threshold}});
    startInRoom(c.walls, c.half_width, c.robot_yaw, options);
    auto goal = goalAlong(c.key);
    goal.use_goal_pose = true;
    goal.goal_pose = pose(c.goal_x, c.goal_y, M_PI / 2.0);
    goal.fuzzy_distance = 0.5F;
    goal.goal_flags = {0, c.backward_allowed, 0};
    goal.planning_mode = c.mode;

    const Reply reply = plan(goal);
    ASSERT_TRUE(reply.succeeded());
    const auto& poses = reply.result->local_path.nav_path.poses;
    ASSERT_GE(poses.size(), 3U);
    EXPECT_EQ(reply.result->local_path.move_backward, c.shape == Shape::kBackward);
    const double middle_yaw = yawOf(poses[poses.size() / 2]);
    if (c.shape == Shape::kLineToGoal) {
      // Every pose on the line from the robot, headed as the goal.
      for (const auto& p : poses) {
        const double t = std::clamp((p.pose.position.y - 1.0) / (c.goal_y - 1.0), 0.0, 1.0);
        EXPECT_NEAR(p.pose.position.x, 0.4 + t * (c.goal_x - 0.4), 1e-3);
      }
      EXPECT_NEAR(poses.back().pose.position.y, c.goal_y, 1e-6);
      EXPECT_NEAR(middle_yaw, M_PI / 2.0, 1e-6);
    } else {
      // East along the first piece, nose or tail first.
      EXPECT_GT(poses.back().pose.position.x, 1.0);
      EXPECT_NEAR(std::cos(middle_yaw - (c.shape == Shape::kBackward ? M_PI : 0.0)), 1.0, 0.05);
    }
  }
}

// Near the goal the path is turned round when the robot can turn at the goal only that way.
TEST_F(PointToPoint, GridSearchEndsHeadedForTheTurnTheRobotCanMakeAtTheGoal) {
  // A pocket round the goal at (1.2, 1.0), 0.3 m wide: a robot 0.24 m square fits, but cannot
  // turn there.
  startInRoom({{0.9, 0.8, 1.6, 0.8}, {0.9, 1.2, 1.6, 1.2}}, 0.12);
  auto goal = goalAlong(keys::kDijkstra, "pocket", {line(0.4, 1.0, 1.2, 1.0, 9)});
  goal.use_goal_pose = true;
  goal.goal_pose = pose(1.2, 1.0, M_PI);
  goal.fuzzy_distance = 0.5F;
  goal.goal_flags = {0, 1, 0};
  const Reply reply = plan(goal);
  ASSERT_TRUE(reply.succeeded());
  const auto& poses = reply.result->local_path.nav_path.poses;
  ASSERT_GE(poses.size(), 3U);
  EXPECT_FALSE(reply.result->local_path.move_backward);
  EXPECT_NEAR(std::cos(yawOf(poses[poses.size() / 2]) - M_PI), 1.0, 0.05);
}

// The pose vanishes while the engine searches: the planner plans with it, slot 14 runs without.
TEST_F(PointToPoint, WithoutARobotPoseTheMovementConstraintLeavesThePathAsPlanned) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {keys::kDijkstra,
       "updatePathWithMovementConstraint: no robot pose, the path is left as planned"},
      {keys::kDijkstraGoalZone, "makePlan getRobotPose failed, error code is 101100002"}};
  for (const auto& [key, complaint] : cases) {
    SCOPED_TRACE(key);
    startInRoom();
    auto local = maps_.local;
    AstarPlannerProbe::script(*planner().localEngine(),
                              [local](const auto&, const auto&, const auto&, auto& set) {
                                hooks::removeRobotPose(*local);
                                set.paths.resize(1);
                                set.paths[0].nav_path = line(0.4, 1.0, 1.4, 1.0, 11);
                                return std::optional<bool>(true);
                              });
    auto goal = goalAlong(key);
    // Backward by mode: judged from any pose, the path would be turned round.
    goal.goal_flags = {0, 1, 0};
    goal.planning_mode = 502;
    test_support::captureLog()->clear();

    const Reply reply = plan(goal);
    ASSERT_TRUE(reply.succeeded());
    EXPECT_FALSE(reply.result->local_path.move_backward);
    EXPECT_EQ(countLogged(key == keys::kDijkstra ? "WARN" : "ERROR", complaint), 1);
  }
}

TEST_F(PointToPoint, AnObstacleOnTheStraightApproachCountsOnTheMapAskedAndOnTheLocalMap) {
  auto maps = makeMaps({});
  // An obstacle only the local map knows of, beside the line at (1.0, 1.2).
  hooks::markObstacleCells(*maps.local, {{20, 22}});
  maps.local->getMultiGridMap()->updateMap();
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("has_obstacle_test");
  const auto planner =
      std::make_shared<planning::LocalAstar>(node, maps.global, maps.local, maps.zone);
  const NavPath path = line(0.0, 1.0, 2.0, 1.0, 21);

  // Within 0.25 m from x = 0.8 on; the nearest distance is carried over to every later pose.
  EXPECT_TRUE(planner->hasObstacle(maps.local, path, 21, 3, 0.25));
  EXPECT_TRUE(planner->hasObstacle(maps.global, path, 21, 3, 0.25));
  EXPECT_FALSE(planner->hasObstacle(maps.global, path, 8, 1, 0.25));
  EXPECT_FALSE(planner->hasObstacle(maps.global, path, 0, 1, 10.0));
  // A clean map that shares the local map's name is still another map.
  EXPECT_TRUE(planner->hasObstacle(makeMaps({}).local, path, 21, 3, 0.25));
  test_support::captureLog()->clear();
  EXPECT_TRUE(planner->hasObstacle(maps.local, line(4.0, 1.0, 6.0, 1.0, 21), 21, 50, 0.0));
  EXPECT_EQ(
      countLogged("WARN", "[DynamicCoveragePlanning] pathSmooter::worldToMap1 failed !!!!!!!"), 1);
}

}  // namespace
}  // namespace planners_test
