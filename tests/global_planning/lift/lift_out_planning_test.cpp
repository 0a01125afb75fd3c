#include "planning/global_planning/lift_out_planning.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "lift_fixtures.hpp"
#include "support/drawn_maps.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_planner/astar2/testing/astar_planner_probe.hpp"

namespace lift_test {
namespace {

using planning::LiftOutPlanning;
using vantrell_nav2_planner::astar2::AstarPlanner;
using vantrell_nav2_planner::astar2::AstarPlannerProbe;
using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;

double farthestFrom(const visualization_msgs::msg::Marker& marker, double x, double y) {
  double farthest = 0.0;
  for (const auto& point : marker.points) {
    farthest = std::max(farthest, distance(point, x, y));
  }
  return farthest;
}

TEST_F(LiftPlannerTest, LiftOutPlanDrivesTheFirstPathBackwards) {
  const auto hall = test_support::drawLiftHall();
  auto map = vantrell_nav2_gridmap::testing::makeGridMap("global", hall.image, hall.resolution);
  const auto car = hall.placeInWorld("car_centre");
  const auto out = hall.placeInWorld("hall_centre");
  vantrell_nav2_gridmap::testing::placeRobot(*map, car.x, car.y, M_PI / 2.0);
  auto engine = std::make_shared<AstarPlanner>("global", map);
  LiftOutPlanning planner(node_, map);
  planner.setGlobalPlanner(engine);
  planner.setGoalFlags({true, false, false});

  MultiPaths paths;
  ASSERT_TRUE(planner.makePlan({pose(out.x, out.y, M_PI / 2.0)}, paths));
  ASSERT_FALSE(paths.paths.empty());
  EXPECT_TRUE(paths.paths.front().move_backward);
  EXPECT_LT(distance(paths.paths.front().nav_path.poses.back().pose.position, out.x, out.y), 0.2);
  EXPECT_EQ(recordBytes(AstarPlannerProbe::lastCall(*engine).options), liftRecord(0.2));
  EXPECT_TRUE(
      logged(*log_, "[ERROR] lift planner success, paths_msg.paths.front().move_backward is true"));
  EXPECT_EQ(planner.getErrorCode(), 0);
}

TEST_F(LiftPlannerTest, LiftOutPlanFailureStoresTheCode) {
  auto rows = freeRows(30, 10);
  for (auto& row : rows) {
    row[15] = '#';
  }
  auto map = drawnGrid(rows);
  vantrell_nav2_gridmap::testing::placeRobot(*map, 0.5, 0.5, 0.0);
  LiftOutPlanning planner(node_, map);
  planner.setGlobalPlanner(std::make_shared<AstarPlanner>("global", map));
  MultiPaths paths;
  EXPECT_FALSE(planner.makePlan({pose(2.5, 0.5)}, paths));
  EXPECT_EQ(planner.getErrorCode(), kGlobalPlanFailed);
  EXPECT_TRUE(logged(*log_, "[ERROR] global planner failed, error code is 101100007"));
  EXPECT_FALSE(logged(*log_, "move_backward is true"));
}

class LiftOutSearchTest : public LiftPlannerTest {
 protected:
  // 10 m x 2 m, free: the flood is bounded by the disc alone.
  std::shared_ptr<GridMapROS> map_ = drawnGrid(freeRows(100, 20));
  // No place is acceptable: the flood runs until the disc is exhausted.
  const geometry_msgs::msg::Polygon nowhere_;
};

TEST_F(LiftOutSearchTest, TheDiscKeepsTheWidestRadiusSeen) {
  LiftOutPlanning planner(node_, map_);
  auto result = pose(0.0, 0.0);
  EXPECT_FALSE(
      planner.connectiveAreaSearch(pose(0.5, 1.0), pose(4.5, 1.0), result, nowhere_, nowhere_));
  EXPECT_DOUBLE_EQ(planner.maxSearchRadius(), 4.0);
  ASSERT_EQ(markers().size(), 1u);
  EXPECT_LT(farthestFrom(markers()[0], 2.5, 1.0), 4.0);
  EXPECT_GT(farthestFrom(markers()[0], 2.5, 1.0), 3.8);

  // Start and goal 1 m apart, around the same midpoint: the disc stays 4 m wide.
  CommunicatorProbe::reset();
  EXPECT_FALSE(
      planner.connectiveAreaSearch(pose(2.0, 1.0), pose(3.0, 1.0), result, nowhere_, nowhere_));
  EXPECT_DOUBLE_EQ(planner.maxSearchRadius(), 4.0);
  ASSERT_EQ(markers().size(), 1u);
  EXPECT_GT(farthestFrom(markers()[0], 2.5, 1.0), 3.8);

  // A planner that never saw the wide request floods only 1 m.
  LiftOutPlanning fresh(node_, map_);
  CommunicatorProbe::reset();
  EXPECT_FALSE(
      fresh.connectiveAreaSearch(pose(2.0, 1.0), pose(3.0, 1.0), result, nowhere_, nowhere_));
  ASSERT_EQ(markers().size(), 1u);
  EXPECT_LT(farthestFrom(markers()[0], 2.5, 1.0), 1.0);
}

TEST_F(LiftOutSearchTest, StartOnTheGoalAtFirstFloodsNothing) {
  LiftOutPlanning planner(node_, map_);
  const auto goal = pose(2.0, 1.0);
  auto result = pose(0.0, 0.0);
  EXPECT_FALSE(planner.connectiveAreaSearch(goal, goal, result, nowhere_, nowhere_));
  EXPECT_EQ(result, goal);
  EXPECT_DOUBLE_EQ(planner.maxSearchRadius(), 0.0);
  ASSERT_EQ(markers().size(), 1u);
  EXPECT_EQ(markers()[0].points.size(), 1u);
}

TEST_F(LiftOutSearchTest, TheSearchAreaArgumentChangesNothing) {
  const auto waiting_area = box(5.0, 0.0, 6.05, 1.9);
  std::vector<geometry_msgs::msg::PoseStamped> found;
  std::vector<size_t> flooded;
  for (const auto& hall : {nowhere_, box(0.0, 0.0, 0.1, 0.1), box(0.0, 0.0, 10.0, 2.0)}) {
    LiftOutPlanning planner(node_, map_);
    CommunicatorProbe::reset();
    auto result = pose(0.0, 0.0);
    EXPECT_TRUE(
        planner.connectiveAreaSearch(pose(1.0, 1.0), pose(7.0, 1.0), result, hall, waiting_area));
    found.push_back(result);
    ASSERT_EQ(markers().size(), 1u);
    flooded.push_back(markers()[0].points.size());
  }
  EXPECT_EQ(found[0], found[1]);
  EXPECT_EQ(found[0], found[2]);
  EXPECT_EQ(flooded[0], flooded[1]);
  EXPECT_EQ(flooded[0], flooded[2]);
  // The goal lies outside the waiting area: the nearest waiting cell is the one taken.
  EXPECT_NEAR(found[0].pose.position.x, 6.0, 1e-6);
}

TEST_F(LiftPlannerTest, CellsWithoutTurningRoomAreNeverAPlaceForTheWayOut) {
  // A 0.3 m robot: row 2, 0.2 m from the wall in row 0, is free but too close to turn.
  auto rows = freeRows(40, 20);
  rows[0] = std::string(40, '#');
  auto map = drawnGrid(rows, squareRobot(0.15));
  const auto grid = map->getMultiGridMap();
  ASSERT_FALSE(grid->inDanger(20, 2, 0));
  ASSERT_TRUE(grid->inDanger(20, 2, 1));
  ASSERT_FALSE(grid->inDanger(20, 3, 1));

  LiftOutPlanning planner(node_, map);
  const auto goal = pose(2.0, 0.2);
  auto result = pose(0.0, 0.0);
  // The only waiting cells lie in row 2; the goal cell is one of them.
  EXPECT_FALSE(planner.connectiveAreaSearch(pose(2.0, 1.0), goal, result, box(0, 0, 4, 2),
                                            box(1.55, 0.15, 2.45, 0.25)));
  EXPECT_EQ(result, goal);
  // The goal cell was reached and expanded: the flood went on past it.
  ASSERT_EQ(markers().size(), 1u);
  EXPECT_GT(markers()[0].points.size(), 20u);
}

TEST_F(LiftPlannerTest, WayOutFallbackReachesTwentyMetres) {
  // A 17 m corridor; the goal lies inside the wall at its east end, 15 m from x = 1.2.
  auto rows = freeRows(170, 3);
  for (auto& row : rows) {
    row.replace(160, 5, "#####");
  }
  auto map = drawnGrid(rows);
  LiftOutPlanning planner(node_, map);
  auto result = pose(0.0, 0.0);
  EXPECT_TRUE(planner.connectiveAreaSearch(pose(0.5, 0.1), pose(16.2, 0.1), result,
                                           geometry_msgs::msg::Polygon(),
                                           box(-0.05, -0.05, 1.25, 0.25)));
  EXPECT_NEAR(result.pose.position.x, 1.2, 1e-6);
  EXPECT_NEAR(result.pose.position.y, 0.1, 1e-6);
}

TEST_F(LiftOutSearchTest, StartOffTheMapStillWidensTheDisc) {
  LiftOutPlanning planner(node_, map_);
  const auto goal = pose(1.0, 1.0);
  auto result = pose(0.0, 0.0);
  EXPECT_FALSE(planner.connectiveAreaSearch(pose(-2.0, 5.0), goal, result, nowhere_, nowhere_));
  EXPECT_EQ(result, goal);
  EXPECT_DOUBLE_EQ(planner.maxSearchRadius(), 5.0);
  EXPECT_TRUE(logged(*log_, "[ERROR] LiftOutPlanning::connectiveAreaSearch worldToMap failed!"));
  EXPECT_TRUE(markers().empty());
}

}  // namespace
}  // namespace lift_test
