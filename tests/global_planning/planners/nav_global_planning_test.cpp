#include "planning/nav_global_planning.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "planner_fixtures.hpp"
#include "rclcpp/exceptions.hpp"

namespace global_planners_test {
namespace {

// The least planner there can be, with the base's fields in reach.
class BarePlanner final : public planning::NavGlobalPlanning {
 public:
  using NavGlobalPlanning::NavGlobalPlanning;

  bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& /*goals*/,
                vantrell_nav2_protocol::msg::MultiPaths& /*paths*/) override {
    return false;
  }

  const std::vector<geometry_msgs::msg::PoseStamped>& goalPoses() const { return goal_poses_; }
  const std::vector<geometry_msgs::msg::Point32>& coveredPoints() const { return covered_points_; }
  int16_t goalMode() const { return goal_mode_; }
  int32_t actionId() const { return action_id_; }
  int safeCost() const { return safe_cost_; }
  double fuzzyRange() const { return fuzzy_range_; }
  double maxRobotGoalDistance() const { return max_robot_goal_distance_; }
  planning::GoalFlags goalFlags() const { return goal_flags_; }
  const std::shared_ptr<AstarPlanner>& globalEngine() const { return global_planner_; }
  const std::shared_ptr<AstarPlanner>& localEngine() const { return local_planner_; }
  const std::shared_ptr<LogPublisher>& traceLogger() const { return trace_logger_; }
  AstarOptions options(double goal_tolerance) const {
    return planning::globalSearchOptions(fuzzy_range_, goal_tolerance);
  }
};

class NavGlobalPlanningTest : public PlannerTest {
 protected:
  std::shared_ptr<GridMapROS> map_ = drawnGrid(freeRows(20, 20));
};

TEST_F(NavGlobalPlanningTest, StartsEmptyAndReadsTheNodeParameters) {
  auto node = makeNode(2.5, 7);
  BarePlanner planner(node, map_, nullptr);
  EXPECT_EQ(planner.getErrorCode(), 0);
  EXPECT_EQ(planner.safeCost(), 7);
  EXPECT_DOUBLE_EQ(planner.fuzzyRange(), 2.5);
  EXPECT_EQ(planner.maxRobotGoalDistance(), 0.0);
  EXPECT_EQ(planner.goalMode(), 0);
  EXPECT_EQ(planner.actionId(), 0);
  EXPECT_FALSE(planner.goalFlags().forbid_fuzzy_goal);
  EXPECT_FALSE(planner.goalFlags().goal_flag_2);
  EXPECT_FALSE(planner.goalFlags().goal_flag_3);
  EXPECT_EQ(planner.globalEngine(), nullptr);
  EXPECT_EQ(planner.localEngine(), nullptr);
  EXPECT_EQ(planner.traceLogger(), nullptr);
  // The record carries the node's fuzzy range as the start-side tolerance.
  EXPECT_EQ(recordBytes(planner.options(0.0)), expectedRecord(2.5, 0.0));
  EXPECT_EQ(recordBytes(planner.options(2.5)), expectedRecord(2.5, 2.5));
}

TEST_F(NavGlobalPlanningTest, ParametersOfAnotherTypeOrMissingOnesThrowOutOfTheConstructor) {
  auto wrong_type = std::make_shared<rclcpp_lifecycle::LifecycleNode>("wrong_type_node");
  wrong_type->declare_parameter("safe_cost", std::string("high"));
  wrong_type->declare_parameter("fuzzy_range", 1.0);
  EXPECT_THROW(BarePlanner(wrong_type, map_, nullptr), rclcpp::ParameterTypeException);

  auto integer_range = std::make_shared<rclcpp_lifecycle::LifecycleNode>("integer_range_node");
  integer_range->declare_parameter("safe_cost", int64_t{0});
  integer_range->declare_parameter("fuzzy_range", int64_t{1});
  EXPECT_THROW(BarePlanner(integer_range, map_, nullptr), rclcpp::ParameterTypeException);

  auto undeclared = std::make_shared<rclcpp_lifecycle::LifecycleNode>("undeclared_node");
  EXPECT_THROW(BarePlanner(undeclared, map_, nullptr),
               rclcpp::exceptions::ParameterNotDeclaredException);
}

TEST_F(NavGlobalPlanningTest, ANodeAlreadyGoneLeavesTheNodeDefaultsAndAWarning) {
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> gone;
  {
    auto node = makeNode(3.0, 4);
    gone = node;
  }
  BarePlanner planner(gone, map_, nullptr);
  EXPECT_EQ(planner.safeCost(), 0);
  EXPECT_DOUBLE_EQ(planner.fuzzyRange(), 1.0);
  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, "WARN");
}

TEST_F(NavGlobalPlanningTest, UpdateGoalCopiesTheGoalAndCountsTheZoneWithoutKeepingIt) {
  BarePlanner planner(makeNode(), map_, nullptr);
  Goal goal;
  goal.goal_poses = {pose(1, 0), pose(2, 0), pose(3, 0)};
  goal.goal_zone = {point32(0, 0), point32(1, 0), point32(1, 1), point32(0, 1), point32(0, 0.5)};
  goal.goal_mode = 405;
  goal.action_id = 17;
  goal.forbid_fuzzy_goal = true;
  planner.updateGoal(std::make_shared<const Goal>(goal));

  ASSERT_EQ(planner.goalPoses().size(), 3u);
  EXPECT_EQ(planner.goalPoses()[2], goal.goal_poses[2]);
  EXPECT_TRUE(planner.coveredPoints().empty());
  EXPECT_EQ(planner.goalMode(), 405);
  EXPECT_EQ(planner.actionId(), 17);
  // The flags travel separately.
  EXPECT_FALSE(planner.goalFlags().forbid_fuzzy_goal);
  const auto lines = log_->lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, "INFO");
  EXPECT_EQ(lines[0].text,
            "global planner received goal data, goal pose size 3, and goal zone points size:5, "
            "goal_mode: 405, action id: 17, covered_points_frm_taskcenter size:0");

  // The next goal replaces everything, also with empty lists.
  Goal next;
  next.covered_points_frm_taskcenter = {point32(4, 4), point32(5, 5)};
  planner.updateGoal(std::make_shared<const Goal>(next));
  EXPECT_TRUE(planner.goalPoses().empty());
  EXPECT_EQ(planner.coveredPoints().size(), 2u);
  EXPECT_EQ(planner.goalMode(), 0);
}

TEST_F(NavGlobalPlanningTest, SettersReplaceWhatTheyHoldAndFlagsAreStoredWhole) {
  BarePlanner planner(makeNode(), map_, nullptr);
  auto first = engineOn(map_, "global");
  auto second = engineOn(map_, "global");
  planner.setGlobalPlanner(first);
  planner.setGlobalPlanner(second);
  planner.setLocalPlanner(first);
  EXPECT_EQ(planner.globalEngine(), second);
  EXPECT_EQ(planner.localEngine(), first);
  auto trace = std::make_shared<LogPublisher>(makeNode());
  planner.setTraceLogger(trace);
  EXPECT_EQ(planner.traceLogger(), trace);

  planner.setGoalFlags({true, false, true});
  EXPECT_TRUE(planner.goalFlags().forbid_fuzzy_goal);
  EXPECT_FALSE(planner.goalFlags().goal_flag_2);
  EXPECT_TRUE(planner.goalFlags().goal_flag_3);
  planner.setGoalFlags({false, true, false});
  EXPECT_FALSE(planner.goalFlags().forbid_fuzzy_goal);
  EXPECT_TRUE(planner.goalFlags().goal_flag_2);
  EXPECT_FALSE(planner.goalFlags().goal_flag_3);
}

TEST_F(NavGlobalPlanningTest, ConnectiveAreaSearchOfThePlainPlannerFindsNothing) {
  BarePlanner planner(makeNode(), map_, nullptr);
  geometry_msgs::msg::PoseStamped result = pose(4, 5, 1.0, "kept");
  const auto before = result;
  geometry_msgs::msg::Polygon area;
  area.points = {point32(0, 0), point32(1, 0), point32(1, 1)};
  EXPECT_FALSE(planner.connectiveAreaSearch(pose(0, 0), pose(1, 1), result, area, area));
  EXPECT_EQ(result, before);
}

TEST_F(NavGlobalPlanningTest, ConvertToPathReplacesThePosesAndKeepsTheHeader) {
  BarePlanner planner(makeNode(), map_, nullptr);
  nav_msgs::msg::Path path;
  path.header.frame_id = "odom";
  path.poses = {pose(9, 9), pose(8, 8), pose(7, 7)};
  planner.convertToPath({pose(1, 0), pose(2, 0)}, path);
  ASSERT_EQ(path.poses.size(), 2u);
  EXPECT_EQ(path.poses[0], pose(1, 0));
  EXPECT_EQ(path.poses[1], pose(2, 0));
  EXPECT_EQ(path.header.frame_id, "odom");

  planner.convertToPath({}, path);
  EXPECT_TRUE(path.poses.empty());
  EXPECT_EQ(path.header.frame_id, "odom");
}

}  // namespace
}  // namespace global_planners_test
