// "is_global_free" and "is_fuzzy_global_free" answered by the node on the drawn lift hall,
// through the task manager's action client.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "lift_node_fixture.hpp"
#include "support/shapes.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"

namespace lift_node_test {
namespace {

using vantrell_nav2_gridmap::testing::markObstaclePolygon;

constexpr uint32_t kWheelchair = 0x100;
constexpr uint32_t kHospitalBed = 0x200;

using test_support::box;

void expectPolygon(const Polygon& polygon, const std::vector<std::pair<double, double>>& corners) {
  ASSERT_EQ(polygon.points.size(), corners.size());
  for (size_t i = 0; i < corners.size(); ++i) {
    EXPECT_NEAR(polygon.points[i].x, corners[i].first, 1e-4) << "corner " << i;
    EXPECT_NEAR(polygon.points[i].y, corners[i].second, 1e-4) << "corner " << i;
  }
}

void expectSamePosition(const PoseStamped& a, const PoseStamped& b) {
  EXPECT_NEAR(a.pose.position.x, b.pose.position.x, 1e-9);
  EXPECT_NEAR(a.pose.position.y, b.pose.position.y, 1e-9);
}

size_t eventsWithCode(const std::vector<vantrell_protocol::msg::RobotEvent>& events, int32_t code) {
  size_t count = 0;
  for (const auto& event : events) {
    if (event.event_type == 6 && event.event_code == code) {
      ++count;
    }
  }
  return count;
}

class LiftChecks : public LiftNodeTest {
 protected:
  void SetUp() override {
    LiftNodeTest::SetUp();
    startNode();
    placeRobot("hall_centre", M_PI / 2.0);
  }
};

// ---- is_global_free ------------------------------------------------------------------------

TEST_F(LiftChecks, BeforeAnyLiftCheckOnlyTheCellIsTested) {
  const auto hall_centre = hall_.placeInWorld("hall_centre");
  auto reply = isFree(poseAt(hall_centre.x, hall_centre.y));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(reply.result->is_free);
  EXPECT_FALSE(reply.result->is_contained);
  EXPECT_TRUE(logged(*log_,
                     "[ERROR] NavGlobalPlanningServer::isGlobalFree receive no "
                     "lift_inner_frame"));

  // The car's side wall.
  reply = isFree(poseAt(2.925, 6.0));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->is_free);
}

TEST_F(LiftChecks, FootprintIsTestedAgainstTheStoredCar) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  const auto car = hall_.placeInWorld("car_centre");

  placeRobot("car_centre", M_PI / 2.0);
  auto reply = isFree(poseAt(car.x, car.y));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(reply.result->is_contained);
  EXPECT_TRUE(reply.result->is_free);

  // Half in the door.
  placeRobot(car.x, 5.6, M_PI / 2.0);
  reply = isFree(poseAt(car.x, car.y));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->is_contained);
}

TEST_F(LiftChecks, TargetOffTheMapIsNeverFree) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  placeRobot("car_centre", M_PI / 2.0);
  const auto reply = isFree(poseAt(-1.0, 3.0));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->is_free);
  EXPECT_TRUE(reply.result->is_contained);
  EXPECT_TRUE(logged(*log_, "[ERROR] NavGlobalPlanningServer::isGlobalFree worldToMap Failed!"));
}

TEST_F(LiftChecks, WithoutARobotPoseTheFootprintIsNotContained) {
  // A car around the map origin, where a footprint at the default pose would lie.
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, box(-1.0, -1.0, 1.0, 1.0))).succeeded());
  vantrell_nav2_gridmap::testing::removeRobotPose(*global_map_);
  const auto reply = isFree(poseAt(4.0, 6.0));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->is_contained);
  EXPECT_TRUE(reply.result->is_free);
  EXPECT_TRUE(logged(*log_, "[ERROR] NavGlobalPlanningServer::isGlobalFree getRobotPose Failed!"));
}

// ---- is_fuzzy_global_free, the way in -------------------------------------------------------

TEST_F(LiftChecks, FindsTheFreeCarPlaceNearestTheDoor) {
  const auto goal = liftGoal(keys::kLift, carFrame());
  const auto reply = fuzzy(goal);
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(reply.result->is_free);
  EXPECT_FALSE(reply.result->has_emergency);
  // Inside the car shrunk by the robot's forward extent (0.3 m), as near the door as it gets.
  const auto& place = reply.result->free_pose;
  EXPECT_NEAR(place.pose.position.x, goal.door_pose.pose.position.x, 1e-6);
  EXPECT_GE(place.pose.position.y, 5.8);
  EXPECT_LT(place.pose.position.y, 5.85);
  EXPECT_EQ(place.pose.orientation, goal.door_pose.pose.orientation);
  EXPECT_EQ(place.header.frame_id, "map");
  EXPECT_TRUE(logged(
      *log_, "[INFO] NavGlobalPlanningServer::isFuzzyGlobalFree connectiveAreaSearch success"));
  EXPECT_TRUE(robotEvents().empty());
  EXPECT_EQ(markers().size(), 1u);
}

TEST_F(LiftChecks, WithoutResizingTheFirstCarRowIsTaken) {
  const auto reply = fuzzy(liftGoal(keys::kLift, carFrame(), false));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(reply.result->is_free);
  EXPECT_NEAR(reply.result->free_pose.pose.position.y, 5.525, 1e-6);
}

TEST_F(LiftChecks, PublishesTheCarTheHallAndTheUsableCar) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  ASSERT_EQ(tap_->check_area.size(), 1u);
  ASSERT_EQ(tap_->check_lift_area.size(), 2u);
  expectPolygon(tap_->check_area[0].polygon, {{3.0, 7.95}, {3.0, 5.5}, {5.0, 5.5}, {5.0, 7.95}});
  // The hall: the back wall widened by 1.5 m each way, reaching 0.5 * 2.45 (half the car's
  // depth) + 2.95 (robot to door) + 1.5 towards the door's heading.
  expectPolygon(tap_->check_lift_area[0].polygon,
                {{6.5, 7.95}, {6.5, 2.275}, {1.5, 2.275}, {1.5, 7.95}});
  // The car kept 0.3 m (the robot's forward extent) from its walls.
  expectPolygon(tap_->check_lift_area[1].polygon,
                {{3.3, 7.65}, {3.3, 5.8}, {4.7, 5.8}, {4.7, 7.65}});
  for (const auto& message :
       {tap_->check_area[0], tap_->check_lift_area[0], tap_->check_lift_area[1]}) {
    EXPECT_EQ(message.header.frame_id, "map");
    EXPECT_EQ(message.header.stamp, tap_->check_area[0].header.stamp);
  }
  EXPECT_GT(tap_->check_area[0].header.stamp.sec, 0);
}

TEST_F(LiftChecks, HallStaysAsDeepAsTheFarthestRobotMadeIt) {
  placeRobot(4.025, 0.5, M_PI / 2.0);
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  placeRobot("hall_centre", M_PI / 2.0);
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  ASSERT_EQ(tap_->check_lift_area.size(), 4u);
  // 7.95 - (1.225 + 4.975 + 1.5), both times.
  EXPECT_NEAR(tap_->check_lift_area[0].polygon.points[1].y, 0.25, 1e-4);
  EXPECT_NEAR(tap_->check_lift_area[2].polygon.points[1].y, 0.25, 1e-4);
}

TEST_F(LiftChecks, AGoalWithoutFrameUsesTheStoredOne) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  const auto reply = fuzzy(liftGoal(keys::kLift, Polygon()));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(reply.result->is_free);
  EXPECT_FALSE(logged(*log_, "receive no lift_inner_frame"));
  ASSERT_EQ(tap_->check_area.size(), 2u);
  EXPECT_EQ(tap_->check_area[1].polygon, carFrame());
}

TEST_F(LiftChecks, OccupiedCarIsNotFreeAndTheLiftIsRefused) {
  markObstaclePolygon(*global_map_, box(3.0, 5.5, 5.0, 7.95));
  const auto goal = liftGoal(keys::kLift, carFrame());
  const auto reply = fuzzy(goal);
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->is_free);
  EXPECT_FALSE(reply.result->has_emergency);
  expectSamePosition(reply.result->free_pose, goal.door_pose);
  const auto events = robotEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(eventsWithCode(events, kLiftBlockedEvent), 1u);
  EXPECT_GT(events[0].stamp.sec, 0);
  // The search did run.
  EXPECT_EQ(markers().size(), 1u);
}

class EmergencyInTheCar : public LiftChecks, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(EmergencyInTheCar, KeepsTheRobotOutWithoutSearching) {
  // Seen by the local map only: that is the one the emergency test reads.
  markObstaclePolygon(*local_map_, box(3.5, 6.5, 4.2, 7.5), GetParam(), false);
  const auto goal = liftGoal(keys::kLift, carFrame());
  const auto reply = fuzzy(goal);
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(reply.result->has_emergency);
  EXPECT_FALSE(reply.result->is_free);
  EXPECT_EQ(reply.result->free_pose, goal.door_pose);
  EXPECT_EQ(eventsWithCode(robotEvents(), kLiftBlockedEvent), 1u);
  EXPECT_TRUE(tap_->check_area.empty());
  EXPECT_TRUE(tap_->check_lift_area.empty());
  EXPECT_TRUE(markers().empty());
  EXPECT_TRUE(logged(*log_, "Wheel chair or hospital bed in lift, stop taking lift."));
}

INSTANTIATE_TEST_SUITE_P(WheelchairAndHospitalBed, EmergencyInTheCar,
                         ::testing::Values(kWheelchair, kHospitalBed));

TEST_F(LiftChecks, OtherObstacleTypesAreNoEmergency) {
  // A dynamic obstacle (type 4) beside the door: the car is still usable.
  markObstaclePolygon(*local_map_, box(3.5, 6.5, 4.2, 7.5), 4, false);
  const auto reply = fuzzy(liftGoal(keys::kLift, carFrame()));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->has_emergency);
  EXPECT_TRUE(reply.result->is_free);
}

// ---- is_fuzzy_global_free, the way out -----------------------------------------------------

class LiftOutChecks : public LiftChecks {
 protected:
  void SetUp() override {
    LiftChecks::SetUp();
    placeRobot("car_centre", -M_PI / 2.0);
  }
};

TEST_F(LiftOutChecks, PlacesTheWaitingAreaInFrontOfTheDoorAndStoresIt) {
  const auto goal = liftGoal(keys::kLiftOut, Polygon());
  const auto reply = fuzzy(goal);
  ASSERT_TRUE(reply.succeeded());
  // Met coming from the car: the first cell within one cell of the door, with room to turn.
  EXPECT_TRUE(reply.result->is_free);
  EXPECT_LE(std::hypot(reply.result->free_pose.pose.position.x - goal.door_pose.pose.position.x,
                       reply.result->free_pose.pose.position.y - goal.door_pose.pose.position.y),
            hall_.resolution + 1e-9);
  EXPECT_EQ(reply.result->free_pose.pose.orientation, goal.door_pose.pose.orientation);
  EXPECT_FALSE(reply.result->has_emergency);

  // Corners (+-1.6, +-1.5) (the waiting area doubled), turned to face away from the car and
  // centred 1 m in front of the door.
  ASSERT_EQ(tap_->check_area.size(), 1u);
  const double cx = goal.door_pose.pose.position.x;
  const double cy = goal.door_pose.pose.position.y - 1.0;
  expectPolygon(
      tap_->check_area[0].polygon,
      {{cx + 1.5, cy - 1.6}, {cx + 1.5, cy + 1.6}, {cx - 1.5, cy + 1.6}, {cx - 1.5, cy - 1.6}});
  // Leaving, the lift is not shrunk.
  ASSERT_EQ(tap_->check_lift_area.size(), 2u);
  EXPECT_EQ(tap_->check_lift_area[1].polygon, tap_->check_area[0].polygon);

  // The waiting area is now the frame the footprint is tested against.
  auto free_reply = isFree(poseAt(cx, cy));
  ASSERT_TRUE(free_reply.succeeded());
  EXPECT_FALSE(free_reply.result->is_contained);
  placeRobot(cx, cy, M_PI / 2.0);
  free_reply = isFree(poseAt(cx, cy));
  ASSERT_TRUE(free_reply.succeeded());
  EXPECT_TRUE(free_reply.result->is_contained);
  EXPECT_TRUE(robotEvents().empty());
}

TEST_F(LiftOutChecks, AFrameThatCameWithTheGoalIsReplacedByTheWaitingArea) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLiftOut, carFrame())).succeeded());
  ASSERT_EQ(tap_->check_area.size(), 1u);
  EXPECT_NE(tap_->check_area[0].polygon, carFrame());
  placeRobot("car_centre", M_PI / 2.0);
  // The robot stands in the car, not in the waiting area.
  const auto reply = isFree(poseAt(4.0, 6.0));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->is_contained);
}

TEST_F(LiftOutChecks, NoWayOutIsNotFreeButRaisesNoEvent) {
  // The door and the front of the car are blocked.
  markObstaclePolygon(*global_map_, box(2.9, 3.0, 5.1, 5.8));
  const auto reply = fuzzy(liftGoal(keys::kLiftOut, Polygon()));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->is_free);
  EXPECT_TRUE(robotEvents().empty());
  EXPECT_EQ(markers().size(), 1u);
}

// ---- refused goals -------------------------------------------------------------------------

TEST_F(LiftChecks, AFrameOfThreePointsIsRefused) {
  auto frame = carFrame();
  frame.points.pop_back();
  const auto goal = liftGoal(keys::kLift, frame);
  const auto reply = fuzzy(goal);
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->is_free);
  EXPECT_EQ(reply.result->free_pose, goal.door_pose);
  EXPECT_TRUE(logged(*log_,
                     "[ERROR] NavGlobalPlanningServer::isFuzzyGlobalFree "
                     "lift_inner_frame holds 3 points, 4 needed"));
  EXPECT_EQ(eventsWithCode(robotEvents(), kLiftBlockedEvent), 1u);
  EXPECT_TRUE(tap_->check_area.empty());
  EXPECT_TRUE(tap_->check_lift_area.empty());
  EXPECT_TRUE(markers().empty());
}

TEST_F(LiftChecks, NoFrameAtAllIsRefused) {
  const auto reply = fuzzy(liftGoal(keys::kLift, Polygon()));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_FALSE(reply.result->is_free);
  EXPECT_TRUE(logged(*log_,
                     "[ERROR] NavGlobalPlanningServer::isFuzzyGlobalFree receive no "
                     "lift_inner_frame"));
  EXPECT_EQ(eventsWithCode(robotEvents(), kLiftBlockedEvent), 1u);
  EXPECT_TRUE(tap_->check_area.empty());
}

TEST_F(LiftChecks, AnUnknownPlannerIsRefusedAndNotAddedToTheTable) {
  const auto keys = node_->plannerKeys();
  for (const std::string name : {"stairs", ""}) {
    const auto goal = liftGoal(name, carFrame());
    const auto reply = fuzzy(goal);
    ASSERT_TRUE(reply.succeeded()) << name;
    EXPECT_FALSE(reply.result->is_free);
    EXPECT_EQ(reply.result->free_pose, goal.door_pose);
  }
  EXPECT_TRUE(logged(*log_,
                     "[ERROR] NavGlobalPlanningServer::isFuzzyGlobalFree there is no "
                     "planner called \"stairs\""));
  EXPECT_EQ(node_->plannerKeys(), keys);
  EXPECT_TRUE(robotEvents().empty());
  EXPECT_TRUE(tap_->check_area.empty());
  EXPECT_TRUE(markers().empty());
}

// Only the way out reads "lift_polygon"; the way in takes its car from the goal.
TEST_F(LiftNodeTest, ADefaultNodeChecksALiftCarButCannotSetOutTheWaitingArea) {
  startNode(rclcpp::NodeOptions());
  placeRobot("hall_centre", M_PI / 2.0);
  const auto in = fuzzy(liftGoal(keys::kLift, carFrame()));
  ASSERT_TRUE(in.succeeded());
  EXPECT_TRUE(in.result->is_free);
  EXPECT_GE(in.result->free_pose.pose.position.y, 5.8);
  ASSERT_EQ(tap_->check_area.size(), 1u);
  EXPECT_EQ(tap_->check_area[0].polygon, carFrame());

  const auto goal = liftGoal(keys::kLiftOut, carFrame());
  const auto out = fuzzy(goal);
  ASSERT_TRUE(out.succeeded());
  EXPECT_FALSE(out.result->is_free);
  EXPECT_FALSE(out.result->has_emergency);
  EXPECT_EQ(out.result->free_pose, goal.door_pose);
  EXPECT_TRUE(logged(*log_,
                     "[ERROR] NavGlobalPlanningServer::isFuzzyGlobalFree lift_polygon "
                     "holds 0 values, 10 needed"));
  EXPECT_TRUE(robotEvents().empty());
  EXPECT_EQ(tap_->check_area.size(), 1u);
  EXPECT_EQ(markers().size(), 1u);

  // The frame that came with the goals is kept for the other checks all the same.
  placeRobot("car_centre", M_PI / 2.0);
  const auto reply = isFree(poseAt(4.0, 6.0));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(reply.result->is_contained);
}

// Without the robot there is no hall to build: the map origin standing in for it would make the
// hall, and every later one, deeper for good.
TEST_F(LiftChecks, WithoutARobotPoseNeitherWayIsFreeAndTheHallKeepsItsDepth) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  vantrell_nav2_gridmap::testing::removeRobotPose(*global_map_);
  for (const std::string name : {keys::kLift, keys::kLiftOut}) {
    SCOPED_TRACE(name);
    const auto goal = liftGoal(name, carFrame());
    const auto reply = fuzzy(goal);
    ASSERT_TRUE(reply.succeeded());
    EXPECT_FALSE(reply.result->is_free);
    EXPECT_EQ(reply.result->free_pose, goal.door_pose);
  }
  EXPECT_TRUE(
      logged(*log_, "[ERROR] NavGlobalPlanningServer::isFuzzyGlobalFree getRobotPose Failed!"));
  EXPECT_EQ(eventsWithCode(robotEvents(), kLiftBlockedEvent), 1u);
  EXPECT_EQ(tap_->check_area.size(), 1u);
  EXPECT_EQ(markers().size(), 1u);

  placeRobot("hall_centre", M_PI / 2.0);
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  ASSERT_EQ(tap_->check_lift_area.size(), 4u);
  EXPECT_NEAR(tap_->check_lift_area[2].polygon.points[1].y, 2.275, 1e-4);
}

// A pose that is not a number is a bad request: refused before anything is kept from it.
TEST_F(LiftChecks, NonFinitePosesAreRefusedAndLeaveNothingBehind) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const std::string name : {keys::kLift, keys::kLiftOut}) {
    auto goal = liftGoal(name, box(0.0, 0.0, 1.0, 1.0));
    goal.door_pose.pose.position.x = nan;
    goal.door_pose.pose.orientation.z = inf;
    const auto reply = fuzzy(goal);
    ASSERT_TRUE(reply.succeeded()) << name;
    EXPECT_FALSE(reply.result->is_free) << name;
  }
  EXPECT_TRUE(
      logged(*log_, "[ERROR] NavGlobalPlanningServer::isFuzzyGlobalFree door_pose is not finite"));

  log_->clear();
  placeRobot(nan, 3.0, M_PI / 2.0);
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  EXPECT_TRUE(
      logged(*log_, "[ERROR] NavGlobalPlanningServer::isFuzzyGlobalFree getRobotPose Failed!"));
  EXPECT_EQ(eventsWithCode(robotEvents(), kLiftBlockedEvent), 2u);

  // The stored car is still the first goal's, the hall as deep as the first one made it.
  placeRobot("hall_centre", M_PI / 2.0);
  const auto reply = fuzzy(liftGoal(keys::kLift, Polygon()));
  ASSERT_TRUE(reply.succeeded());
  EXPECT_TRUE(reply.result->is_free);
  ASSERT_EQ(tap_->check_area.size(), 2u);
  EXPECT_EQ(tap_->check_area[1].polygon, carFrame());
  ASSERT_EQ(tap_->check_lift_area.size(), 4u);
  EXPECT_NEAR(tap_->check_lift_area[2].polygon.points[1].y, 2.275, 1e-4);
}

// Records name the operation that writes them, and their source from the project root.
TEST_F(LiftChecks, RecordsNameTheCheckThatWroteThemAndTheirSourceFromTheProjectRoot) {
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, carFrame())).succeeded());
  vantrell_nav2_gridmap::testing::removeRobotPose(*global_map_);
  log_->clear();
  ASSERT_TRUE(isFree(poseAt(4.0, 6.0)).succeeded());
  ASSERT_TRUE(fuzzy(liftGoal(keys::kLift, Polygon(), false)).succeeded());
  const auto records = log_->records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].function, "isGlobalFree");
  EXPECT_EQ(records[1].function, "isFuzzyGlobalFree");
  for (const auto& record : records) {
    EXPECT_EQ(record.file, "./src/global_planning/nav_global_planning_server_lift.cpp");
  }
}

}  // namespace
}  // namespace lift_node_test
