#ifndef GLOBAL_PLANNING__LIFT__LIFT_NODE_FIXTURE_HPP_
#define GLOBAL_PLANNING__LIFT__LIFT_NODE_FIXTURE_HPP_

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/codes.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning/planner_keys.hpp"
#include "rclcpp/rclcpp.hpp"
#include "support/drawn_maps.hpp"
#include "support/log_capture.hpp"
#include "support/shapes.hpp"
#include "support/task_manager_client.hpp"
#include "vantrell_protocol/msg/robot_event.hpp"
#include "visualization_msgs/msg/marker.hpp"

namespace lift_node_test {
namespace keys = planning::global_keys;

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;
using LiftFree = vantrell_nav2_protocol::action::LiftFree;
using FuzzyLiftFree = vantrell_nav2_protocol::action::FuzzyLiftFree;
using ForceGlobalPath = vantrell_nav2_protocol::action::ForceGlobalPath;
using GridMapROS = vantrell_nav2_gridmap::GridMapROS;
using PoseStamped = geometry_msgs::msg::PoseStamped;
using Polygon = geometry_msgs::msg::Polygon;
using PolygonStamped = geometry_msgs::msg::PolygonStamped;

using planning::codes::kLiftBlockedEvent;

// The node with its planner table in view.
class LiftNode : public planning::NavGlobalPlanningServer {
 public:
  using NavGlobalPlanningServer::NavGlobalPlanningServer;
  std::vector<std::string> plannerKeys() const;
};

// What the node published on "check_area" and "check_lift_area". Its own node is spun only by
// drain(), on the test thread, so a goal's messages (delivered before its result) are all in by
// the time drain() returns after the result.
class CheckAreaTap {
 public:
  CheckAreaTap();
  CheckAreaTap(const CheckAreaTap&) = delete;
  CheckAreaTap& operator=(const CheckAreaTap&) = delete;
  void drain();
  std::vector<PolygonStamped> check_area;
  std::vector<PolygonStamped> check_lift_area;

 private:
  rclcpp::Node::SharedPtr node_;
  rclcpp::Subscription<PolygonStamped>::SharedPtr check_area_sub_;
  rclcpp::Subscription<PolygonStamped>::SharedPtr check_lift_area_sub_;
};

PoseStamped poseAt(double x, double y, double yaw = 0.0);
using test_support::point32;
// The car of test_support::drawLiftHall, as the task manager describes it: p0 and p3 on the
// back wall, p1 and p2 at the door, so that the hall and the forced path reach out of the door.
Polygon carFrame();
// Whether a captured record ends with `tail`.
using test_support::logged;

/**
 * A global planning node on the drawn lift hall, its goals sent by a task manager client. The
 * robot stands in the hall; the car lies north of it, its door in the car's south wall.
 * "lift_polygon" gives a waiting area of 1.6 m x 1.5 m (before "lift_waiting_area" doubles it)
 * unless the test builds the node with other options.
 */
class LiftNodeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static rclcpp::NodeOptions liftOptions();
  void startNode(const rclcpp::NodeOptions& options = liftOptions());
  void placeRobot(double x, double y, double yaw = 0.0);
  void placeRobot(const std::string& place, double yaw = 0.0);

  // The door pose in the middle of the car's door; yaw -pi/2 faces the hall.
  PoseStamped doorPose(double yaw) const;
  FuzzyLiftFree::Goal liftGoal(const std::string& planner, const Polygon& frame,
                               bool resize = true) const;

  test_support::ActionReply<FuzzyLiftFree> fuzzy(const FuzzyLiftFree::Goal& goal);
  test_support::ActionReply<LiftFree> isFree(const PoseStamped& target);
  test_support::ActionReply<ForceGlobalPath> force();
  test_support::ActionReply<GlobalPlanning> plan(const std::string& planner, int16_t mode,
                                                 const PoseStamped& goal);

  static std::vector<vantrell_protocol::msg::RobotEvent> robotEvents();
  static std::vector<visualization_msgs::msg::Marker> markers();

  test_support::DrawnMap hall_ = test_support::drawLiftHall();
  std::shared_ptr<GridMapROS> global_map_;
  std::shared_ptr<GridMapROS> local_map_;
  std::shared_ptr<LiftNode> node_;
  std::unique_ptr<test_support::TaskManagerClient> task_manager_;
  std::shared_ptr<test_support::CaptureSink> log_;
  std::unique_ptr<CheckAreaTap> tap_;
};

}  // namespace lift_node_test

#endif  // GLOBAL_PLANNING__LIFT__LIFT_NODE_FIXTURE_HPP_
