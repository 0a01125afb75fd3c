// The failure roads of "local_planning": how each failure ends its goal, what it logs and
// whether it counts towards the diagnosis report raised on every twelfth failure in a row.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "node_fixture.hpp"
#include "support/shapes.hpp"
#include "vantrell_diagnosis/testing/diagnosis_probe.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"

namespace local_node_test {
namespace {

using vantrell_diagnosis::testing::DiagnosisProbe;
using Report = DiagnosisProbe::Report;
using Script = ScriptedPlanner::Script;

std::string retryLine(int count) {
  return "----------LocalPlanning retry times is " + std::to_string(count) + "----------";
}

class NodeFailure : public LocalNodeTest {
 protected:
  void SetUp() override {
    LocalNodeTest::SetUp();
    startNode();
  }
};

TEST_F(NodeFailure, EachFailureEndsItsGoalWithItsOwnLineAndCount) {
  struct Case {
    const char* name;
    std::function<void(Script&, LocalPlanning::Goal&)> arrange;
    bool need_replan;
    const char* error;
    int counted;
  };
  const size_t table = node_->tableSize();
  const char* kPlanFailed = "local planning failed,result is false! error code is 101100006";
  const char* kSmoothFailed = "smooth failed, error code is 101100008";
  const std::vector<Case> cases{
      {"planner fails, asks for a new plan",
       [](Script& s, auto&) { s.answer = false, s.need_replan = true; }, true, kPlanFailed, 1},
      {"planner fails", [](Script& s, auto&) { s.answer = false; }, false, kPlanFailed, 1},
      {"path flagged, its local goal in a wall",
       [](Script& s, LocalPlanning::Goal& goal) {
         s.check_blocked = true;
         // Another uuid: the planner replaces its cached paths only then.
         goal.global_path_uuid = "blocked";
         goal.global_paths.paths.resize(2);
         goal.global_paths.paths[0].nav_path = line(0.4, 1.0, 1.1, 2.4, 5);
         goal.global_paths.paths[1].nav_path = line(1.1, 2.4, 1.4, 2.4, 4);
       },
       true, "local planning failed, path blocked.", 1},
      {"path empty", [](Script& s, auto&) { s.path.poses.clear(), s.need_replan = true; }, true,
       "local planning failed, path is empty! error code is 101100006", 1},
      {"smoother fails", [](Script& s, auto&) { s.smooth = false, s.need_replan = true; }, false,
       kSmoothFailed, 0},
      {"smoother leaves nothing", [](Script& s, auto&) { s.smooth_empties = true; }, false,
       kSmoothFailed, 0},
      {"fuzzy goal leaves nothing", [](Script& s, auto&) { s.fuzzy_empties = true; }, false,
       "NavLocalPlanningServer::pathFuzzyPoint local path is empty", 0},
      {"no such planner",
       [](Script&, LocalPlanning::Goal& goal) { goal.current_planning_id = "no_such_planner"; },
       false, "there is no local planner called \"no_such_planner\", error code is 101100006", 0},
      {"planner throws", [](Script& s, auto&) { s.throws = true; }, false,
       "computePlan failed: scripted planner broke down, error code is 101100006", 1},
      {"result filling throws",
       [](Script& s, auto&) { s.residues_throw = true, s.path = line(0.0, 1.0, 2.0, 1.5, 9); },
       false, "computePlan failed: scripted residues broke down, error code is 101100006", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    planner().script = Script();
    const auto succeeded = plan();
    ASSERT_TRUE(succeeded.succeeded());
    test_support::captureLog()->clear();

    auto goal = goalFor();
    c.arrange(planner().script, goal);
    const auto reply = plan(goal);

    ASSERT_TRUE(reply.aborted());
    LocalPlanning::Result expected;
    expected.need_replan = c.need_replan;
    EXPECT_EQ(*reply.result, expected);
    EXPECT_EQ(logged("ERROR"),
              *c.error == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.error});
    EXPECT_EQ(node_->failureCount(), c.counted);
    EXPECT_EQ(countLogged("INFO", retryLine(1)), c.counted);
    // The next goal starts from the last successful goal's local path.
    EXPECT_EQ(node_->result().local_path, succeeded.result->local_path);
    // The node's lines belong to the plan computation, whichever step writes them.
    for (const auto& record : test_support::captureLog()->records()) {
      if (record.level >= spdlog::level::info && record.file.find("server") != std::string::npos) {
        EXPECT_TRUE(record.function == "computePlan" || record.function == "isPathBlocked")
            << record.function << ": " << record.text;
      }
    }
  }
  EXPECT_EQ(node_->tableSize(), table);
  EXPECT_TRUE(DiagnosisProbe::reports().empty());
}

// A goal no planner can use ends before any planner sees it, counted as a failed plan, with one
// WARN naming the field: nothing that is not a number reaches a planner or a result.
TEST_F(NodeFailure, GoalsThatCannotBePlannedFailBeforeAnyPlannerNamingTheField) {
  buildNode();
  node_->test_planner_keys = {"scripted", keys::kStaticCoverage};
  bringUp();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  using Goal = LocalPlanning::Goal;
  struct Case {
    const char* refusal;
    std::function<void(Goal&)> spoil;
  };
  const std::vector<Case> cases{
      {"global_paths.paths[0].nav_path.poses[5] (1, nan, 0; 0, 0, 0, 1) is not finite",
       [nan](Goal& g) { g.global_paths.paths[0].nav_path.poses[5].pose.position.y = nan; }},
      {"global_paths.paths[0].nav_path.poses[20] (4, 1, 0; 0, 0, 0, inf) is not finite",
       [inf](Goal& g) { g.global_paths.paths[0].nav_path.poses[20].pose.orientation.w = inf; }},
      {"goal_pose (-inf, 0, 0; 0, 0, 0, 1) is not finite",
       [inf](Goal& g) { g.goal_pose.pose.position.x = -inf; }},
      {"extra_goals[1] (0, 0, nan; 0, 0, 0, 1) is not finite",
       [nan](Goal& g) {
         g.extra_goals.resize(2);
         g.extra_goals[1].pose.position.z = nan;
       }},
      {"zone_polygons[0].points[2] (1, nan) is not finite",
       [](Goal& g) {
         g.zone_polygons = {test_support::box(0.0, 0.0, 1.0, 1.0)};
         g.zone_polygons[0].points[2].y = std::numeric_limits<float>::quiet_NaN();
       }},
      {"max_speed inf is not finite",
       [](Goal& g) { g.max_speed = std::numeric_limits<float>::infinity(); }},
      {"fuzzy_distance nan is not finite",
       [](Goal& g) { g.fuzzy_distance = std::numeric_limits<float>::quiet_NaN(); }},
      {"zone_polygons holds 101 zones, more than the 100 a goal may carry",
       [](Goal& g) { g.zone_polygons.resize(101); }},
      {"zone_polygons[0] holds 10001 corners, more than the 10000 a goal may carry",
       [](Goal& g) { g.zone_polygons.resize(1), g.zone_polygons[0].points.resize(10001); }},
      {"global_paths holds 50001 poses, more than the 50000 a goal may carry",
       [](Goal& g) {
         g.global_paths.paths.resize(2), g.global_paths.paths[1].nav_path.poses.resize(49980);
       }},
      {"extra_goals holds 1001 poses, more than the 1000 a goal may carry",
       [](Goal& g) { g.extra_goals.resize(1001); }},
      {"coverage_width 0 is no width: a coverage goal needs at least one cell",
       [](Goal& g) { g.current_planning_id = keys::kStaticCoverage; }},
      {"path_overlap_distance -1 is negative",
       [](Goal& g) {
         g.current_planning_id = keys::kStaticCoverage;
         g.coverage_width = 12;
         g.path_overlap_distance = -1;
       }},
      {"path_overlap_distance 12 is not less than coverage_width 12",
       [](Goal& g) {
         g.current_planning_id = keys::kStaticCoverage;
         g.coverage_width = 12;
         g.path_overlap_distance = 12;
       }},
      {"path_overlap_distance 2147483647 is not less than coverage_width 12",
       [](Goal& g) {
         g.current_planning_id = keys::kStaticCoverage;
         g.coverage_width = 12;
         g.path_overlap_distance = std::numeric_limits<int32_t>::max();
       }},
      {"coverage_width 1000000 is wider than the 32767 cells a cleaned line may be", [](Goal& g) {
         g.current_planning_id = keys::kStaticCoverage;
         g.coverage_width = 1000000;
       }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.refusal);
    ASSERT_TRUE(plan().succeeded());
    test_support::captureLog()->clear();
    planner().planning_mode = -1;
    planner(keys::kStaticCoverage).planning_mode = -1;

    auto goal = goalFor();
    c.spoil(goal);
    const auto reply = plan(goal);

    ASSERT_TRUE(reply.aborted());
    EXPECT_EQ(*reply.result, LocalPlanning::Result());
    EXPECT_EQ(logged("WARN"),
              std::vector<std::string>{std::string("local planning goal refused: ") + c.refusal +
                                       ", error code is 101100006"});
    EXPECT_EQ(planner().planning_mode, -1);
    EXPECT_EQ(planner(keys::kStaticCoverage).planning_mode, -1);
    EXPECT_EQ(node_->failureCount(), 1);
  }
  // A coverage goal with a width and no overlap, and a point-to-point goal without either, plan.
  auto coverage = goalFor(keys::kStaticCoverage);
  coverage.coverage_width = 12;
  EXPECT_TRUE(plan(coverage).succeeded());
  EXPECT_TRUE(plan().succeeded());
}

// The modes the planners act on keep their meaning; any other is planned as an ordinary goal,
// after one WARN naming it.
TEST_F(NodeFailure, ModesWithoutAMeaningArePlannedAsOrdinaryGoalsAfterAWarning) {
  const struct {
    int32_t planning_mode;
    int16_t goal_mode;
    const char* warning;
  } cases[] = {
      {0, 0, ""},
      {keys::kForceBackwardMode, 0, ""},
      {keys::kCoverageMode, planning::global_keys::kLiftInMode, ""},
      {7, 0, "local planning goal: planning_mode 7 has no meaning, planned as an ordinary goal"},
      {-601, 0,
       "local planning goal: planning_mode -601 has no meaning, planned as an ordinary goal"},
      {0, -3, "local planning goal: goal_mode -3 has no meaning, only logged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.planning_mode);
    test_support::captureLog()->clear();
    auto goal = goalFor();
    goal.planning_mode = c.planning_mode;
    goal.goal_mode = c.goal_mode;
    ASSERT_TRUE(plan(goal).succeeded());
    EXPECT_EQ(planner().planning_mode, c.planning_mode);
    EXPECT_EQ(logged("WARN"), *c.warning == '\0' ? std::vector<std::string>{}
                                                 : std::vector<std::string>{c.warning});
  }
}

TEST_F(NodeFailure, NoRobotPoseOrNoGoalEndsNothingAsAFailure) {
  hooks::removeRobotPose(*maps_.global);
  const auto reply = plan();
  ASSERT_TRUE(reply.aborted());
  EXPECT_EQ(*reply.result, LocalPlanning::Result());
  EXPECT_TRUE(logged("ERROR").empty());

  // As when a goal has ended before its execution starts: the server has no goal to give, and
  // the planner is not asked.
  planner().planning_mode = -1;
  node_->computePlan();
  EXPECT_EQ(planner().planning_mode, -1);
  EXPECT_EQ(node_->failureCount(), 0);
  EXPECT_TRUE(logged("ERROR").empty());
}

TEST_F(NodeFailure, EveryTwelfthFailureInARowIsReportedAndTheNextSuccessClearsIt) {
  planner().script.answer = false;
  for (int i = 1; i <= 12; ++i) {
    ASSERT_TRUE(plan().aborted());
    EXPECT_EQ(countLogged("INFO", retryLine(i)), 1);
    EXPECT_EQ(DiagnosisProbe::reports().empty(), i < 12);
  }
  EXPECT_EQ(DiagnosisProbe::reports(), (std::vector<Report>{{LOCAL_PLANNING_FAILURE, 1}}));
  EXPECT_EQ(node_->failureCount(), 0);

  // The count starts again; failures of smoothing leave it alone.
  test_support::captureLog()->clear();
  ASSERT_TRUE(plan().aborted());
  planner().script = Script();
  planner().script.smooth = false;
  ASSERT_TRUE(plan().aborted());
  EXPECT_EQ(node_->failureCount(), 1);
  EXPECT_EQ(countLogged("INFO", retryLine(1)), 1);

  planner().script = Script();
  ASSERT_TRUE(plan().succeeded());
  ASSERT_TRUE(plan().succeeded());
  EXPECT_EQ(DiagnosisProbe::reports(),
            (std::vector<Report>{{LOCAL_PLANNING_FAILURE, 1}, {LOCAL_PLANNING_FAILURE, 0}}));
  EXPECT_EQ(node_->failureCount(), 0);
}

}  // namespace
}  // namespace local_node_test
