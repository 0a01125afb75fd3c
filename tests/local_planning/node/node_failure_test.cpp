// The failure roads of "local_planning": how each failure ends its goal, what it logs and
// whether it counts towards the diagnosis report raised on every twelfth failure in a row.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "node_fixture.hpp"
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
       false, "", 0},
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
