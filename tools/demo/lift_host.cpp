#include "lift_host.hpp"

#include <utility>

#include "demo_map.hpp"
#include "planning_sim/node_parameters.hpp"
#include "vantrell_nav2_gridmap/obstacle_edit.hpp"

namespace demo {

namespace {

// Where the communicator hands robot events to the rest of the robot.
constexpr char kRobotEventTopic[] = "/communicator/robot_event";

}  // namespace

LiftHost::LiftHost(const nav_msgs::msg::OccupancyGrid& grid,
                   const std::vector<double>& lift_polygon,
                   const std::vector<rclcpp::Parameter>& parameters)
    : maps_(makeGlobalNodeMaps(grid)), localisation_(maps_.list()) {
  rclcpp::NodeOptions options =
      planning_sim::nodeOptionsWith(planning_sim::PlanningNode::kGlobal, parameters);
  options.append_parameter_override("lift_polygon", lift_polygon);
  node_ = std::make_shared<planning::NavGlobalPlanningServer>(maps_.global, maps_.local, options);
  task_manager_ = std::make_shared<rclcpp::Node>("demo_lift_task_manager");

  tap_ = std::make_shared<rclcpp::Node>("demo_lift_check_areas");
  check_area_sub_ = tap_->create_subscription<geometry_msgs::msg::PolygonStamped>(
      "check_area", rclcpp::QoS(16),
      [this](std::shared_ptr<const geometry_msgs::msg::PolygonStamped> message) {
        check_areas_.push_back(*message);
      });
  check_lift_area_sub_ = tap_->create_subscription<geometry_msgs::msg::PolygonStamped>(
      "check_lift_area", rclcpp::QoS(16),
      [this](std::shared_ptr<const geometry_msgs::msg::PolygonStamped> message) {
        check_lift_areas_.push_back(*message);
      });
  robot_event_sub_ = tap_->create_subscription<vantrell_protocol::msg::RobotEvent>(
      kRobotEventTopic, rclcpp::QoS(16),
      [this](std::shared_ptr<const vantrell_protocol::msg::RobotEvent>) { ++robot_events_; });

  host_.spin(node_);
  host_.spin(task_manager_);
  planning_sim::bringUp(*node_);
}

void LiftHost::placeRobot(const Pose2& pose) { localisation_.placeRobot(pose); }

void LiftHost::reportObstacle(const geometry_msgs::msg::Polygon& outline, uint32_t types) {
  vantrell_nav2_gridmap::ObstacleEdit edit;
  for (const auto& point : outline.points) {
    edit.polygon.push_back({point.x, point.y});
  }
  edit.types = types;
  for (const auto& map : maps_.list()) {
    map->getMultiGridMap()->queueObstacleEdit(edit);
  }
}

void LiftHost::drainTaps() {
  // One pass takes at most one message per subscription.
  size_t seen = 0;
  do {
    seen = check_areas_.size() + check_lift_areas_.size() + robot_events_;
    rclcpp::spin_some(tap_);
  } while (check_areas_.size() + check_lift_areas_.size() + robot_events_ > seen);
}

std::vector<geometry_msgs::msg::PolygonStamped> LiftHost::takeCheckAreas() {
  return std::exchange(check_areas_, {});
}

std::vector<geometry_msgs::msg::PolygonStamped> LiftHost::takeCheckLiftAreas() {
  return std::exchange(check_lift_areas_, {});
}

}  // namespace demo
