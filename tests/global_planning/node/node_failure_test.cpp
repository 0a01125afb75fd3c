// The failure roads of "global_planning": error codes, what the aborted result carries, robot
// events for failed lift plans and diagnosis reports for runs of failed goals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "nav2_smoother/testing/smoother_faults.hpp"
#include "node_fixture.hpp"
#include "planning/codes.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"
#include "vantrell_diagnosis/testing/diagnosis_probe.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"

namespace node_test {
namespace {

using vantrell_communicator::testing::CommunicatorProbe;
using vantrell_diagnosis::testing::DiagnosisProbe;
using Report = DiagnosisProbe::Report;

class NodeFailure : public NodeTest {
 protected:
  void SetUp() override {
    NodeTest::SetUp();
    startNode(test_support::drawEmptyRoom());
    placeRobot("centre");
    planner_ = addScriptedPlanner("scripted");
  }

  test_support::ActionReply<GlobalPlanning> planScripted(int16_t goal_mode = 0,
                                                         int32_t action_id = 0) {
    auto goal = goalFor("scripted", {poseAt(3.0, 2.0)});
    goal.goal_mode = goal_mode;
    goal.action_id = action_id;
    return plan(goal);
  }

  void failNextPlans() {
    ScriptedPlanner::Script script;
    script.answer = false;
    script.error_code = kGlobalPlanFailed;
    planner_->setScript(script);
  }

  void succeedNextPlans() { planner_->setScript(ScriptedPlanner::Script()); }

  // The aborted result carries this goal's code, mode and action id and nothing planned.
  static void expectCleanAbort(const test_support::ActionReply<GlobalPlanning>& reply, int32_t code,
                               int16_t goal_mode, int32_t action_id) {
    ASSERT_TRUE(reply.aborted());
    ASSERT_TRUE(reply.result);
    EXPECT_EQ(reply.result->error_code, code);
    EXPECT_EQ(reply.result->goal_mode, goal_mode);
    EXPECT_EQ(reply.result->action_id, action_id);
    EXPECT_TRUE(reply.result->multi_paths.paths.empty());
    EXPECT_TRUE(reply.result->global_path_uuid.empty());
    EXPECT_EQ(reply.result->start_target_yaw, 0.0F);
    EXPECT_EQ(reply.result->end_target_yaw, 0.0F);
    EXPECT_TRUE(reply.result->goal_poses.empty());
  }

  std::shared_ptr<ScriptedPlanner> planner_;
};

TEST_F(NodeFailure, PlannerGetsTheGoalItsFlagsAndThePoses) {
  auto goal = goalFor("scripted", {poseAt(3.0, 2.0), poseAt(3.5, 2.5)});
  goal.goal_mode = 7;
  goal.forbid_fuzzy_goal = true;
  goal.goal_flag_2 = false;
  goal.goal_flag_3 = true;
  ASSERT_TRUE(plan(goal).succeeded());

  EXPECT_EQ(planner_->calls(), 1);
  EXPECT_EQ(planner_->goalMode(), 7);
  const auto flags = planner_->flags();
  EXPECT_TRUE(flags.forbid_fuzzy_goal);
  EXPECT_FALSE(flags.goal_flag_2);
  EXPECT_TRUE(flags.goal_flag_3);
  EXPECT_EQ(planner_->goalsSeen(), goal.goal_poses);
}

TEST_F(NodeFailure, PlannerFailureAbortsWithThePlannersCode) {
  failNextPlans();
  const auto reply = planScripted(3, 44);
  expectCleanAbort(reply, kGlobalPlanFailed, 3, 44);
  EXPECT_EQ(log_->count("[ERROR] computePlan failed: error code is 101100007"), 1U);
  EXPECT_EQ(CommunicatorProbe::globalPaths().count(), 0U);
}

TEST_F(NodeFailure, AbortedResultCarriesNothingOfTheGoalBefore) {
  const auto good = planScripted(5, 1);
  ASSERT_TRUE(good.succeeded());
  ASSERT_FALSE(good.result->multi_paths.paths.empty());
  ASSERT_FALSE(good.result->global_path_uuid.empty());

  failNextPlans();
  expectCleanAbort(planScripted(6, 2), kGlobalPlanFailed, 6, 2);
}

TEST_F(NodeFailure, UnknownPlannerIsAFailureThatLeavesTheTableAlone) {
  const auto keys_before = node_->plannerKeys();
  auto goal = goalFor("no_such_planner", {poseAt(3.0, 2.0)});
  goal.action_id = 9;
  expectCleanAbort(plan(goal), kGlobalPlanFailed, 0, 9);

  EXPECT_EQ(node_->plannerKeys(), keys_before);
  EXPECT_EQ(node_->failureCount(), 1);
  EXPECT_EQ(
      log_->count("[ERROR] computePlan: there is no global planner called \"no_such_planner\""),
      1U);
  // The node keeps serving.
  EXPECT_TRUE(planScripted().succeeded());
}

TEST_F(NodeFailure, FailureWithoutACodeStillReportsThePlanFailedCode) {
  ScriptedPlanner::Script script;
  script.answer = false;
  script.error_code = 0;
  planner_->setScript(script);
  expectCleanAbort(planScripted(), kGlobalPlanFailed, 0, 0);
}

TEST_F(NodeFailure, EmptyPathSetFromASuccessfulPlannerIsAFailureWithoutRobotEvent) {
  ScriptedPlanner::Script script;
  script.paths = 0;
  planner_->setScript(script);
  expectCleanAbort(planScripted(100), kGlobalPlanFailed, 100, 0);
  EXPECT_EQ(CommunicatorProbe::robotEvents().count(), 0U);
  EXPECT_EQ(node_->failureCount(), 1);
}

TEST_F(NodeFailure, EmptyLastPathIsAPlannerFailure) {
  ScriptedPlanner::Script script;
  script.paths = 2;
  script.last_path_poses = 0;
  planner_->setScript(script);
  expectCleanAbort(planScripted(), kGlobalPlanFailed, 0, 0);
  EXPECT_EQ(node_->failureCount(), 1);
  EXPECT_EQ(CommunicatorProbe::globalPaths().count(), 0U);
}

TEST_F(NodeFailure, SmoothingFailureAbortsWithItsOwnCodeAndCountsNothing) {
  failNextPlans();
  planScripted();
  planScripted();
  ASSERT_EQ(node_->failureCount(), 2);

  succeedNextPlans();
  nav2_smoother::testing::SmootherFaults::failNext(1);
  expectCleanAbort(planScripted(0, 8), kSmoothFailed, 0, 8);
  EXPECT_EQ(log_->count("[ERROR] !!!!!!!!!!!!!!!!!smooth failed, error code is 101100008"), 1U);
  EXPECT_EQ(node_->failureCount(), 2);
  EXPECT_EQ(CommunicatorProbe::globalPaths().count(), 0U);
}

TEST_F(NodeFailure, MissingRobotPoseAbortsWithThePlanFailedCodeAndCountsNothing) {
  failNextPlans();
  planScripted();
  succeedNextPlans();
  vantrell_nav2_gridmap::testing::removeRobotPose(*global_map_);

  expectCleanAbort(planScripted(0, 4), kGlobalPlanFailed, 0, 4);
  EXPECT_EQ(log_->count("[ERROR] computePlan failed: no robot pose, error code is 101100007"), 1U);
  EXPECT_EQ(node_->failureCount(), 1);
  EXPECT_EQ(CommunicatorProbe::globalPaths().count(), 0U);
}

TEST_F(NodeFailure, SuccessClearsThePlannersErrorCode) {
  failNextPlans();
  planScripted();
  ASSERT_EQ(planner_->getErrorCode(), kGlobalPlanFailed);
  succeedNextPlans();
  ASSERT_TRUE(planScripted().succeeded());
  EXPECT_EQ(planner_->getErrorCode(), 0);
}

TEST_F(NodeFailure, FailedLiftPlansRaiseOneRobotEventEach) {
  failNextPlans();
  planScripted(100);
  planScripted(101);
  planScripted(0);
  planScripted(405);

  const auto events = CommunicatorProbe::robotEvents().kept();
  ASSERT_EQ(events.size(), 2U);
  EXPECT_EQ(events[0].event_type, planning::codes::kLiftEventType);
  EXPECT_EQ(events[0].event_code, planning::codes::kLiftInPlanFailedEvent);
  EXPECT_EQ(events[1].event_type, planning::codes::kLiftEventType);
  EXPECT_EQ(events[1].event_code, planning::codes::kLiftOutPlanFailedEvent);
  EXPECT_TRUE(events[0].message.empty());
  EXPECT_TRUE(events[0].params.empty());
  EXPECT_NE(events[0].stamp.sec, 0);

  succeedNextPlans();
  ASSERT_TRUE(planScripted(100).succeeded());
  EXPECT_EQ(CommunicatorProbe::robotEvents().count(), 2U);
}

TEST_F(NodeFailure, LiftPlanWithAnUnknownPlannerStillTellsTheRobot) {
  auto goal = goalFor("lift_nowhere", {poseAt(3.0, 2.0)});
  goal.goal_mode = 100;
  ASSERT_TRUE(plan(goal).aborted());
  const auto events = CommunicatorProbe::robotEvents().kept();
  ASSERT_EQ(events.size(), 1U);
  EXPECT_EQ(events[0].event_code, planning::codes::kLiftInPlanFailedEvent);
}

TEST_F(NodeFailure, TwelveFailuresInARowRaiseTheReportAndASuccessClearsIt) {
  failNextPlans();
  for (int i = 0; i < 11; ++i) {
    ASSERT_TRUE(planScripted().aborted());
  }
  EXPECT_TRUE(DiagnosisProbe::reports().empty());
  EXPECT_EQ(node_->failureCount(), 11);

  ASSERT_TRUE(planScripted().aborted());
  EXPECT_EQ(DiagnosisProbe::reports(), (std::vector<Report>{{GLOBAL_PLANNING_FAILURE, 1}}));
  EXPECT_EQ(node_->failureCount(), 0);

  // Another run of twelve raises it again.
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(planScripted().aborted());
  }
  EXPECT_EQ(DiagnosisProbe::reports(),
            (std::vector<Report>{{GLOBAL_PLANNING_FAILURE, 1}, {GLOBAL_PLANNING_FAILURE, 1}}));

  succeedNextPlans();
  ASSERT_TRUE(planScripted().succeeded());
  ASSERT_TRUE(planScripted().succeeded());
  EXPECT_EQ(DiagnosisProbe::reports(), (std::vector<Report>{{GLOBAL_PLANNING_FAILURE, 1},
                                                            {GLOBAL_PLANNING_FAILURE, 1},
                                                            {GLOBAL_PLANNING_FAILURE, 0}}));
  EXPECT_EQ(DiagnosisProbe::status(GLOBAL_PLANNING_FAILURE), 0);
}

TEST_F(NodeFailure, ASuccessBreaksTheRunOfFailures) {
  failNextPlans();
  for (int i = 0; i < 11; ++i) {
    planScripted();
  }
  succeedNextPlans();
  ASSERT_TRUE(planScripted().succeeded());
  failNextPlans();
  for (int i = 0; i < 11; ++i) {
    planScripted();
  }
  EXPECT_TRUE(DiagnosisProbe::reports().empty());
  EXPECT_EQ(node_->failureCount(), 11);
}

TEST_F(NodeFailure, CancelAskedWhilePlanningEndsOnlyAFailedGoalCanceled) {
  // The computation does not look at the request: a plan that works still succeeds.
  planner_->holdNextPlan();
  auto goal = task_manager_->send<GlobalPlanning>("global_planning", goalFor("scripted", {}));
  ASSERT_TRUE(planner_->waitUntilHeld());
  EXPECT_TRUE(task_manager_->cancel<GlobalPlanning>("global_planning", goal));
  planner_->release();
  EXPECT_TRUE(task_manager_->waitFor(goal).succeeded());

  // A failing one ends canceled instead of aborted, still with its code.
  failNextPlans();
  planner_->holdNextPlan();
  goal = task_manager_->send<GlobalPlanning>("global_planning", goalFor("scripted", {}));
  ASSERT_TRUE(planner_->waitUntilHeld());
  EXPECT_TRUE(task_manager_->cancel<GlobalPlanning>("global_planning", goal));
  planner_->release();
  const auto reply = task_manager_->waitFor(goal);
  ASSERT_TRUE(reply.canceled());
  EXPECT_EQ(reply.result->error_code, kGlobalPlanFailed);
}

// A goal whose road throws (here: runs out of memory) is this node's failure, with its code: left
// to the action server it would end with a default result, whose code 0 reads as success.
TEST_F(NodeFailure, AGoalWhoseRoadThrowsFailsWithTheNodesCode) {
  ScriptedPlanner::Script script;
  script.out_of_memory = true;
  planner_->setScript(script);
  expectCleanAbort(planScripted(3, 44), kGlobalPlanFailed, 3, 44);
  EXPECT_EQ(log_->count("[ERROR] computePlan failed: std::bad_alloc, error code is 101100007"), 1U);
  EXPECT_EQ(log_->count("[ERROR]"), 1U);
  EXPECT_EQ(node_->failureCount(), 1);

  // The lift check answers not free, with the code.
  node_->putPlanner(keys::kLift, planner_);
  FuzzyLiftFree::Goal lift;
  lift.planner_name = keys::kLift;
  lift.door_pose = poseAt(map_, "centre", M_PI / 2.0);
  lift.door_pose.pose.position.y += 0.5;
  const auto& door = lift.door_pose.pose.position;
  for (const auto& corner : {std::make_pair(-0.5, 0.0), std::make_pair(0.5, 0.0),
                             std::make_pair(0.5, 1.0), std::make_pair(-0.5, 1.0)}) {
    geometry_msgs::msg::Point32 point;
    point.x = static_cast<float>(door.x + corner.first);
    point.y = static_cast<float>(door.y + corner.second);
    lift.lift_inner_frame.points.push_back(point);
  }
  const auto reply = task_manager_->call<FuzzyLiftFree>("is_fuzzy_global_free", lift);
  ASSERT_TRUE(reply.aborted());
  EXPECT_FALSE(reply.result->is_free);
  EXPECT_EQ(reply.result->error_code, kGlobalPlanFailed);
  EXPECT_EQ(reply.result->free_pose, lift.door_pose);
  EXPECT_EQ(
      log_->count("[ERROR] isFuzzyGlobalFree failed: std::bad_alloc, error code is 101100007"), 1U);

  // Both actions carry on.
  succeedNextPlans();
  EXPECT_TRUE(planScripted().succeeded());
  EXPECT_TRUE(task_manager_->call<FuzzyLiftFree>("is_fuzzy_global_free", lift).succeeded());
}

}  // namespace
}  // namespace node_test
