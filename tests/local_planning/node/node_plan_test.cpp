// The road of a successful "local_planning" goal: what the planner is handed, what the result
// carries and what goes out; the per-goal speed, the result record across goals, the oscillation
// latch, and the node's blocked-goal test.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "node_fixture.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"

namespace local_node_test {
namespace {

using local_base_test::Probe;

class NodePlan : public LocalNodeTest {
 protected:
  void SetUp() override {
    LocalNodeTest::SetUp();
    buildNode();
    node_->test_planner_keys = {"scripted", keys::kDijkstra};
    bringUp();
  }
};

TEST_F(NodePlan, RunsTheWholeRoadAndFillsTheResult) {
  auto& script = planner().script;
  // The planner means to arrive heading 0.3 rad; its smoother turns the end to 1 rad.
  script.path.poses.back().pose.orientation = pose(0.0, 0.0, 0.3).pose.orientation;
  script.control = {0, 0, 0};
  script.corner_cut = true;
  script.cleaned_area = 2.5;
  script.residues = 1;
  auto goal = goalFor();
  goal.action_id = 77;
  goal.use_goal_pose = true;
  goal.goal_pose = pose(3.0, 2.0);
  goal.fuzzy_distance = 0.25F;
  goal.goal_flags = {0, 1, 1};
  goal.planning_mode = 7;

  const auto reply = plan(goal);
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(planner().goal_pose_given);
  EXPECT_EQ(planner().flags, (planning::NavLocalPlanning::GoalFlags{0, 1, 1}));
  EXPECT_EQ(planner().planning_mode, 7);
  EXPECT_EQ(planner().goal_pose.pose.position.x, 3.0);
  EXPECT_EQ(planner().fuzzy_distance, 0.25);
  const std::string frame = maps_.local->getCostmapROS()->getGlobalFrameID();
  EXPECT_TRUE(planner().working_path.poses.empty());
  EXPECT_EQ(planner().working_path.header.frame_id, frame);

  const auto& result = *reply.result;
  const auto& sent = result.local_path.nav_path;
  ASSERT_EQ(sent.poses.size(), 12U);
  EXPECT_DOUBLE_EQ(sent.poses.front().pose.position.x, 0.2);
  EXPECT_NEAR(local_base_test::yawOf(sent.poses.back()), 0.3, 1e-9);
  EXPECT_EQ(sent.header.frame_id, frame);
  EXPECT_EQ(result.cropped_global_paths, goal.global_paths);
  EXPECT_EQ(result.residues_zones.size(), 1U);
  EXPECT_FLOAT_EQ(result.spin_angle, 0.0F);
  EXPECT_FLOAT_EQ(result.target_yaw, 0.3F);
  EXPECT_FLOAT_EQ(result.speed_limit_percent, 0.8F);
  EXPECT_EQ(result.speed_limit.linear.x, std::numeric_limits<double>::max());
  EXPECT_EQ(result.near_obstacle, 0);
  EXPECT_EQ(result.spin_required, 0);
  EXPECT_EQ(result.spin_option, 1);
  EXPECT_EQ(result.finished, 0);
  EXPECT_EQ(result.control_flag, 0);
  EXPECT_EQ(result.action_id, 77);
  EXPECT_EQ(result.control_ok, 1);
  EXPECT_EQ(result.planner_flag, 1);
  EXPECT_EQ(result.need_replan, 0);
  EXPECT_FLOAT_EQ(result.cleaned_area, 2.5F);
  ASSERT_EQ(Probe::localPaths().count(), 1U);
  EXPECT_EQ(Probe::localPaths().kept().back(), sent);
  ASSERT_EQ(Probe::croppedGlobalPaths().count(), 1U);
  EXPECT_EQ(Probe::croppedGlobalPaths().kept().back(), goal.global_paths);

  const auto traces = logged("DEBUG");
  const auto traced = [&traces](const std::string& start) {
    return std::count_if(traces.begin(), traces.end(),
                         [&start](const auto& line) { return line.rfind(start, 0) == 0; });
  };
  EXPECT_EQ(traced("NavLocalPlanningServer current_planning_id is scripted, action id in local "
                   "palnning server 77"),
            1);
  EXPECT_EQ(traced("NavLocalPlanning::finished=0"), 1);
  for (const auto* stage : {"waitForCostmap", "updateAllGridMaps", "makePlan"}) {
    EXPECT_EQ(traced(std::string("NavLocalPlanningServer ") + stage + " time is "), 1) << stage;
  }
  const std::string smoother = "NavLocalPlanningServer::smoother use time is  ";
  ASSERT_EQ(traced(smoother), 1);
  for (const auto& line : traces) {
    if (line.rfind(smoother, 0) == 0) {
      // Whole milliseconds.
      EXPECT_EQ(line.find_first_not_of("0123456789", smoother.size()), line.size() - 3) << line;
    }
  }
  EXPECT_TRUE(logged("ERROR").empty());
  // The last lines follow the result; they are written before the next goal runs.
  ASSERT_TRUE(plan().succeeded());
  EXPECT_GE(countLogged("DEBUG", "local planning set spin ok."), 1);
}

TEST_F(NodePlan, TheGoalSpeedHoldsForThatGoalOnly) {
  // The grid-search planners ("dijkstra") run at point_nav_max_speed (1.0), the others at
  // non_welt_clean_max_speed (0.8); a goal speed above 0.0001 replaces both.
  const std::vector<std::tuple<std::string, float, float>> cases{
      {"scripted", 0.5F, 0.5F},      {"scripted", 0.0F, 0.8F},
      {keys::kDijkstra, 0.6F, 0.6F}, {keys::kDijkstra, 0.0001F, 1.0F},
      {"scripted", 0.0001F, 0.8F},   {keys::kDijkstra, -3.0F, 1.0F}};
  for (const auto& [key, speed, percent] : cases) {
    SCOPED_TRACE(key + " " + std::to_string(speed));
    auto goal = goalFor(key);
    goal.max_speed = speed;
    const auto reply = plan(goal);
    ASSERT_TRUE(reply.succeeded());
    EXPECT_FLOAT_EQ(reply.result->speed_limit_percent, percent);
  }
}

TEST_F(NodePlan, ResultRecordOutlivesAFailedGoalAndSeedsTheNextWorkingPath) {
  auto first = goalFor();
  first.action_id = 1;
  first.use_goal_pose = true;
  const auto good = plan(first);
  ASSERT_TRUE(good.succeeded());

  planner().script.answer = false;
  planner().script.need_replan = true;
  auto second = goalFor();
  second.action_id = 2;
  second.global_path_uuid = second.global_paths.uuid = "uuid-2";
  const auto bad = plan(second);
  ASSERT_TRUE(bad.aborted());
  // The failure sends a fresh result that carries only need_replan...
  LocalPlanning::Result expected;
  expected.need_replan = 1;
  EXPECT_EQ(*bad.result, expected);
  // ...while the record keeps the successful goal's fields, but for the cropped paths the
  // planner held after its makePlan.
  EXPECT_EQ(node_->result().action_id, 1);
  EXPECT_EQ(node_->result().local_path, good.result->local_path);
  EXPECT_EQ(node_->result().cropped_global_paths.uuid, "uuid-2");

  planner().script.answer = true;
  planner().goal_pose_given = false;
  auto third = goalFor();
  third.action_id = 3;
  const auto next = plan(third);
  ASSERT_TRUE(next.succeeded());
  EXPECT_EQ(next.result->action_id, 3);
  EXPECT_EQ(planner().working_path.poses, good.result->local_path.nav_path.poses);
  EXPECT_FALSE(planner().goal_pose_given);
}

TEST_F(NodePlan, ABackwardPathOnTheSameGlobalPathTurnsTheNextForwardOneBackward) {
  struct Step {
    const char* uuid;
    bool backward, plans, sent_backward, latch;
  };
  const std::vector<Step> steps{
      {"A", false, true, false, false},  // first sight of A
      {"A", true, true, true, true},     // backward on A: armed
      {"A", false, true, true, false},   // forward on A: driven backward, disarmed
      {"A", false, true, false, false},  // forward again: as planned
      {"A", true, true, true, true},     // armed again
      {"B", false, false, false, true},  // a failed goal leaves the latch and A alone
      {"A", false, true, true, false},   // still armed for A
      {"A", true, true, true, true},     // armed
      {"B", false, true, false, false},  // another global path disarms and is remembered
      {"A", false, true, false, false}};
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(i + 1);
    planner().script.move_backward = steps[i].backward;
    planner().script.answer = steps[i].plans;
    auto goal = goalFor();
    goal.global_path_uuid = steps[i].uuid;
    const auto reply = plan(goal);
    ASSERT_EQ(reply.succeeded(), steps[i].plans);
    if (steps[i].plans) {
      EXPECT_EQ(reply.result->local_path.move_backward, steps[i].sent_backward);
    }
    EXPECT_EQ(node_->oscillationLatch(), steps[i].latch);
  }
  EXPECT_EQ(
      countLogged("INFO", "NavLocalPlanningServer::computePlan oscillation, force move backward"),
      2);
}

// The local goal is the first pose of the last path; the first path brings the robot there.
MultiPaths pathsTo(double robot_x, double robot_y, double goal_x, double goal_y,
                   int first_poses = 5, int last_poses = 4) {
  MultiPaths paths;
  paths.paths.resize(2);
  paths.paths[0].nav_path = line(robot_x, robot_y, goal_x, goal_y, first_poses);
  paths.paths[1].nav_path = line(goal_x, goal_y, goal_x + 0.3, goal_y, last_poses);
  return paths;
}

geometry_msgs::msg::Point corner(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

TEST_F(NodePlan, BlockedLocalGoals) {
  struct Case {
    const char* name;
    double robot_x, robot_y;
    MultiPaths paths;
    double half_length;  // of a robot 0.2 m wide; 0 for the 0.2 m square
    bool blocked;
    const char* info;
  };
  MultiPaths single = pathsTo(0.5, 1.0, 1.1, 2.4);
  single.paths.pop_back();
  // The wall block covers x 1.0 .. 1.2, y 2.3 .. 2.5; the room's west wall is the cells of
  // x -1.0 .. -0.9.
  const std::vector<Case> cases{
      {"one path", 0.5, 1.0, single, 0.0, false, ""},
      {"last path of three poses", 0.5, 1.0, pathsTo(0.5, 1.0, 1.1, 2.4, 5, 3), 0.0, false, ""},
      {"first path of three poses", 0.5, 1.0, pathsTo(0.5, 1.0, 1.1, 2.4, 3, 4), 0.0, false, ""},
      {"goal in a wall, 3 m away", -0.8, -0.8, pathsTo(-0.8, -0.8, 1.1, 2.4), 0.0, false, ""},
      {"goal off the local map", 2.0, 1.0, pathsTo(2.0, 1.0, 3.0, 1.0), 0.0, false,
       "NavLocalPlanningServer::isPathBlocked local goal (3, 1) is off the local map, not judged "
       "blocked."},
      {"goal in a wall", 0.5, 1.0, pathsTo(0.5, 1.0, 1.1, 2.4), 0.0, true,
       "NavLocalPlanningServer::isPathBlocked dist:0 goal blocked. global replanning!"},
      {"0.2 m of room", 0.4, 1.0, pathsTo(0.4, 1.0, -0.75, 1.05), 0.0, true,
       "NavLocalPlanningServer::isPathBlocked dist:0.2 goal blocked. global replanning!"},
      {"0.3 m of room, enough to turn", 0.5, 1.0, pathsTo(0.5, 1.0, 1.5, 2.4), 0.0, false, ""},
      {"0.3 m of room, a long robot", 0.5, 1.0, pathsTo(0.5, 1.0, 1.5, 2.4), 0.5, true,
       "path blocked! target_yaw:0"},
      {"0.8 m of room, a longer robot", 0.4, 1.0, pathsTo(0.4, 1.0, -0.15, 1.05), 0.9, true,
       "path blocked! target_yaw:0"},
      {"open goal, a long robot", 0.5, 1.0, pathsTo(0.5, 1.0, 2.2, 1.6), 0.5, false, ""}};
  const auto square = maps_.local->getCostmapROS()->getRobotFootprint();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test_support::captureLog()->clear();
    placeRobot(c.robot_x, c.robot_y);
    const double l = c.half_length;
    hooks::setFootprint(
        *maps_.local,
        l > 0.0 ? std::vector<geometry_msgs::msg::Point>{corner(l, 0.1), corner(l, -0.1),
                                                         corner(-l, -0.1), corner(-l, 0.1)}
                : square);
    EXPECT_EQ(node_->isPathBlocked(c.paths), c.blocked);
    EXPECT_EQ(logged("INFO"),
              *c.info == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.info});
  }
  hooks::removeRobotPose(*maps_.local);
  test_support::captureLog()->clear();
  EXPECT_TRUE(node_->isPathBlocked(pathsTo(0.5, 1.0, 2.2, 1.6)));
  EXPECT_EQ(logged("INFO"), std::vector<std::string>{
                                "NavLocalPlanningServer::isPathBlocked get robot pose failed."});
}

// The goal-zone planner ends its path with the heading it planned; every other planner's path
// end takes the heading the spin judgement chose.
TEST_F(NodePlan, OnlyTheGoalZonePlannerKeepsItsOwnEndHeading) {
  for (const char* key :
       {keys::kDijkstra, keys::kLiftIn, keys::kForceBackward, keys::kDijkstraGoalZone,
        keys::kDynamicCoverage, keys::kLocalWayPoints, keys::kStaticCoverage}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(node_->tablePlanner(key)->needSetEndYaw(),
              std::string(key) != keys::kDijkstraGoalZone);
  }
}

}  // namespace
}  // namespace local_node_test
