// The lift side of the global planning node: the lift planners ("lift", "lift_out"), the lift
// checks ("is_global_free", "is_fuzzy_global_free") and the forced path ("force_global_path").
//
// The three callbacks run on three workers of their own, beside "global_planning". The stored
// lift frame is the one thing they hand to each other, so it is only ever copied under
// lift_frame_mutex_; everything else they share is either read-only after configure or safe
// to call from several threads (grid maps, planners' searches, communicator, trace publisher).
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "logger/logger.hpp"
#include "nav2_costmap_2d/footprint.hpp"
#include "planning/codes.hpp"
#include "planning/geometry.hpp"
#include "planning/global_planning/lift_out_planning.hpp"
#include "planning/global_planning/lift_planning.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning/planner_keys.hpp"
#include "vantrell_protocol/msg/robot_event.hpp"

namespace planning {

namespace {

using global_keys::kLift;
using global_keys::kLiftOut;

// Corners 0 to 3 of the waiting area are values 2 to 9 of "lift_polygon".
constexpr size_t kFirstWaitingCorner = 2;
constexpr size_t kLiftPolygonValues = 10;
constexpr size_t kLiftCorners = 4;
// The refusals of the lift frame are the check's, whichever helper writes them.
constexpr char kFuzzyCheck[] = "isFuzzyGlobalFree";

const char* trueOrFalse(bool value) { return value ? "true" : "false"; }

}  // namespace

void NavGlobalPlanningServer::addLiftPlanners(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  planners_[kLift] = std::make_shared<LiftPlanning>(node, global_gridmap_);
  planners_[kLiftOut] = std::make_shared<LiftOutPlanning>(node, global_gridmap_);
}

std::vector<geometry_msgs::msg::Point32> NavGlobalPlanningServer::liftInnerFrame() const {
  std::lock_guard<std::mutex> lock(lift_frame_mutex_);
  return lift_inner_frame_;
}

void NavGlobalPlanningServer::storeLiftInnerFrame(
    const std::vector<geometry_msgs::msg::Point32>& frame) {
  std::lock_guard<std::mutex> lock(lift_frame_mutex_);
  lift_inner_frame_ = frame;
}

void NavGlobalPlanningServer::isGlobalFree() {
  const auto goal = lift_free_server_->get_current_goal();
  if (!goal) {
    return;
  }
  const geometry_msgs::msg::PoseStamped target = goal->target_pose;
  auto result = std::make_shared<LiftFree::Result>();

  geometry_msgs::msg::Polygon lift;
  lift.points = liftInnerFrame();
  geometry_msgs::msg::PoseStamped robot_pose;
  if (lift.points.empty()) {
    LOG_ERROR("NavGlobalPlanningServer::isGlobalFree receive no lift_inner_frame");
  } else if (!readRobotPose(robot_pose)) {
    // A footprint placed at the map origin says nothing about the robot: not contained.
    LOG_ERROR("NavGlobalPlanningServer::isGlobalFree getRobotPose Failed!");
  } else {
    result->is_contained = footprintInside(lift, robot_pose);
  }

  unsigned int mx = 0;
  unsigned int my = 0;
  const auto grid = global_gridmap_->getMultiGridMap();
  if (grid->getCostmap()->worldToMap(target.pose.position.x, target.pose.position.y, mx, my)) {
    result->is_free = !grid->inDanger(mx, my, 0);
  } else {
    LOG_ERROR("NavGlobalPlanningServer::isGlobalFree worldToMap Failed!");
  }
  trace_logger_->pub_debug("[isFreeArea] {}", trueOrFalse(result->is_free));
  lift_free_server_->succeeded_current(result);
}

bool NavGlobalPlanningServer::readRobotPose(geometry_msgs::msg::PoseStamped& robot_pose) const {
  robot_pose = geometry_msgs::msg::PoseStamped();
  return global_gridmap_->getCostmapROS()->getRobotPose(robot_pose) &&
         geometry::isFinitePose(robot_pose);
}

bool NavGlobalPlanningServer::footprintInside(const geometry_msgs::msg::Polygon& lift,
                                              const geometry_msgs::msg::PoseStamped& robot) const {
  geometry_msgs::msg::PolygonStamped footprint;
  footprint.polygon =
      nav2_costmap_2d::toPolygon(global_gridmap_->getCostmapROS()->getRobotFootprint());
  base_robot_.translatePolygon(footprint, robot);
  return base_robot_.isPolygonContained(footprint.polygon, lift);
}

// Every refusal answers "not free" with the door pose, and raises 70001 for the way in.
void NavGlobalPlanningServer::isFuzzyGlobalFree() {
  const auto goal = fuzzy_lift_free_server_->get_current_goal();
  if (!goal) {
    return;
  }
  geometry_msgs::msg::PoseStamped door = goal->door_pose;
  auto result = std::make_shared<FuzzyLiftFree::Result>();
  result->free_pose = goal->door_pose;
  result->is_free = false;
  result->has_emergency = false;
  result->reserved_flag = 0;
  // A bad request changes nothing the node keeps: not the stored frame, not the hall depth.
  if (!geometry::isFinitePose(door)) {
    LOG_ERROR("NavGlobalPlanningServer::isFuzzyGlobalFree door_pose is not finite");
    finishFuzzyCheck(*goal, result);
    return;
  }
  if (!goal->lift_inner_frame.points.empty()) {
    storeLiftInnerFrame(goal->lift_inner_frame.points);
  }
  if (liftInnerFrame().empty()) {
    LOG_ERROR("NavGlobalPlanningServer::isFuzzyGlobalFree receive no lift_inner_frame");
  }

  const auto planner = findPlanner(goal->planner_name);
  if (!planner) {
    LOG_ERROR("NavGlobalPlanningServer::isFuzzyGlobalFree there is no planner called \"{}\"",
              goal->planner_name);
    finishFuzzyCheck(*goal, result);
    return;
  }
  if (!prepareLiftFrame(*goal, door, *result)) {
    finishFuzzyCheck(*goal, result);
    return;
  }

  geometry_msgs::msg::PoseStamped robot_pose;
  if (!readRobotPose(robot_pose)) {
    // The map origin is no stand-in for the robot: it would deepen every later hall for good.
    LOG_ERROR("NavGlobalPlanningServer::isFuzzyGlobalFree getRobotPose Failed!");
    finishFuzzyCheck(*goal, result);
    return;
  }
  geometry_msgs::msg::PoseStamped free_pose = door;
  const geometry_msgs::msg::Polygon hall =
      planner->getLiftHallFrame(lift_frame_.polygon, robot_pose, door);
  if (hall.points.empty()) {
    finishFuzzyCheck(*goal, result);
    return;
  }
  publishCheckAreas(hall, goal->planner_name == kLift, goal->resize_flag);

  global_gridmap_->waitForCostmap();
  global_gridmap_->getMultiGridMap()->updateMap();
  const bool found = planner->connectiveAreaSearch(robot_pose, goal->door_pose, free_pose, hall,
                                                   lift_frame_.polygon);
  if (found) {
    LOG_INFO("NavGlobalPlanningServer::isFuzzyGlobalFree connectiveAreaSearch success");
  }
  result->is_free = found;
  result->free_pose = free_pose;
  result->free_pose.pose.orientation = goal->door_pose.pose.orientation;
  finishFuzzyCheck(*goal, result);
}

// The lift frame the check searches into: the waiting area set out from "lift_polygon" on the way
// out, the stored car on the way in (unless an emergency patient rides in it). False when there is
// none to search into.
bool NavGlobalPlanningServer::prepareLiftFrame(const FuzzyLiftFree::Goal& goal,
                                               geometry_msgs::msg::PoseStamped& door,
                                               FuzzyLiftFree::Result& result) {
  resetLiftFrame();
  if (goal.planner_name == kLiftOut) {
    // Only the way out reads the waiting area's corners.
    if (lift_polygon_.size() < kLiftPolygonValues) {
      LOG_ERROR_FROM(
          kFuzzyCheck,
          "NavGlobalPlanningServer::isFuzzyGlobalFree lift_polygon holds {} values, {} needed",
          lift_polygon_.size(), kLiftPolygonValues);
      return false;
    }
    placeWaitingArea(door);
    return true;
  }
  local_gridmap_->getMultiGridMap()->updateMap();
  lift_frame_.polygon.points = liftInnerFrame();
  if (lift_frame_.polygon.points.size() < kLiftCorners) {
    LOG_ERROR_FROM(
        kFuzzyCheck,
        "NavGlobalPlanningServer::isFuzzyGlobalFree lift_inner_frame holds {} points, {} needed",
        lift_frame_.polygon.points.size(), kLiftCorners);
    return false;
  }
  result.has_emergency = path_product_->existEmergencyPatients(lift_frame_.polygon, local_gridmap_);
  return !result.has_emergency;
}

// The four corners of the waiting area that "lift_polygon" gives; a corner beyond the fourth is
// dropped, one it does not give keeps what it held ((0, 0) when added). The way in replaces all
// four by the stored car.
void NavGlobalPlanningServer::resetLiftFrame() {
  lift_frame_.polygon.points.resize(kLiftCorners);
  lift_frame_.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  lift_frame_.header.frame_id = "map";
  for (size_t k = 0; k < kLiftCorners; ++k) {
    const size_t x = kFirstWaitingCorner + 2 * k;
    if (x + 1 < lift_polygon_.size()) {
      lift_frame_.polygon.points[k].x = static_cast<float>(lift_polygon_[x]);
      lift_frame_.polygon.points[k].y = static_cast<float>(lift_polygon_[x + 1]);
    }
  }
}

// Leaving, the robot needs a place in front of the lift rather than in it: the waiting area is
// set out behind the door, and becomes the stored frame that "is_global_free" and the forced
// path then use. `door` is moved to the waiting area's centre.
void NavGlobalPlanningServer::placeWaitingArea(geometry_msgs::msg::PoseStamped& door) {
  for (auto& corner : lift_frame_.polygon.points) {
    corner.x = static_cast<float>(corner.x * lift_waiting_area_);
    corner.y = static_cast<float>(corner.y * lift_waiting_area_);
  }
  const geometry_msgs::msg::Quaternion door_orientation = door.pose.orientation;
  const double away = geometry::yawOf(door_orientation) + geometry::kPi;
  door.pose.position.x += 0.5 * lift_waiting_area_ * std::cos(away);
  door.pose.position.y += 0.5 * lift_waiting_area_ * std::sin(away);
  geometry::setYawKeepingXY(door.pose.orientation, away);
  base_robot_.translatePolygon(lift_frame_, door);
  storeLiftInnerFrame(lift_frame_.polygon.points);
  door.pose.orientation = door_orientation;
}

// One message, stamped once: the lift, then the hall, then the lift as the robot may use it.
void NavGlobalPlanningServer::publishCheckAreas(const geometry_msgs::msg::Polygon& hall,
                                                bool resize, bool resize_flag) {
  using Publisher = rclcpp::Publisher<geometry_msgs::msg::PolygonStamped>;
  // Through the plain publisher: the checks are shown whatever the node's lifecycle state.
  Publisher& check_area = *check_area_pub_;
  Publisher& check_lift_area = *check_lift_area_pub_;
  geometry_msgs::msg::PolygonStamped message;
  message.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  message.header.frame_id = "map";
  message.polygon = lift_frame_.polygon;
  check_area.publish(message);
  message.polygon = hall;
  check_lift_area.publish(message);
  if (resize) {
    lift_frame_.polygon = base_robot_.resizeLiftFrame(lift_frame_.polygon, offset_x_, resize_flag);
  }
  message.polygon = lift_frame_.polygon;
  check_lift_area.publish(message);
}

void NavGlobalPlanningServer::finishFuzzyCheck(
    const FuzzyLiftFree::Goal& goal, const std::shared_ptr<FuzzyLiftFree::Result>& result) {
  if (!result->is_free && goal.planner_name == kLift) {
    raiseLiftBlockedEvent();
  }
  trace_logger_->pub_debug("[isFreeArea] {}", trueOrFalse(result->is_free));
  fuzzy_lift_free_server_->succeeded_current(result);
}

void NavGlobalPlanningServer::raiseLiftBlockedEvent() {
  vantrell_protocol::msg::RobotEvent event;
  event.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  event.event_type = codes::kLiftEventType;
  event.event_code = codes::kLiftBlockedEvent;
  communicator_->getRobotEventUnit()->publishRobotEvent(event);
}

void NavGlobalPlanningServer::getForceGlobalPath() {
  const auto goal = force_global_path_server_->get_current_goal();
  if (!goal) {
    return;
  }
  geometry_msgs::msg::Polygon lift;
  lift.points = liftInnerFrame();
  auto result = std::make_shared<ForceGlobalPath::Result>();
  vantrell_nav2_protocol::msg::Path path = path_product_->generatePathFromPolygon(
      global_gridmap_->getMultiGridMap()->getCostmap()->getResolution(), lift);
  if (!path.nav_path.poses.empty()) {
    const std::string frame = global_gridmap_->getCostmapROS()->getGlobalFrameID();
    MultiPaths paths;
    paths.header.frame_id = frame;
    path.nav_path.header.frame_id = frame;
    paths.paths.push_back(path);
    // Consumers of global paths get this one before it has an identifier, as they always have.
    communicator_->getPlanningUnit()->publishGlobalPath(paths);
    paths.uuid = base_robot_.generateUuid();
    result->success = true;
    result->multi_paths = paths;
  }
  force_global_path_server_->succeeded_current(result);
}

}  // namespace planning
