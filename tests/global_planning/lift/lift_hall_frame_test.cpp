#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "lift_fixtures.hpp"
#include "planning/global_planning/lift_planning.hpp"

namespace lift_test {
namespace {

using planning::LiftPlanning;

// A car whose door side p0-p3 runs 1 m along x at y = 0 and whose side p2-p3 is 2 m deep.
geometry_msgs::msg::Polygon narrowCar() {
  geometry_msgs::msg::Polygon car;
  car.points = {point32(0.0, 0.0), point32(0.0, -2.0), point32(1.0, -2.0), point32(1.0, 0.0)};
  return car;
}

void expectCorner(const geometry_msgs::msg::Point32& corner, double x, double y) {
  EXPECT_NEAR(corner.x, x, 1e-5);
  EXPECT_NEAR(corner.y, y, 1e-5);
}

class LiftHallFrameTest : public LiftPlannerTest {
 protected:
  std::shared_ptr<GridMapROS> map_ = drawnGrid(freeRows(10, 10));
  // The door faces +y, away from the car.
  const geometry_msgs::msg::PoseStamped door_ = pose(0.5, 0.0, M_PI / 2.0);
};

TEST_F(LiftHallFrameTest, HallGrowsWithTheFarthestRobotSeen) {
  LiftPlanning planner(node_, map_);
  // Robot 5 m away: depth 0.5 * 2 + 5 + 1.5; the door side extends 1.5 m beyond each end.
  auto hall = planner.getLiftHallFrame(narrowCar(), pose(0.5, 5.0), door_);
  ASSERT_EQ(hall.points.size(), 4u);
  expectCorner(hall.points[0], 2.5, 0.0);
  expectCorner(hall.points[1], 2.5, 7.5);
  expectCorner(hall.points[2], -1.5, 7.5);
  expectCorner(hall.points[3], -1.5, 0.0);

  // A nearer robot keeps the remembered 5 m.
  hall = planner.getLiftHallFrame(narrowCar(), pose(0.5, 3.0), door_);
  expectCorner(hall.points[1], 2.5, 7.5);

  // A farther one deepens the hall for good.
  hall = planner.getLiftHallFrame(narrowCar(), pose(0.5, 6.0), door_);
  expectCorner(hall.points[1], 2.5, 8.5);
  hall = planner.getLiftHallFrame(narrowCar(), pose(0.5, 1.0), door_);
  expectCorner(hall.points[2], -1.5, 8.5);
}

TEST_F(LiftHallFrameTest, EachPlannerRemembersItsOwnDistance) {
  LiftPlanning far(node_, map_);
  LiftPlanning near(node_, map_);
  far.getLiftHallFrame(narrowCar(), pose(0.5, 6.0), door_);
  const auto hall = near.getLiftHallFrame(narrowCar(), pose(0.5, 1.0), door_);
  expectCorner(hall.points[1], 2.5, 3.5);
}

TEST_F(LiftHallFrameTest, WideDoorSideMakesTheHallTwiceAsWide) {
  LiftPlanning planner(node_, map_);
  geometry_msgs::msg::Polygon car;
  car.points = {point32(0.0, 0.0), point32(0.0, -2.0), point32(4.0, -2.0), point32(4.0, 0.0)};
  const auto hall = planner.getLiftHallFrame(car, pose(2.0, 0.0), pose(2.0, 0.0, M_PI / 2.0));
  ASSERT_EQ(hall.points.size(), 4u);
  expectCorner(hall.points[0], 6.0, 0.0);
  expectCorner(hall.points[3], -2.0, 0.0);
  // Robot on the door: depth 1 + 0 + 1.5.
  expectCorner(hall.points[1], 6.0, 2.5);
}

TEST_F(LiftHallFrameTest, HallFollowsTheDoorHeading) {
  LiftPlanning planner(node_, map_);
  // The same car seen from a door facing -x: the hall reaches along -x from the door side.
  const auto hall = planner.getLiftHallFrame(narrowCar(), pose(0.5, 0.0), pose(0.5, 0.0, M_PI));
  ASSERT_EQ(hall.points.size(), 4u);
  expectCorner(hall.points[0], 2.5, 0.0);
  expectCorner(hall.points[1], 2.5 - 2.5, 0.0);
  expectCorner(hall.points[3], -1.5, 0.0);
  expectCorner(hall.points[2], -1.5 - 2.5, 0.0);
}

TEST_F(LiftHallFrameTest, ShortLiftGivesNoHallAndIsNotRemembered) {
  LiftPlanning planner(node_, map_);
  auto car = narrowCar();
  car.points.pop_back();
  EXPECT_TRUE(planner.getLiftHallFrame(car, pose(0.5, 50.0), door_).points.empty());
  EXPECT_TRUE(planner.getLiftHallFrame(geometry_msgs::msg::Polygon(), pose(0.5, 50.0), door_)
                  .points.empty());
  EXPECT_TRUE(logged(*log_, "NavGlobalPlanning::getLiftHallFrame needs a lift of 4 points, got 3"));

  // The refused robot 50 m away left no trace in the hall depth.
  const auto hall = planner.getLiftHallFrame(narrowCar(), pose(0.5, 1.0), door_);
  expectCorner(hall.points[1], 2.5, 3.5);
}

}  // namespace
}  // namespace lift_test
