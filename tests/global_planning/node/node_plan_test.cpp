// "global_planning" goals answered by the real planners on a drawn office floor.
#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "node_fixture.hpp"
#include "std_msgs/msg/string.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"

namespace node_test {
namespace {

using vantrell_communicator::testing::CommunicatorProbe;

constexpr double kFourPi = 12.566370614359172;

class NodePlan : public NodeTest {
 protected:
  void SetUp() override {
    NodeTest::SetUp();
    startNode(test_support::drawOfficeFloor());
    placeRobot("corridor_west");
  }

  // Every path is in the map frame, has poses, and the set carries the usual header.
  static void expectUsablePathSet(const GlobalPlanning::Result& result) {
    ASSERT_FALSE(result.multi_paths.paths.empty());
    EXPECT_EQ(result.multi_paths.header.frame_id, "map");
    for (const auto& path : result.multi_paths.paths) {
      EXPECT_EQ(path.nav_path.header.frame_id, "map");
      EXPECT_FALSE(path.nav_path.poses.empty());
    }
    EXPECT_EQ(result.error_code, 0);
    EXPECT_FALSE(result.global_path_uuid.empty());
  }

  static const PoseStamped& lastPose(const GlobalPlanning::Result& result) {
    return result.multi_paths.paths.back().nav_path.poses.back();
  }

  static double distance(const PoseStamped& a, const PoseStamped& b) {
    return std::hypot(a.pose.position.x - b.pose.position.x, a.pose.position.y - b.pose.position.y);
  }
};

TEST_F(NodePlan, GridSearchPlannersReachTheOfficeTheyAreSentTo) {
  for (const auto& [planner, office] : std::vector<std::pair<std::string, std::string>>{
           {keys::kDijkstra, "office_1"},
           {keys::kAstarWithLocalAndGlobalMap, "office_4"},
           {keys::kDijkstraUptakeWater, "office_2"}}) {
    SCOPED_TRACE(planner);
    auto goal = goalFor(planner, {poseAt(map_, office)});
    goal.action_id = 31;
    goal.goal_mode = 2;
    const auto reply = plan(goal);
    ASSERT_TRUE(reply.succeeded());
    expectUsablePathSet(*reply.result);
    EXPECT_LT(distance(lastPose(*reply.result), poseAt(map_, office)), 0.1);
    EXPECT_EQ(reply.result->action_id, 31);
    EXPECT_EQ(reply.result->goal_mode, 2);
  }
}

TEST_F(NodePlan, WaypointsPlannerPassesEveryGivenPose) {
  const auto middle = poseAt(map_, "cabinet_gap");
  const auto end = poseAt(map_, "corridor_east");
  const auto reply = plan(goalFor(keys::kWayPoints, {middle, end}));
  ASSERT_TRUE(reply.succeeded());
  expectUsablePathSet(*reply.result);
  EXPECT_LT(distance(lastPose(*reply.result), end), 0.1);
}

TEST_F(NodePlan, GoalZonePlannerEndsInsideTheZone) {
  // The free part of office 3 south of its table.
  auto goal = goalFor(keys::kDijkstraGoalZone, {});
  for (const auto& [x, y] : std::vector<std::pair<float, float>>{
           {14.5F, 4.2F}, {18.5F, 4.2F}, {18.5F, 6.0F}, {14.5F, 6.0F}}) {
    geometry_msgs::msg::Point32 corner;
    corner.x = x;
    corner.y = y;
    goal.goal_zone.push_back(corner);
  }
  const auto reply = plan(goal);
  ASSERT_TRUE(reply.succeeded());
  expectUsablePathSet(*reply.result);
  const auto& end = lastPose(*reply.result).pose.position;
  EXPECT_GT(end.x, 14.5);
  EXPECT_LT(end.x, 18.5);
  EXPECT_GT(end.y, 4.2);
  EXPECT_LT(end.y, 6.0);
  ASSERT_EQ(reply.result->goal_zones.size(), 1U);
  EXPECT_EQ(reply.result->goal_zones[0].points.size(), 4U);
}

TEST_F(NodePlan, RecommendedPointsPlannerSkipsAPointInsideFurniture) {
  // The first point lies on office 5's table; the second is free.
  const auto on_table = poseAt(map_.cellToWorld({199, 230}).x, map_.cellToWorld({199, 230}).y);
  const auto free_point = poseAt(map_, "office_5");
  const auto reply = plan(goalFor(keys::kRecommandPoints, {on_table, free_point}));
  ASSERT_TRUE(reply.succeeded());
  expectUsablePathSet(*reply.result);
  EXPECT_LT(distance(lastPose(*reply.result), free_point), 0.1);
}

TEST_F(NodePlan, EveryPlanGetsANewIdentifierAndIsPublishedAsAnswered) {
  std::set<std::string> identifiers;
  for (int i = 0; i < 3; ++i) {
    const auto reply = plan(goalFor(keys::kDijkstra, {poseAt(map_, "office_6")}));
    ASSERT_TRUE(reply.succeeded());
    identifiers.insert(reply.result->global_path_uuid);

    const auto published = CommunicatorProbe::globalPaths().kept();
    ASSERT_EQ(published.size(), static_cast<size_t>(i + 1));
    EXPECT_EQ(published.back().paths, reply.result->multi_paths.paths);
    EXPECT_EQ(published.back().header.frame_id, "map");
  }
  EXPECT_EQ(identifiers.size(), 3U);
}

TEST_F(NodePlan, EndYawIsThatOfTheLastPoseOfTheLastPath) {
  const auto reply = plan(goalFor(keys::kDijkstra, {poseAt(map_, "office_3", 1.2)}));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FLOAT_EQ(reply.result->end_target_yaw, static_cast<float>(yawOf(lastPose(*reply.result))));
}

TEST_F(NodePlan, StartYawTellsWhetherTheRobotMustTurnFirst) {
  // A straight waypoint path heading 0.5 rad from the robot.
  const double x0 = 3.0;
  const double y0 = 7.3;
  const double length = 1.5;
  const auto ahead = poseAt(x0 + length * std::cos(0.5), y0 + length * std::sin(0.5), 0.5);

  placeRobot(x0, y0, 0.0);
  auto reply = plan(goalFor(keys::kWayPoints, {ahead}));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FLOAT_EQ(reply.result->start_target_yaw, static_cast<float>(kFourPi));

  // Facing away: the robot must turn to the stretch's heading first.
  placeRobot(x0, y0, 3.0);
  reply = plan(goalFor(keys::kWayPoints, {ahead}));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_NEAR(reply.result->start_target_yaw, 0.5, 1e-3);

  // 3.0 and -3.0 rad lie 0.28 rad apart across the wrap.
  const auto behind = poseAt(x0 + length * std::cos(-3.0), y0 + length * std::sin(-3.0));
  reply = plan(goalFor(keys::kWayPoints, {behind}));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FLOAT_EQ(reply.result->start_target_yaw, static_cast<float>(kFourPi));
}

TEST_F(NodePlan, OnlyModeFourHundredFiveEchoesTheGoalPoses) {
  const auto target = poseAt(map_, "office_2");
  auto goal = goalFor(keys::kDijkstra, {target});
  goal.goal_mode = 405;
  auto reply = plan(goal);
  ASSERT_TRUE(reply.succeeded());
  ASSERT_EQ(reply.result->goal_poses.size(), 1U);
  EXPECT_EQ(reply.result->goal_poses[0], target);

  goal.goal_mode = 404;
  reply = plan(goal);
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(reply.result->goal_poses.empty());
}

TEST_F(NodePlan, GoalZoneComesBackFlatAndAnEmptyZoneAsOneEmptyPolygon) {
  auto goal = goalFor(keys::kDijkstra, {poseAt(map_, "office_1")});
  geometry_msgs::msg::Point32 raised;
  raised.x = 1.5F;
  raised.y = 2.5F;
  raised.z = 4.0F;
  goal.goal_zone = {raised, raised};
  auto reply = plan(goal);
  ASSERT_TRUE(reply.succeeded());
  ASSERT_EQ(reply.result->goal_zones.size(), 1U);
  ASSERT_EQ(reply.result->goal_zones[0].points.size(), 2U);
  EXPECT_EQ(reply.result->goal_zones[0].points[1].x, 1.5F);
  EXPECT_EQ(reply.result->goal_zones[0].points[1].y, 2.5F);
  EXPECT_EQ(reply.result->goal_zones[0].points[1].z, 0.0F);

  goal.goal_zone.clear();
  reply = plan(goal);
  ASSERT_TRUE(reply.succeeded());
  ASSERT_EQ(reply.result->goal_zones.size(), 1U);
  EXPECT_TRUE(reply.result->goal_zones[0].points.empty());
}

TEST_F(NodePlan, TraceLinesGoOutOnThePlanningDebugTopic) {
  // The executor may still be inside the callback when the test drops the subscription, so
  // what the callback touches is shared with it rather than left on this stack.
  struct Received {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::string> lines;
  };
  auto received = std::make_shared<Received>();
  auto subscription = task_manager_->node()->create_subscription<std_msgs::msg::String>(
      "planning_debug", 100, [received](std_msgs::msg::String::ConstSharedPtr line) {
        std::lock_guard<std::mutex> lock(received->mutex);
        received->lines.push_back(line->data);
        received->arrived.notify_all();
      });
  ASSERT_TRUE(plan(goalFor(keys::kDijkstra, {poseAt(map_, "office_1")})).succeeded());

  const std::string wanted =
      " [DEBUG] ------>NavGlobalPlanningServer current_planning_id is dijkstra";
  std::unique_lock<std::mutex> lock(received->mutex);
  EXPECT_TRUE(received->arrived.wait_for(lock, test_support::kActionPatience, [&] {
    for (const auto& line : received->lines) {
      if (line.size() == 19 + wanted.size() && line.compare(19, wanted.size(), wanted) == 0) {
        return true;
      }
    }
    return false;
  }));
}

TEST(StartTargetYaw, ShortOrStandingStretchesAskForNoTurn) {
  std::vector<PoseStamped> four{poseAt(0, 0), poseAt(1, 0), poseAt(2, 0), poseAt(3, 0)};
  EXPECT_EQ(ObservedNode::startTargetYaw(four, 2.0), 0.0);

  // p[4] on p[0].
  std::vector<PoseStamped> loop{poseAt(0, 0), poseAt(1, 0), poseAt(1, 1),
                                poseAt(0, 1), poseAt(0, 0), poseAt(2, 2)};
  EXPECT_EQ(ObservedNode::startTargetYaw(loop, 2.0), 0.0);

  // The last pose on p[n-5].
  std::vector<PoseStamped> back{poseAt(0, 0), poseAt(1, 0), poseAt(2, 0),
                                poseAt(3, 0), poseAt(4, 0), poseAt(1, 0)};
  EXPECT_EQ(ObservedNode::startTargetYaw(back, 2.0), 0.0);
}

TEST(StartTargetYaw, TurnOnlyWhenTheRobotFacesMoreThanAQuarterTurnAway) {
  auto stretch = [](double heading) {
    std::vector<PoseStamped> poses;
    for (int k = 0; k < 8; ++k) {
      poses.push_back(poseAt(k * 0.1 * std::cos(heading), k * 0.1 * std::sin(heading)));
    }
    return poses;
  };
  EXPECT_EQ(ObservedNode::startTargetYaw(stretch(0.5), 0.0), kFourPi);
  EXPECT_NEAR(ObservedNode::startTargetYaw(stretch(2.0), 0.0), 2.0, 1e-12);
  EXPECT_EQ(ObservedNode::startTargetYaw(stretch(-3.0), 3.0), kFourPi);
  EXPECT_NEAR(ObservedNode::startTargetYaw(stretch(-1.0), 1.0), -1.0, 1e-12);
}

}  // namespace
}  // namespace node_test
