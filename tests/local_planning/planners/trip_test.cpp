// A point-to-point trip end to end on the simulator: the global node plans from office to office,
// the local node turns that plan into local paths goal by goal, and the simulated robot drives
// along each of them for a control period, its whereabouts broadcast on "/tf" as a localisation
// node would, stopping rather than touching anything.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "planning/geometry.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/local_planning_sim.hpp"
#include "support/drawn_maps.hpp"
#include "support/task_manager_client.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace planners_test {
namespace {

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;
using LocalPlanning = vantrell_nav2_protocol::action::LocalPlanning;

geometry_msgs::msg::PoseStamped stampedAt(const cv::Point2d& place, double yaw) {
  return planning::geometry::planarPose(place.x, place.y, yaw);
}

TEST(PointToPointTrip, ATripAcrossTheOfficeFloorReachesItsGoalWithoutTouchingAnything) {
  // From the first office on the north side, round its table, through its door, along the
  // corridor and through the door of the office across, round that office's table.
  const test_support::DrawnMap floor = test_support::drawOfficeFloor();
  const cv::Point2d start = floor.placeInWorld("office_1");
  const cv::Point2d target = floor.placeInWorld("office_5");
  planning_sim::LocalPlanningSim sim(
      vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(floor.image, floor.resolution));
  auto local_node = sim.startLocalNode();
  auto global_node = sim.startGlobalNode();
  geometry_msgs::msg::Pose2D robot;
  robot.x = start.x;
  robot.y = start.y;
  robot.theta = M_PI / 2.0;
  sim.robot().place(robot);

  test_support::TaskManagerClient task_manager;
  GlobalPlanning::Goal request;
  request.current_planning_id = planning::global_keys::kDijkstra;
  request.goal_poses = {stampedAt(target, M_PI / 2.0)};
  const auto planned = task_manager.call<GlobalPlanning>("global_planning", request);
  ASSERT_TRUE(planned.succeeded());

  LocalPlanning::Goal goal;
  goal.current_planning_id = planning::local_keys::kDijkstra;
  goal.global_paths = planned.result->multi_paths;
  goal.global_path_uuid = planned.result->global_path_uuid;
  goal.use_goal_pose = true;
  goal.goal_pose = request.goal_poses.front();
  goal.fuzzy_distance = 0.1F;
  sim.trip().options().arrival_tolerance = 0.25;
  sim.trip().options().finishes = nullptr;
  const planning_sim::TripReport report = sim.trip().run(goal);

  const auto at = sim.robot().pose();
  EXPECT_EQ(report.end, planning_sim::TripEnd::kArrived) << "stopped at " << at.x << ", " << at.y;
  EXPECT_EQ(report.failures, 0u);
  EXPECT_FALSE(report.collision);
  ASSERT_FALSE(report.cycles.empty());
  EXPECT_NE(report.cycles.back().reply.result.finished, 0) << "the last plan says it is done";
}

}  // namespace
}  // namespace planners_test
