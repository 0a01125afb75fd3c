// "local_wap_points" goals through the node as the task manager sends them: the waypoint planner
// of the node's own table, on the node's engines and maps.
#include <gtest/gtest.h>

#include "node_fixture.hpp"
#include "planning/planner_keys.hpp"

namespace local_node_test {
namespace {

using planning::local_keys::kLocalWayPoints;

class NodeWayPoints : public LocalNodeTest {
 protected:
  void SetUp() override {
    LocalNodeTest::SetUp();
    startNode();
  }
};

// The path runs east along y = 1 from x = 0 to 4 in poses 0.2 m apart: 15 poses are left ahead
// of the robot at x = 1.2, 14 at x = 1.4, where the task is done.
TEST_F(NodeWayPoints, FollowsThePathGoalByGoalUntilItsEndIsNear) {
  const auto goal = goalFor(kLocalWayPoints);
  for (const auto& [x, finished] : {std::pair{0.6, false}, {1.2, false}, {1.4, true}}) {
    SCOPED_TRACE(x);
    placeRobot(x, 1.0);
    const Reply reply = plan(goal);
    ASSERT_TRUE(reply.succeeded());
    const auto& poses = reply.result->local_path.nav_path.poses;
    ASSERT_FALSE(poses.empty());
    EXPECT_NEAR(poses.front().pose.position.x, x, 0.05);
    EXPECT_EQ(reply.result->finished, finished);
  }
}

// A piece whose every pose lies near a wall leaves nothing for the controller: the goal fails
// rather than sending the last goal's path again, and the used-up piece then asks for a new plan.
TEST_F(NodeWayPoints, APieceUsedUpByWallsFailsAndThenAsksForANewPlan) {
  ASSERT_TRUE(plan(goalFor(kLocalWayPoints)).succeeded());
  auto goal = goalFor(kLocalWayPoints);
  goal.global_path_uuid = goal.global_paths.uuid = "along the wall";
  goal.global_paths.paths[0].nav_path = line(0.0, -0.75, 1.0, -0.75, 5);
  placeRobot(0.0, -0.75);
  const char* lines[] = {"local planning failed, path is empty! error code is 101100006",
                         "local planning failed,result is false! error code is 101100006"};
  for (const bool need_replan : {false, true}) {
    test_support::captureLog()->clear();
    const Reply reply = plan(goal);
    EXPECT_TRUE(reply.aborted());
    EXPECT_EQ(reply.result->need_replan, need_replan);
    EXPECT_EQ(countLogged("ERROR", lines[need_replan]), 1);
  }
}

}  // namespace
}  // namespace local_node_test
