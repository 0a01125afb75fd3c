#include "lift_node_fixture.hpp"

#include <cmath>
#include <utility>

#include "planning/geometry.hpp"
#include "planning_sim/host_maps.hpp"
#include "planning_sim/node_host.hpp"
#include "vantrell_communicator/testing/communicator_probe.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_editor.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace lift_node_test {

using vantrell_communicator::testing::CommunicatorProbe;

std::vector<std::string> LiftNode::plannerKeys() const {
  std::vector<std::string> keys;
  for (const auto& entry : planners_) {
    keys.push_back(entry.first);
  }
  return keys;
}

CheckAreaTap::CheckAreaTap() : node_(std::make_shared<rclcpp::Node>("check_area_tap")) {
  check_area_sub_ = node_->create_subscription<PolygonStamped>(
      "check_area", rclcpp::QoS(64),
      [this](PolygonStamped::ConstSharedPtr message) { check_area.push_back(*message); });
  check_lift_area_sub_ = node_->create_subscription<PolygonStamped>(
      "check_lift_area", rclcpp::QoS(64),
      [this](PolygonStamped::ConstSharedPtr message) { check_lift_area.push_back(*message); });
}

void CheckAreaTap::drain() {
  // One pass takes at most one message per subscription.
  size_t seen = 0;
  do {
    seen = check_area.size() + check_lift_area.size();
    rclcpp::spin_some(node_);
  } while (check_area.size() + check_lift_area.size() > seen);
}

PoseStamped poseAt(double x, double y, double yaw) {
  return planning::geometry::planarPose(x, y, yaw);
}

Polygon carFrame() {
  Polygon car;
  car.points = {point32(3.0, 7.95), point32(3.0, 5.5), point32(5.0, 5.5), point32(5.0, 7.95)};
  return car;
}

void LiftNodeTest::SetUp() {
  log_ = test_support::clearedLog();
  CommunicatorProbe::reset();
  task_manager_ = std::make_unique<test_support::TaskManagerClient>();
  tap_ = std::make_unique<CheckAreaTap>();
}

void LiftNodeTest::TearDown() {
  // The client's executor stops first, then the node joins its workers.
  task_manager_.reset();
  node_.reset();
  tap_.reset();
}

rclcpp::NodeOptions LiftNodeTest::liftOptions() {
  rclcpp::NodeOptions options;
  // Pairs 1 to 4 are the waiting area's corners, scaled by (lift_length / 2, lift_width / 2);
  // the first and last pairs only pad the list.
  options.append_parameter_override("lift_polygon",
                                    std::vector<double>{0, 0, 1, 1, -1, 1, -1, -1, 1, -1, 0, 0});
  return options;
}

void LiftNodeTest::startNode(const rclcpp::NodeOptions& options) {
  const auto maps = planning_sim::makeGlobalNodeMaps(
      vantrell_nav2_gridmap::testing::occupancyGridFromDrawing(hall_.image, hall_.resolution));
  global_map_ = maps.global;
  local_map_ = maps.local;
  node_ = std::make_shared<LiftNode>(global_map_, local_map_, options);
  task_manager_->spin(node_);
  ASSERT_NO_THROW(planning_sim::bringUp(*node_));
}

void LiftNodeTest::placeRobot(double x, double y, double yaw) {
  vantrell_nav2_gridmap::testing::placeRobot(*global_map_, x, y, yaw);
  vantrell_nav2_gridmap::testing::placeRobot(*local_map_, x, y, yaw);
}

void LiftNodeTest::placeRobot(const std::string& place, double yaw) {
  const cv::Point2d world = hall_.placeInWorld(place);
  placeRobot(world.x, world.y, yaw);
}

PoseStamped LiftNodeTest::doorPose(double yaw) const {
  const cv::Point2d door = hall_.placeInWorld("car_door");
  return poseAt(door.x, door.y, yaw);
}

FuzzyLiftFree::Goal LiftNodeTest::liftGoal(const std::string& planner, const Polygon& frame,
                                           bool resize) const {
  FuzzyLiftFree::Goal goal;
  goal.door_pose = doorPose(planner == keys::kLiftOut ? M_PI / 2.0 : -M_PI / 2.0);
  goal.lift_inner_frame = frame;
  goal.planner_name = planner;
  goal.resize_flag = resize;
  return goal;
}

test_support::ActionReply<FuzzyLiftFree> LiftNodeTest::fuzzy(const FuzzyLiftFree::Goal& goal) {
  auto reply = task_manager_->call<FuzzyLiftFree>("is_fuzzy_global_free", goal);
  tap_->drain();
  return reply;
}

test_support::ActionReply<LiftFree> LiftNodeTest::isFree(const PoseStamped& target) {
  LiftFree::Goal goal;
  goal.target_pose = target;
  return task_manager_->call<LiftFree>("is_global_free", goal);
}

test_support::ActionReply<ForceGlobalPath> LiftNodeTest::force() {
  return task_manager_->call<ForceGlobalPath>("force_global_path", ForceGlobalPath::Goal());
}

test_support::ActionReply<GlobalPlanning> LiftNodeTest::plan(const std::string& planner,
                                                             int16_t mode,
                                                             const PoseStamped& goal) {
  GlobalPlanning::Goal request;
  request.current_planning_id = planner;
  request.goal_mode = mode;
  request.goal_poses = {goal};
  return task_manager_->call<GlobalPlanning>("global_planning", request);
}

std::vector<vantrell_protocol::msg::RobotEvent> LiftNodeTest::robotEvents() {
  return CommunicatorProbe::robotEvents().kept();
}

std::vector<visualization_msgs::msg::Marker> LiftNodeTest::markers() {
  return CommunicatorProbe::connectiveAreas().kept();
}

}  // namespace lift_node_test
