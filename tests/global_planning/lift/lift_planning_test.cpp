#include "planning/global_planning/lift_planning.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lift_fixtures.hpp"
#include "support/drawn_maps.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace lift_test {
namespace {

using planning::LiftPlanning;
using vantrell_nav2_planner::astar2::AstarPlanner;
using vantrell_nav2_planner::astar2::AstarPlannerProbe;
using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;

// ---- makePlan on the drawn lift hall -------------------------------------------------------

class LiftPlanningPlanTest : public LiftPlannerTest {
 protected:
  void SetUp() override {
    LiftPlannerTest::SetUp();
    hall_ = test_support::drawLiftHall();
    map_ = vantrell_nav2_gridmap::testing::makeGridMap("global", hall_.image, hall_.resolution);
    const auto robot = hall_.placeInWorld("hall_centre");
    vantrell_nav2_gridmap::testing::placeRobot(*map_, robot.x, robot.y, M_PI / 2.0);
    engine_ = std::make_shared<AstarPlanner>("global", map_);
  }

  geometry_msgs::msg::PoseStamped placePose(const std::string& name) const {
    const auto place = hall_.placeInWorld(name);
    return pose(place.x, place.y, M_PI / 2.0);
  }

  test_support::DrawnMap hall_;
  std::shared_ptr<GridMapROS> map_;
  std::shared_ptr<AstarPlanner> engine_;
};

TEST_F(LiftPlanningPlanTest, PlansIntoTheCarWithoutAnyTolerance) {
  LiftPlanning planner(node_, map_);
  planner.setGlobalPlanner(engine_);
  // Neither the node's fuzzy range nor a permissive goal flag may loosen the way into the car.
  planner.setGoalFlags({false, true, true});
  MultiPaths paths;
  ASSERT_TRUE(planner.makePlan({placePose("car_centre"), placePose("hall_centre")}, paths));

  ASSERT_EQ(paths.paths.size(), 1u);
  const auto& poses = paths.paths[0].nav_path.poses;
  ASSERT_FALSE(poses.empty());
  const auto car = hall_.placeInWorld("car_centre");
  EXPECT_LT(distance(poses.back().pose.position, car.x, car.y), 1e-6);
  EXPECT_FALSE(paths.paths[0].move_backward);
  EXPECT_EQ(planner.getErrorCode(), 0);
  const auto call = AstarPlannerProbe::lastCall(*engine_);
  EXPECT_EQ(recordBytes(call.options), liftRecord(0.0));
  EXPECT_EQ(call.goal, placePose("car_centre"));
  EXPECT_FALSE(logged(*log_, "global planner failed, error code is 101100007"));
}

TEST_F(LiftPlanningPlanTest, SearchFailureStoresTheCodeAndLogsIt) {
  LiftPlanning planner(node_, map_);
  planner.setGlobalPlanner(engine_);
  MultiPaths paths;
  // Inside the car's side wall: with no goal-side tolerance there is no way there.
  const auto wall = hall_.cellToWorld({58, 130});
  EXPECT_FALSE(planner.makePlan({pose(wall.x, wall.y)}, paths));
  EXPECT_EQ(planner.getErrorCode(), kGlobalPlanFailed);
  EXPECT_TRUE(logged(*log_, "[ERROR] global planner failed, error code is 101100007"));
}

TEST_F(LiftPlanningPlanTest, MissingRobotPoseFailsSilentlyKeepingTheCode) {
  LiftPlanning planner(node_, map_);
  planner.setGlobalPlanner(engine_);
  planner.setErrorCode(42);
  vantrell_nav2_gridmap::testing::removeRobotPose(*map_);
  MultiPaths paths;
  EXPECT_FALSE(planner.makePlan({placePose("car_centre")}, paths));
  EXPECT_EQ(planner.getErrorCode(), 42);
  EXPECT_TRUE(log_->texts().empty());
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 0u);
}

TEST_F(LiftPlanningPlanTest, NoGoalOrNoEngineIsAFailedPlanNotACrash) {
  LiftPlanning planner(node_, map_);
  MultiPaths paths;
  EXPECT_FALSE(planner.makePlan({placePose("car_centre")}, paths));
  EXPECT_EQ(planner.getErrorCode(), kGlobalPlanFailed);

  planner.setErrorCode(0);
  planner.setGlobalPlanner(engine_);
  EXPECT_FALSE(planner.makePlan({}, paths));
  EXPECT_EQ(planner.getErrorCode(), kGlobalPlanFailed);
  EXPECT_EQ(AstarPlannerProbe::lastCall(*engine_).calls, 0u);
}

// ---- connectiveAreaSearch on hand-drawn maps -----------------------------------------------

TEST_F(LiftPlannerTest, StartBesideTheDoorInsideTheCarSettlesAtOnce) {
  auto map = drawnGrid(freeRows(30, 20));
  LiftPlanning planner(node_, map);
  const auto door = pose(1.04, 0.98, 1.0, "door");
  auto result = pose(9.0, 9.0);
  ASSERT_TRUE(planner.connectiveAreaSearch(pose(1.0, 1.0), door, result, box(0.0, 0.0, 0.1, 0.1),
                                           box(0.5, 0.5, 1.5, 1.5)));
  EXPECT_NEAR(result.pose.position.x, 1.0, 1e-6);
  EXPECT_NEAR(result.pose.position.y, 1.0, 1e-6);
  EXPECT_EQ(result.pose.orientation.w, 1.0);
  EXPECT_EQ(result.pose.orientation.z, 0.0);
  // The header is the goal's.
  EXPECT_EQ(result.header.frame_id, "door");

  const auto sent = markers();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].points.size(), 1u);
  EXPECT_EQ(sent[0].header.frame_id, "map");
  EXPECT_EQ(sent[0].ns, "searched_point");
  EXPECT_EQ(sent[0].type, visualization_msgs::msg::Marker::POINTS);
  EXPECT_EQ(sent[0].action, visualization_msgs::msg::Marker::ADD);
  EXPECT_DOUBLE_EQ(sent[0].scale.x, 0.02);
  EXPECT_DOUBLE_EQ(sent[0].scale.y, 0.02);
  EXPECT_FLOAT_EQ(sent[0].color.r, 1.0F);
  EXPECT_FLOAT_EQ(sent[0].color.a, 1.0F);
  EXPECT_GT(sent[0].header.stamp.sec, 0);
}

TEST_F(LiftPlannerTest, StartInAWallOutsideTheHallIsStillExpanded) {
  auto rows = freeRows(30, 20);
  rows[10][5] = '#';
  auto map = drawnGrid(rows);
  LiftPlanning planner(node_, map);
  auto result = pose(0.0, 0.0);
  // The robot stands on a wall cell outside the hall; the hall starts right beside it.
  EXPECT_TRUE(planner.connectiveAreaSearch(pose(0.5, 1.0), pose(2.0, 1.0), result,
                                           box(0.55, 0.0, 3.0, 2.0), box(1.5, 0.5, 2.5, 1.5)));
  // The first car cell within one cell of the door is taken.
  EXPECT_LE(distance(result.pose.position, 2.0, 1.0), kCell + 1e-9);
}

TEST_F(LiftPlannerTest, CellsMeetingOnlyAtACornerAreNotConnected) {
  // Everything is wall except the start cell (2, 2) and the car cell (3, 3).
  std::vector<std::string> rows(7, std::string(7, '#'));
  rows[2][2] = '.';
  rows[3][3] = '.';
  auto map = drawnGrid(rows);
  LiftPlanning planner(node_, map);
  const auto door = pose(0.3, 0.3, 0.5);
  auto result = pose(5.0, 5.0);
  EXPECT_FALSE(planner.connectiveAreaSearch(pose(0.2, 0.2), door, result, box(0.0, 0.0, 0.6, 0.6),
                                            box(0.25, 0.25, 0.35, 0.35)));
  // A failed search hands the goal back untouched.
  EXPECT_EQ(result, door);
  const auto sent = markers();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].points.size(), 1u);
}

TEST_F(LiftPlannerTest, DoorInAWallFallsBackOnTheNearestReachableCarCell) {
  // A wall from x = 2.8 m to 3.2 m cuts the room; the door pose lies inside it.
  auto rows = freeRows(40, 10);
  for (auto& row : rows) {
    row.replace(28, 5, "#####");
  }
  auto map = drawnGrid(rows);
  LiftPlanning planner(node_, map);
  auto result = pose(0.0, 0.0);
  ASSERT_TRUE(planner.connectiveAreaSearch(pose(0.5, 0.5), pose(3.0, 0.5), result,
                                           box(0.0, 0.0, 4.0, 1.0), box(2.0, 0.0, 3.5, 1.0)));
  EXPECT_NEAR(result.pose.position.x, 2.7, 1e-6);
  EXPECT_NEAR(result.pose.position.y, 0.5, 1e-6);
  // The flood ran out before settling: every free cell west of the wall was taken.
  const auto sent = markers();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].points.size(), 28u * 10u);
}

TEST_F(LiftPlannerTest, FallbackReachesNoFartherThanTenMetres) {
  // A 12 m corridor; the door lies inside the wall at its east end, 10.2 m from x = 1.0.
  auto rows = freeRows(120, 3);
  for (auto& row : rows) {
    row.replace(110, 5, "#####");
  }
  auto map = drawnGrid(rows);
  LiftPlanning planner(node_, map);
  const auto door = pose(11.2, 0.1);
  auto result = pose(0.0, 0.0);
  EXPECT_FALSE(planner.connectiveAreaSearch(pose(0.0, 0.1), door, result, box(-1, -1, 13, 1),
                                            box(-0.05, -0.05, 1.05, 0.25)));

  // 9.9 m is near enough.
  EXPECT_TRUE(planner.connectiveAreaSearch(pose(0.0, 0.1), door, result, box(-1, -1, 13, 1),
                                           box(-0.05, -0.05, 1.35, 0.25)));
  EXPECT_NEAR(result.pose.position.x, 1.3, 1e-6);
}

TEST_F(LiftPlannerTest, TheHallBoundsTheFlood) {
  auto map = drawnGrid(freeRows(40, 10));
  LiftPlanning planner(node_, map);
  auto result = pose(0.0, 0.0);
  const auto car = box(3.0, 0.0, 3.9, 0.9);
  // The car lies beyond the hall: the flood never gets there.
  EXPECT_FALSE(planner.connectiveAreaSearch(pose(0.5, 0.5), pose(3.5, 0.5), result,
                                            box(0.0, 0.0, 2.0, 0.9), car));
  const auto bounded = markers();
  ASSERT_EQ(bounded.size(), 1u);
  for (const auto& point : bounded[0].points) {
    EXPECT_LE(point.x, 2.0 + 1e-6);
  }
  EXPECT_TRUE(planner.connectiveAreaSearch(pose(0.5, 0.5), pose(3.5, 0.5), result,
                                           box(0.0, 0.0, 3.9, 0.9), car));
}

TEST_F(LiftPlannerTest, StartOffTheMapIsRefusedWithoutMarker) {
  auto map = drawnGrid(freeRows(20, 20));
  LiftPlanning planner(node_, map);
  const auto door = pose(1.0, 1.0);
  auto result = pose(0.0, 0.0);
  EXPECT_FALSE(planner.connectiveAreaSearch(pose(-3.0, 1.0), door, result,
                                            box(-5.0, -5.0, 5.0, 5.0), box(0.0, 0.0, 2.0, 2.0)));
  EXPECT_EQ(result, door);
  EXPECT_TRUE(logged(*log_, "[ERROR] LiftPlanning::connectiveAreaSearch worldToMap failed!"));
  EXPECT_TRUE(markers().empty());
}

TEST_F(LiftPlannerTest, ACellWithoutTurningRoomIsStillAPlaceForTheWayIn) {
  // A 0.3 m robot: row 2, 0.2 m from the wall in row 0, is free but too close to turn.
  auto rows = freeRows(40, 20);
  rows[0] = std::string(40, '#');
  auto map = drawnGrid(rows, squareRobot(0.15));
  const auto grid = map->getMultiGridMap();
  ASSERT_FALSE(grid->inDanger(20, 2, 0));
  ASSERT_TRUE(grid->inDanger(20, 2, 1));
  LiftPlanning planner(node_, map);
  auto result = pose(0.0, 0.0);
  EXPECT_TRUE(planner.connectiveAreaSearch(pose(2.0, 1.0), pose(2.0, 0.2), result,
                                           box(0.0, 0.0, 4.0, 2.0), box(1.55, 0.15, 2.45, 0.25)));
  EXPECT_NEAR(result.pose.position.x, 2.0, 1e-6);
  EXPECT_NEAR(result.pose.position.y, 0.2, 1e-6);
}

}  // namespace
}  // namespace lift_test
