// The forced path into the stored lift frame, and the lift planners answering
// "global_planning" goals, through the task manager's action client.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "lift_node_fixture.hpp"
#include "planning/codes.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"

namespace lift_node_test {
namespace {

using vantrell_communicator::testing::CommunicatorProbe;

double distanceTo(const PoseStamped& pose, double x, double y) {
  return std::hypot(pose.pose.position.x - x, pose.pose.position.y - y);
}

class LiftPaths : public LiftNodeTest {
 protected:
  void SetUp() override {
    LiftNodeTest::SetUp();
    startNode();
    placeRobot("hall_centre", M_PI / 2.0);
  }
};

// ---- force_global_path ---------------------------------------------------------------------

TEST_F(LiftPaths, WithoutALiftCheckThereIsNoForcedPath) {
  const auto reply = force();
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->success);
  EXPECT_TRUE(reply.result->multi_paths.paths.empty());
  EXPECT_TRUE(reply.result->multi_paths.uuid.empty());
  EXPECT_EQ(CommunicatorProbe::globalPaths().count(), 0u);
  EXPECT_TRUE(logged(
      *log_, "[ERROR] PathProduct::generatePathFromPolygon Polygon must have at least 4 points."));
}

TEST_F(LiftPaths, ForcedPathRunsStraightIntoTheStoredCar) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  const auto reply = force();
  ASSERT_TRUE(reply.succeeded());
  ASSERT_TRUE(reply.result->success);
  const auto& set = reply.result->multi_paths;
  ASSERT_EQ(set.paths.size(), 1u);
  const auto& poses = set.paths[0].nav_path.poses;
  ASSERT_GE(poses.size(), 2u);
  // From 4.5 m outside the car's centre, in the direction from point 3 to point 2 (out of the
  // door), to the centre.
  EXPECT_LT(distanceTo(poses.front(), 4.0, 6.725 - 4.5), 1e-4);
  EXPECT_LT(distanceTo(poses.back(), 4.0, 6.725), 1e-4);
  // About a cell apart: the costmap's cell is the map message's single-precision 0.05, a hair
  // over, so the 4.5 m take one step fewer than 90.
  EXPECT_NEAR(distanceTo(poses[1], poses[0].pose.position.x, poses[0].pose.position.y),
              hall_.resolution, 1e-3);
  EXPECT_EQ(set.header.frame_id, "map");
  EXPECT_EQ(set.header.stamp.sec, 0);
  EXPECT_EQ(set.header.stamp.nanosec, 0u);
  EXPECT_EQ(set.paths[0].nav_path.header.frame_id, "map");
  EXPECT_EQ(poses.front().header.frame_id, "map");
  EXPECT_FALSE(set.uuid.empty());

  // Consumers got the same set, before it had its identifier.
  const auto published = CommunicatorProbe::globalPaths().kept();
  ASSERT_EQ(published.size(), 1u);
  EXPECT_TRUE(published[0].uuid.empty());
  EXPECT_EQ(published[0].paths, set.paths);
  EXPECT_EQ(published[0].header, set.header);
}

TEST_F(LiftPaths, EveryForcedPathGetsItsOwnIdentifierWhateverTheTarget) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  const auto first = force();
  ForceGlobalPath::Goal elsewhere;
  elsewhere.target_pose = poseAt(1.0, 1.0, 2.0);
  const auto second = task_manager_->call<ForceGlobalPath>("force_global_path", elsewhere);
  ASSERT_TRUE(first.succeeded());
  ASSERT_TRUE(second.succeeded());
  EXPECT_NE(first.result->multi_paths.uuid, second.result->multi_paths.uuid);
  // The same stored frame gives the same way, whatever the goal asked for.
  const auto& first_poses = first.result->multi_paths.paths.at(0).nav_path.poses;
  const auto& second_poses = second.result->multi_paths.paths.at(0).nav_path.poses;
  ASSERT_EQ(first_poses.size(), second_poses.size());
  for (size_t i = 0; i < first_poses.size(); ++i) {
    EXPECT_EQ(first_poses[i].pose, second_poses[i].pose) << "pose " << i;
  }
}

TEST_F(LiftPaths, AfterLeavingTheForcedPathRunsIntoTheWaitingArea) {
  placeRobot("car_centre", -M_PI / 2.0);
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLiftOut, Polygon())).succeeded());
  const auto reply = force();
  ASSERT_TRUE(reply.succeeded());
  ASSERT_TRUE(reply.result->success);
  const auto& poses = reply.result->multi_paths.paths.at(0).nav_path.poses;
  ASSERT_FALSE(poses.empty());
  // The waiting area's centre, 1 m in front of the door.
  const auto door = doorPose(M_PI / 2.0);
  EXPECT_LT(distanceTo(poses.back(), door.pose.position.x, door.pose.position.y - 1.0), 1e-4);
}

// ---- the lift planners answering "global_planning" -------------------------------------------

TEST_F(LiftPaths, LiftInPlanEndsInTheCar) {
  const auto car = hall_.placeInWorld("car_centre");
  const auto reply = plan(keys::kLift, keys::kLiftInMode, poseAt(car.x, car.y, M_PI / 2.0));
  ASSERT_TRUE(reply.succeeded());
  ASSERT_FALSE(reply.result->multi_paths.paths.empty());
  const auto& path = reply.result->multi_paths.paths.back();
  EXPECT_FALSE(path.move_backward);
  EXPECT_LT(distanceTo(path.nav_path.poses.back(), car.x, car.y), 0.05);
  EXPECT_TRUE(robotEvents().empty());
}

TEST_F(LiftPaths, LiftOutPlanBacksOutOfTheCar) {
  placeRobot("car_centre", M_PI / 2.0);
  const auto hall_centre = hall_.placeInWorld("hall_centre");
  const auto reply = plan(keys::kLiftOut, keys::kLiftOutMode, poseAt(hall_centre.x, hall_centre.y));
  ASSERT_TRUE(reply.succeeded());
  ASSERT_FALSE(reply.result->multi_paths.paths.empty());
  EXPECT_TRUE(reply.result->multi_paths.paths.front().move_backward);
  EXPECT_TRUE(logged(*log_, "lift planner success, paths_msg.paths.front().move_backward is true"));
}

TEST_F(LiftPaths, FailedLiftPlansAbortWithTheirEvents) {
  // Inside the car's side wall: no way there.
  auto reply = plan(keys::kLift, keys::kLiftInMode, poseAt(2.925, 6.5));
  ASSERT_TRUE(reply.aborted());
  EXPECT_EQ(reply.result->error_code, planning::codes::kGlobalPlanFailed);

  placeRobot("car_centre", M_PI / 2.0);
  reply = plan(keys::kLiftOut, keys::kLiftOutMode, poseAt(2.925, 6.5));
  ASSERT_TRUE(reply.aborted());
  EXPECT_EQ(reply.result->error_code, planning::codes::kGlobalPlanFailed);

  const auto events = robotEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].event_code, planning::codes::kLiftInPlanFailedEvent);
  EXPECT_EQ(events[1].event_code, planning::codes::kLiftOutPlanFailedEvent);
}

}  // namespace
}  // namespace lift_node_test
