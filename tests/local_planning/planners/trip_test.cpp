// A point-to-point trip end to end: the global node plans from office to office, the local node
// turns that plan into local paths goal by goal, and the robot drives along each of them.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "planners_fixture.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "tf2/utils.h"
#include "vantrell_nav2_common/collision_check.hpp"

namespace planners_test {
namespace {

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;

// The robot drives this far along each local path before it asks for the next one, as a
// controller replans long before it reaches the end of its path.
constexpr double kStride = 0.5;

// Stands in for the robot and its controller: drives along `path` pose by pose for one stride,
// the robot's whole outline checked against the floor at every pose. False on a collision.
bool drive(hooks::LocalNodeMaps& maps, const Collision::CollisionCheck& floor, const NavPath& path,
           geometry_msgs::msg::Pose2D& robot) {
  double driven = 0.0;
  for (const auto& pose : path.poses) {
    const auto& at = pose.pose.position;
    driven += std::hypot(at.x - robot.x, at.y - robot.y);
    robot.x = at.x;
    robot.y = at.y;
    robot.theta = tf2::getYaw(pose.pose.orientation);
    if (!floor.isCollisionFreePose(robot, true)) {
      return false;
    }
    hooks::placeRobot(maps, robot.x, robot.y, robot.theta);
    if (driven >= kStride) {
      break;
    }
  }
  return true;
}

TEST_F(PointToPoint, ATripAcrossTheOfficeFloorReachesItsGoalWithoutTouchingAnything) {
  // From the first office on the north side, round its table, through its door, along the
  // corridor and through the door of the office across, round that office's table.
  const test_support::DrawnMap floor = test_support::drawOfficeFloor();
  const cv::Point2d start = floor.placeInWorld("office_1");
  const cv::Point2d target = floor.placeInWorld("office_5");
  auto maps = hooks::makeLocalNodeMaps(hooks::occupancyGridFromDrawing(floor.image, 0.05),
                                       cv::Rect(0, 0, floor.image.cols, floor.image.rows));
  hooks::placeRobot(maps, start.x, start.y, M_PI / 2.0);
  startOn(maps);
  auto global_node = std::make_shared<planning::NavGlobalPlanningServer>(maps_.global, maps_.local);
  task_manager_->spin(global_node);
  ASSERT_EQ(global_node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(global_node->activate().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE);
  GlobalPlanning::Goal request;
  request.current_planning_id = "dijkstra";
  request.goal_poses = {pose(target.x, target.y, M_PI / 2.0)};
  const auto planned = task_manager_->call<GlobalPlanning>("global_planning", request);
  ASSERT_TRUE(planned.succeeded());

  LocalPlanning::Goal goal;
  goal.current_planning_id = keys::kDijkstra;
  goal.global_paths = planned.result->multi_paths;
  goal.global_path_uuid = planned.result->global_path_uuid;
  goal.use_goal_pose = true;
  goal.goal_pose = request.goal_poses.front();
  goal.fuzzy_distance = 0.1F;
  const Collision::CollisionCheck collisions(maps_.global);
  geometry_msgs::msg::Pose2D robot;
  robot.x = start.x;
  robot.y = start.y;
  bool arrived = false;
  // Far more goals than 0.5 m strides along the trip.
  for (int goals = 1; !arrived && goals <= 120; ++goals) {
    const Reply reply = plan(goal);
    ASSERT_TRUE(reply.succeeded()) << "goal " << goals;
    ASSERT_TRUE(drive(maps_, collisions, reply.result->local_path.nav_path, robot))
        << "goal " << goals << " at " << robot.x << ", " << robot.y;
    arrived =
        reply.result->finished != 0 && std::hypot(target.x - robot.x, target.y - robot.y) <= 0.25;
  }
  EXPECT_TRUE(arrived) << "stopped at " << robot.x << ", " << robot.y;
  // The executor stops before the global node goes.
  task_manager_.reset();
}

}  // namespace
}  // namespace planners_test
