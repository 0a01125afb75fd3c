// Whole dynamic coverage tasks: a robot that drives what the planner plans, cycle after cycle as
// the local planning node runs it, and a task centre that serves the covered points.
#include "local_planning/coverage/dynamic_coverage_fixtures.hpp"
#include "planning/planner_keys.hpp"

namespace dynamic_coverage_test {
namespace {

struct TaskRun {
  int cycles{0};
  int failures{0};
  int smooth_failures{0};
  bool finished{false};
};

// The path as a controller drives it: from the robot, no step longer than a cell.
NavPath fromRobot(const PoseStamped& robot, const NavPath& path) {
  NavPath driven;
  PoseStamped last = robot;
  for (const auto& next : path.poses) {
    const auto& a = last.pose.position;
    const auto& b = next.pose.position;
    const NavPath piece = line(a.x, a.y, b.x, b.y);
    driven.poses.insert(driven.poses.end(), piece.poses.begin() + (driven.poses.empty() ? 0 : 1),
                        piece.poses.end());
    last = next;
  }
  return driven;
}

class DynamicTask : public DynamicFixture {
 protected:
  // updateGoal, makePlan and pathSmooter per cycle, five cycles a second, the robot moving
  // `step` metres along each local path, until the task has ended.
  TaskRun run(const std::shared_ptr<const Goal>& goal, SimulatedRobot& robot, double step) {
    constexpr int kCycleLimit = 20000;
    TaskRun result;
    while (result.cycles < kCycleLimit) {
      ++result.cycles;
      advance(200ms);
      planner_->updateGoal(goal);
      Piece out;
      ControlState state;
      bool replan = false;
      if (!planner_->makePlan(out, state, replan)) {
        ++result.failures;
        continue;
      }
      result.smooth_failures += planner_->pathSmooter(out.nav_path) ? 0 : 1;
      if (state.finished) {
        result.finished = true;
        return result;
      }
      // As the motion controller does, the robot drives from where it stands.
      robot.drive(fromRobot(Access::robotPose(*planner_), out.nav_path), step);
    }
    return result;
  }
};

TEST_F(DynamicTask, CleansARoomWithFurnitureFromTheFirstGoalToFinished) {
  cv::Mat floor = room(100, 80);
  wall(floor, 40, 30, 55, 45);  // A table in the middle of the room.
  build(floor);
  // The robot comes from outside the zone, at its west side.
  SimulatedRobot robot(maps_, 0.45, 2.0, 0.0, 0.25);
  TaskCentre centre(node_, [&robot]() { return robot.track(); });
  const TaskRun result = run(dynamicGoal("room", {box(0.85, 0.5, 4.5, 3.5)}), robot, 0.1);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.failures, 0);
  EXPECT_EQ(result.smooth_failures, 0);
  const double share = coveredShare(floor, robot.track(), 0.25, cv::Rect(17, 10, 73, 60));
  std::cout << "covered share of the room: " << share << std::endl;
  EXPECT_GT(share, 0.8);
  EXPECT_GT(planner_->getCleanedArea(), 10.0);
  EXPECT_EQ(recordings("task_finished"), 1);
  EXPECT_EQ(Probe::cleanCoverageTriggers().count(), 1U);
  EXPECT_GT(centre.requests(), 5);
}

TEST(DynamicCoverageThroughTheNode, CleansARoomGoalAfterGoal) {
  Probe::reset();
  if (!rclcpp::ok()) {
    rclcpp::init(0, nullptr);
  }
  NodeUnderTest under_test(room(60, 50), 0.45, 1.2);
  ASSERT_TRUE(under_test.configured());
  // Built before the static planner, the dynamic one declared these first (the static
  // planner's defaults are true, 3.0 and 0.28).
  auto& node = under_test.node();
  EXPECT_FALSE(node.get_parameter("publish_morph_local_costmap_mat").as_bool());
  EXPECT_EQ(node.get_parameter("wait_dyn_obstacle_time").as_double(), 5.0);
  EXPECT_EQ(node.get_parameter("stop_obstacle_distance").as_double(), 1.5);
  auto goal = *dynamicGoal("through-node", {box(0.8, 0.4, 2.6, 2.1)});
  goal.current_planning_id = planning::local_keys::kDynamicCoverage;
  bool finished = false;
  int goals = 0;
  for (; goals < 3000 && !finished; ++goals) {
    const auto reply = under_test.send(goal);
    ASSERT_TRUE(reply.succeeded());
    finished = reply.result->finished != 0;
    PoseStamped where;
    under_test.maps().global->getCostmapROS()->getRobotPose(where);
    under_test.robot().drive(fromRobot(where, reply.result->local_path.nav_path), 0.1);
  }
  EXPECT_TRUE(finished);
  EXPECT_GT(goals, 20);
  EXPECT_EQ(Probe::cleanCoverageTriggers().count(), 1U);
  // The covered points are asked for every 3 s of the node's clock, so how much of them the task
  // saw depends on the machine: either end-of-task recording, once.
  EXPECT_EQ(recordings("task_finished") + recordings("cleaned_area_too_less"), 1);
}

}  // namespace
}  // namespace dynamic_coverage_test
