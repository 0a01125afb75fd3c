// A waypoint trip end to end on the simulator: the global node draws the polyline through the
// task's waypoints, and the local node's waypoint planner hands it out stretch by stretch while
// the robot drives it. On the way a box appears on the corridor ahead of the robot: the local
// map sees it, and the planner must lead the robot round it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "planning/geometry.hpp"
#include "planning/planner_keys.hpp"
#include "planning_sim/local_planning_sim.hpp"
#include "sim_fixtures.hpp"
#include "support/shapes.hpp"
#include "support/task_manager_client.hpp"

namespace sim_test {
namespace {

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;
using LocalPlanning = vantrell_nav2_protocol::action::LocalPlanning;
using Outline = std::vector<geometry_msgs::msg::Point>;

double segmentDistance(const geometry_msgs::msg::Point& p, const geometry_msgs::msg::Point& a,
                       const geometry_msgs::msg::Point& b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double t =
      std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// Between two convex outlines that do not overlap: the nearest corner of one to an edge of the
// other.
double gap(const Outline& first, const Outline& second) {
  double nearest = std::numeric_limits<double>::max();
  for (const auto* corners : {&first, &second}) {
    const Outline& edges = corners == &first ? second : first;
    for (const auto& corner : *corners) {
      for (size_t i = 0; i < edges.size(); ++i) {
        nearest =
            std::min(nearest, segmentDistance(corner, edges[i], edges[(i + 1) % edges.size()]));
      }
    }
  }
  return nearest;
}

Outline placed(const Outline& footprint, const geometry_msgs::msg::Pose& pose) {
  const double yaw = planning::geometry::yawOf(pose.orientation);
  Outline outline;
  for (const auto& corner : footprint) {
    outline.push_back(point(pose.position.x + corner.x * std::cos(yaw) - corner.y * std::sin(yaw),
                            pose.position.y + corner.x * std::sin(yaw) + corner.y * std::cos(yaw)));
  }
  return outline;
}

TEST(WaypointTrip, TheRobotLeavesTheGivenWaypointsForABoxThatAppearsOnThemAndArrives) {
  // From the first office on the north side, east of its table, through its door, along the
  // corridor through the cabinet gap and into the middle office on the south side.
  const test_support::DrawnMap floor = test_support::drawOfficeFloor();
  planning_sim::LocalPlanningSim sim(
      vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(floor.image, floor.resolution));
  auto local_node = sim.startLocalNode();
  auto global_node = sim.startGlobalNode();
  const cv::Point2d start = floor.placeInWorld("office_1");
  sim.robot().place(pose2(start.x, start.y));

  GlobalPlanning::Goal route;
  route.current_planning_id = planning::global_keys::kWayPoints;
  for (const cv::Point& cell :
       {cv::Point{115, 30}, cv::Point{115, 100}, cv::Point{73, 110},
        floor.place("door_1") + cv::Point{0, 21}, floor.place("cabinet_gap"),
        floor.place("door_5") - cv::Point{0, 21}, floor.place("door_5") + cv::Point{0, 25}}) {
    const cv::Point2d place = floor.cellToWorld(cell);
    route.goal_poses.push_back(test_support::pose(place.x, place.y));
  }
  test_support::TaskManagerClient task_manager;
  const auto planned = task_manager.call<GlobalPlanning>("global_planning", route);
  ASSERT_TRUE(planned.succeeded());

  // A box 0.4 m square on the corridor's middle line, 2 m past the cabinet gap, appearing as
  // the robot leaves the gap: the robot's track runs through it.
  const cv::Point2d gap_centre = floor.placeInWorld("cabinet_gap");
  const Outline obstacle =
      box(gap_centre.x + 1.8, gap_centre.y - 0.2, gap_centre.x + 2.2, gap_centre.y + 0.2);
  sim.world().schedule(
      planning_sim::ObstacleInjection::whenRobotNear(obstacle, gap_centre.x, gap_centre.y, 0.3));

  LocalPlanning::Goal goal;
  goal.current_planning_id = planning::local_keys::kLocalWayPoints;
  goal.global_paths = planned.result->multi_paths;
  goal.global_path_uuid = planned.result->global_path_uuid;
  const planning_sim::TripReport report = sim.trip().run(goal);

  const auto at = sim.robot().pose();
  EXPECT_EQ(report.end, planning_sim::TripEnd::kArrived) << "stopped at " << at.x << ", " << at.y;
  EXPECT_EQ(report.failures, 0u);
  EXPECT_FALSE(report.collision);
  EXPECT_EQ(sim.world().appeared(), 1u);
  ASSERT_FALSE(report.cycles.empty());
  EXPECT_NE(report.cycles.back().reply.result.finished, 0) << "the last stretch says it is done";
  double clearance = std::numeric_limits<double>::max();
  for (const auto& pose : sim.robot().track()) {
    clearance =
        std::min(clearance, gap(placed(sim.robot().params().footprint, pose.pose), obstacle));
  }
  // The given path runs through the box; the robot went round it with room to spare.
  EXPECT_GT(clearance, 0.05);
}

}  // namespace
}  // namespace sim_test
