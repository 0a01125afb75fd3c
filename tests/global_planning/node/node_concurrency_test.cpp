// The four action servers of the node run their goals at the same time, each on its own worker,
// sharing the planners, the grid maps and the communicator.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "node_fixture.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"

namespace node_test {
namespace {

using vantrell_communicator::testing::CommunicatorProbe;

class NodeConcurrency : public NodeTest {
 protected:
  void SetUp() override {
    NodeTest::SetUp();
    startNode(test_support::drawOfficeFloor());
    placeRobot("corridor_west");
  }
};

TEST_F(NodeConcurrency, LiftActionsAreServedWhileAGlobalPlanIsUnderWay) {
  auto planner = addScriptedPlanner("scripted");
  planner->holdNextPlan();
  auto held = task_manager_->send<GlobalPlanning>("global_planning",
                                                  goalFor("scripted", {poseAt(3.0, 7.5)}));
  ASSERT_TRUE(planner->waitUntilHeld());

  // The global planning worker is busy; the other three answer regardless.
  EXPECT_TRUE(task_manager_->call<LiftFree>("is_global_free", LiftFree::Goal()).succeeded());
  EXPECT_TRUE(task_manager_->call<FuzzyLiftFree>("is_fuzzy_global_free", FuzzyLiftFree::Goal())
                  .succeeded());
  EXPECT_TRUE(task_manager_->call<ForceGlobalPath>("force_global_path", ForceGlobalPath::Goal())
                  .succeeded());

  planner->release();
  EXPECT_TRUE(task_manager_->waitFor(held).succeeded());
}

// The host may configure the node again (after cleanup) while a goal still runs, since the
// servers stay on: that configure fails before it touches what the goal writes, so the goal
// ends with its own result record, the zone it was sent with included.
TEST_F(NodeConcurrency, ASecondConfigureDuringAGoalLeavesTheGoalsResultAlone) {
  auto planner = addScriptedPlanner("scripted");
  planner->holdNextPlan();
  auto goal = goalFor("scripted", {poseAt(3.0, 7.5)});
  goal.goal_zone.resize(3);
  goal.goal_zone[1].x = 2.0F;
  goal.goal_zone[2].y = 2.0F;
  auto held = task_manager_->send<GlobalPlanning>("global_planning", goal);
  ASSERT_TRUE(planner->waitUntilHeld());
  const auto* record = node_->resultRecord();

  ASSERT_EQ(node_->deactivate().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(node_->cleanup().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_UNCONFIGURED);
  planning::NavGlobalPlanningServer::CallbackReturn code =
      planning::NavGlobalPlanningServer::CallbackReturn::SUCCESS;
  node_->configure(code);
  EXPECT_EQ(code, planning::NavGlobalPlanningServer::CallbackReturn::ERROR);
  EXPECT_EQ(node_->resultRecord(), record);

  planner->release();
  const auto reply = task_manager_->waitFor(held);
  ASSERT_TRUE(reply.succeeded());
  ASSERT_EQ(reply.result->goal_zones.size(), 1U);
  EXPECT_EQ(reply.result->goal_zones[0].points.size(), 3U);
}

TEST_F(NodeConcurrency, FourServersTakeGoalsAtOnceRoundAfterRound) {
  const std::vector<std::string> offices{"office_1", "office_2", "office_3",
                                         "office_4", "office_5", "office_6"};
  std::set<std::string> identifiers;
  for (const auto& office : offices) {
    auto global = task_manager_->send<GlobalPlanning>(
        "global_planning", goalFor(keys::kDijkstra, {poseAt(map_, office)}));
    auto lift_free = task_manager_->send<LiftFree>("is_global_free", LiftFree::Goal());
    auto fuzzy = task_manager_->send<FuzzyLiftFree>("is_fuzzy_global_free", FuzzyLiftFree::Goal());
    auto force = task_manager_->send<ForceGlobalPath>("force_global_path", ForceGlobalPath::Goal());

    const auto global_reply = task_manager_->waitFor(global);
    ASSERT_TRUE(global_reply.succeeded()) << office;
    identifiers.insert(global_reply.result->global_path_uuid);
    EXPECT_TRUE(task_manager_->waitFor(lift_free).succeeded());
    EXPECT_TRUE(task_manager_->waitFor(fuzzy).succeeded());
    EXPECT_TRUE(task_manager_->waitFor(force).succeeded());
  }
  EXPECT_EQ(identifiers.size(), offices.size());
  EXPECT_EQ(CommunicatorProbe::globalPaths().count(), offices.size());
}

TEST_F(NodeConcurrency, TwoTaskManagersPlanningFromTheirOwnThreads) {
  // Goals arrive from two clients on two threads: one runs while the other waits in the
  // pending slot. A client that hears its result may send its next goal before the worker has
  // taken up the waiting one, which then gives way to the newer goal: every goal still ends,
  // and a goal that gave way is aborted with an empty result, never as a planning failure.
  test_support::TaskManagerClient other("second_task_manager");
  std::vector<test_support::ActionReply<GlobalPlanning>> replies(8);
  auto run = [&](test_support::TaskManagerClient& client, size_t first) {
    for (size_t i = first; i < first + 4; ++i) {
      replies[i] = client.call<GlobalPlanning>(
          "global_planning", goalFor(keys::kAstarWithLocalAndGlobalMap,
                                     {poseAt(map_, i % 2 == 0 ? "office_1" : "office_6")}));
    }
  };
  std::thread second([&] { run(other, 4); });
  run(*task_manager_, 0);
  second.join();

  size_t succeeded = 0;
  for (const auto& reply : replies) {
    ASSERT_TRUE(reply.answered);
    if (reply.succeeded()) {
      ++succeeded;
      EXPECT_FALSE(reply.result->multi_paths.paths.empty());
    } else {
      EXPECT_TRUE(reply.aborted());
      EXPECT_EQ(reply.result->error_code, 0);
      EXPECT_TRUE(reply.result->multi_paths.paths.empty());
    }
  }
  // A displaced goal's client sends its next goal at once, which may displace the other
  // client's waiting goal in turn while the worker is slow to take it up, so on a loaded machine
  // most goals can give way. The goal sent last has nothing after it and always runs.
  EXPECT_GE(succeeded, 1u);
}

// The goal's own end reaches its server through the node: the node waits for it before anything
// goes.
TEST_F(NodeConcurrency, DestroyingTheNodeWhileAGoalRunsLetsTheGoalEndFirst) {
  auto planner = addScriptedPlanner("scripted");
  planner->holdNextPlan();
  const auto held = task_manager_->send<GlobalPlanning>("global_planning",
                                                        goalFor("scripted", {poseAt(3.0, 7.5)}));
  ASSERT_TRUE(planner->waitUntilHeld());
  node_->on_destruction = [planner] { planner->release(); };
  task_manager_.reset();
  node_.reset();
  EXPECT_EQ(planner->calls(), 1);
}

}  // namespace
}  // namespace node_test
