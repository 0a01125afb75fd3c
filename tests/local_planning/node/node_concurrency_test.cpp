// Goals arriving while another runs: one runs at a time on the worker, the newest waits, a
// cancel only turns a failure into a cancellation.
#include <gtest/gtest.h>

#include <future>

#include "node_fixture.hpp"

namespace local_node_test {
namespace {

class NodeConcurrency : public LocalNodeTest {
 protected:
  void SetUp() override {
    LocalNodeTest::SetUp();
    startNode();
  }

  test_support::PendingGoal<LocalPlanning> send(int32_t action_id) {
    auto goal = goalFor();
    goal.action_id = action_id;
    return task_manager_->send<LocalPlanning>("local_planning", goal);
  }
};

TEST_F(NodeConcurrency, ANewerGoalReplacesTheWaitingOneWhileAGoalRuns) {
  planner().holdNextPlan();
  const auto running = send(1);
  ASSERT_TRUE(planner().waitUntilHeld());
  const auto replaced = send(2);
  // Taken into the pending slot before the newest arrives.
  ASSERT_EQ(replaced.handle.wait_for(test_support::kActionPatience), std::future_status::ready);
  const auto newest = send(3);

  // The goal that waited gives way at once, with an empty result.
  const auto gave_way = task_manager_->waitFor(replaced);
  ASSERT_TRUE(gave_way.aborted());
  EXPECT_EQ(*gave_way.result, LocalPlanning::Result());

  planner().release();
  const auto first = task_manager_->waitFor(running);
  ASSERT_TRUE(first.succeeded());
  EXPECT_EQ(first.result->action_id, 1);
  const auto last = task_manager_->waitFor(newest);
  ASSERT_TRUE(last.succeeded());
  EXPECT_EQ(last.result->action_id, 3);
  // The newest goal started from the local path of the one before it.
  EXPECT_EQ(planner().working_path.poses, first.result->local_path.nav_path.poses);
}

TEST_F(NodeConcurrency, ACancelTurnsAFailureIntoACancellationButNotASuccess) {
  for (const bool plans : {false, true}) {
    SCOPED_TRACE(plans ? "planned" : "failed");
    planner().script.answer = plans;
    planner().script.need_replan = true;
    planner().holdNextPlan();
    const auto goal = send(7);
    ASSERT_TRUE(planner().waitUntilHeld());
    ASSERT_TRUE(task_manager_->cancel<LocalPlanning>("local_planning", goal));
    planner().release();

    const auto reply = task_manager_->waitFor(goal);
    if (plans) {
      ASSERT_TRUE(reply.succeeded());
      EXPECT_EQ(reply.result->action_id, 7);
    } else {
      ASSERT_TRUE(reply.canceled());
      EXPECT_EQ(reply.result->need_replan, 1);
    }
  }
}

// The goal's own end reaches the node's server: the node waits for it before anything goes.
TEST_F(NodeConcurrency, DestroyingTheNodeWhileAGoalRunsLetsTheGoalEndFirst) {
  const auto held = node_->planner();
  held->holdNextPlan();
  auto goal = goalFor();
  goal.planning_mode = 7;
  const auto sent = task_manager_->send<LocalPlanning>("local_planning", goal);
  ASSERT_TRUE(held->waitUntilHeld());
  node_->on_destruction = [held] { held->release(); };
  task_manager_.reset();
  node_.reset();
  EXPECT_EQ(held->planning_mode, 7);
}

}  // namespace
}  // namespace local_node_test
