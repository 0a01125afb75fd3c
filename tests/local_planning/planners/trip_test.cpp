// A point-to-point trip end to end: the global node plans from office to office, the local node
// turns that plan into local paths goal by goal, and the robot drives along each of them, its
// whereabouts broadcast on "/tf" as a localisation node would.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "planners_fixture.hpp"
#include "planning/geometry.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning/planner_keys.hpp"
#include "tf2_ros/transform_broadcaster.h"
#include "vantrell_nav2_common/collision_check.hpp"

namespace planners_test {
namespace {

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;

// The robot drives this far along each local path before it asks for the next one, as a
// controller replans long before it reaches the end of its path.
constexpr double kStride = 0.5;

/**
 * Stands in for the robot, its controller and its localisation: drives along a local path pose
 * by pose for one stride, its whole outline checked against the floor at every pose, then says
 * where it stopped on "/tf" and waits until every costmap has heard it.
 */
class Robot {
 public:
  explicit Robot(const hooks::LocalNodeMaps& maps)
      : maps_(maps),
        floor_(maps.global),
        node_(std::make_shared<rclcpp::Node>("trip_robot")),
        broadcaster_(node_) {}

  // False when a costmap did not hear where the robot stands.
  bool place(double x, double y, double yaw) {
    x_ = x;
    y_ = y;
    const auto costmap = maps_.global->getCostmapROS();
    geometry_msgs::msg::TransformStamped transform;
    transform.header.stamp = node_->now();
    transform.header.frame_id = costmap->getGlobalFrameID();
    transform.child_frame_id = costmap->getBaseFrameID();
    transform.transform.translation.x = x;
    transform.transform.translation.y = y;
    transform.transform.rotation = pose(x, y, yaw).pose.orientation;
    broadcaster_.sendTransform(transform);
    const rclcpp::Duration patience(test_support::kActionPatience);
    for (const auto& map : {maps_.global, maps_.local, maps_.zone}) {
      if (!map->getCostmapROS()->getTfBuffer()->canTransform(transform.header.frame_id,
                                                             transform.child_frame_id,
                                                             transform.header.stamp, patience)) {
        return false;
      }
    }
    return true;
  }

  // False at the first pose where the robot would touch an obstacle.
  bool drive(const NavPath& path) {
    double driven = 0.0;
    geometry_msgs::msg::Pose2D at;
    for (const auto& p : path.poses) {
      driven += std::hypot(p.pose.position.x - x_, p.pose.position.y - y_);
      at.x = x_ = p.pose.position.x;
      at.y = y_ = p.pose.position.y;
      at.theta = planning::geometry::yawOf(p);
      if (!floor_.isCollisionFreePose(at, true)) {
        return false;
      }
      if (driven >= kStride) {
        break;
      }
    }
    return place(at.x, at.y, at.theta);
  }

  double distanceTo(const cv::Point2d& place) const {
    return std::hypot(place.x - x_, place.y - y_);
  }
  std::string where() const { return std::to_string(x_) + ", " + std::to_string(y_); }

 private:
  hooks::LocalNodeMaps maps_;
  Collision::CollisionCheck floor_;
  rclcpp::Node::SharedPtr node_;
  tf2_ros::TransformBroadcaster broadcaster_;
  double x_{0.0};
  double y_{0.0};
};

TEST_F(PointToPoint, ATripAcrossTheOfficeFloorReachesItsGoalWithoutTouchingAnything) {
  // From the first office on the north side, round its table, through its door, along the
  // corridor and through the door of the office across, round that office's table.
  const test_support::DrawnMap floor = test_support::drawOfficeFloor();
  const cv::Point2d start = floor.placeInWorld("office_1");
  const cv::Point2d target = floor.placeInWorld("office_5");
  startOn(hooks::makeLocalNodeMaps(hooks::occupancyGridFromDrawing(floor.image, 0.05),
                                   cv::Rect(0, 0, floor.image.cols, floor.image.rows)));
  Robot robot(maps_);
  ASSERT_TRUE(robot.place(start.x, start.y, M_PI / 2.0));
  auto global_node = std::make_shared<planning::NavGlobalPlanningServer>(maps_.global, maps_.local);
  task_manager_->spin(global_node);
  ASSERT_EQ(global_node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(global_node->activate().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE);
  GlobalPlanning::Goal request;
  request.current_planning_id = planning::local_keys::kDijkstra;
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
  bool arrived = false;
  // Far more goals than strides along the trip.
  for (int goals = 1; !arrived && goals <= 120; ++goals) {
    const Reply reply = plan(goal);
    ASSERT_TRUE(reply.succeeded()) << "goal " << goals;
    ASSERT_TRUE(robot.drive(reply.result->local_path.nav_path))
        << "goal " << goals << " at " << robot.where();
    arrived = reply.result->finished != 0 && robot.distanceTo(target) <= 0.25;
  }
  EXPECT_TRUE(arrived) << "stopped at " << robot.where();
  // The executor stops before the global node goes.
  task_manager_.reset();
}

}  // namespace
}  // namespace planners_test
