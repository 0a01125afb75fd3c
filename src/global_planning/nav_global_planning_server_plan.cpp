// The road of one "global_planning" goal, on that action's worker thread.
//
// The node's own bookkeeping (robot events, failure count, diagnosis report, published path set)
// is done before the goal ends, so that whoever hears the result sees the node settled.
#include <cmath>
#include <string>
#include <utility>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/finite_goal.hpp"
#include "planning/geometry.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning/planner_keys.hpp"
#include "vantrell_diagnosis/diagnosis.hpp"
#include "vantrell_protocol/msg/robot_event.hpp"

namespace planning {

namespace {

// The failure lines belong to the plan computation, whichever helper writes them.
constexpr char kComputePlan[] = "computePlan";
// Goals of this mode get their goal poses back in the result.
constexpr int16_t kEchoGoalPosesMode = 405;
constexpr double kMaxSmoothSeconds = 1.0;
// The start heading is taken over this many steps of the path.
constexpr size_t kHeadingSteps = 4;

// rclcpp::Clock::now() is not const in Humble, so the clock is passed as it is held.
double millisecondsSince(const rclcpp::Time& since, rclcpp::Clock& clock) {
  return static_cast<double>((clock.now() - since).nanoseconds()) / 1e9 * 1000.0;
}

bool samePosition(const geometry_msgs::msg::Point& a, const geometry_msgs::msg::Point& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

}  // namespace

void NavGlobalPlanningServer::computePlan() {
  rclcpp::Clock clock(RCL_SYSTEM_TIME);
  const rclcpp::Time received_at = clock.now();
  const auto goal = global_planning_server_->get_current_goal();
  if (!goal) {
    return;
  }

  const std::string planner_key = goal->current_planning_id;
  trace_logger_->pub_debug("------>NavGlobalPlanningServer current_planning_id is {}", planner_key);
  goal_poses_ = goal->goal_poses;
  trace_logger_->pub_debug("------>computePlan, goal mode is {}, action id: {}, pose size is {}",
                           goal->goal_mode, goal->action_id, goal_poses_.size());
  result_->goal_zones = {goalZonePolygon(goal->goal_zone)};

  refreshGridMaps();
  trace_logger_->pub_debug("NavGlobalPlanning updateAllGridMaps: {}ms",
                           millisecondsSince(received_at, clock));
  const rclcpp::Time planning_from = clock.now();

  const auto planner = findPlanner(planner_key);
  if (!planner) {
    LOG_ERROR("computePlan: there is no global planner called \"{}\"", planner_key);
    raiseLiftPlanEvent(goal->goal_mode);
    failGoal(*goal, codes::kGlobalPlanFailed);
    return;
  }
  if (!isFiniteGoal(*goal)) {
    LOG_ERROR("computePlan: the goal has a position that is not a number, error code is {}",
              codes::kGlobalPlanFailed);
    failGoal(*goal, codes::kGlobalPlanFailed);
    return;
  }
  MultiPaths paths;
  const bool planned = runPlanner(*planner, goal, paths);
  trace_logger_->pub_debug("NavGlobalPlanning makePlan: {}ms",
                           millisecondsSince(planning_from, clock));
  const rclcpp::Time finishing_from = clock.now();
  result_->goal_poses.clear();
  if (!planned || paths.paths.empty() || paths.paths.back().nav_path.poses.empty()) {
    failGoal(*goal, failureCode(*planner, planned, paths));
    return;
  }

  if (!smoothPaths(paths)) {
    LOG_ERROR("!!!!!!!!!!!!!!!!!smooth failed, error code is {}", codes::kSmoothFailed);
    terminateGoal(*goal, codes::kSmoothFailed);
    return;
  }
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!global_gridmap_->getCostmapROS()->getRobotPose(robot_pose)) {
    LOG_ERROR("computePlan failed: no robot pose, error code is {}", codes::kGlobalPlanFailed);
    terminateGoal(*goal, codes::kGlobalPlanFailed);
    return;
  }

  const auto& last_poses = paths.paths.back().nav_path.poses;
  const double end_yaw = base_robot_.quaternion2Yaw(last_poses.back().pose.orientation);
  const double start_yaw =
      startTargetYaw(last_poses, base_robot_.quaternion2Yaw(robot_pose.pose.orientation));
  communicator_->getPlanningUnit()->publishGlobalPath(paths);
  fillResult(*goal, paths, start_yaw, end_yaw);
  planner->setErrorCode(0);

  countSuccess();
  global_planning_server_->succeeded_current(result_);
  // Traced once the client has its result: the trace is not what it waits for.
  trace_logger_->pub_debug("result_->start_target_yaw={}", static_cast<float>(start_yaw));
  trace_logger_->pub_debug("result_->end_target_yaw={}", static_cast<float>(end_yaw));
  trace_logger_->pub_debug("NavGlobalPlanning after makePlan: {}ms",
                           millisecondsSince(finishing_from, clock));
}

bool NavGlobalPlanningServer::runPlanner(NavGlobalPlanning& planner,
                                         const std::shared_ptr<const GlobalPlanning::Goal>& goal,
                                         MultiPaths& paths) {
  planner.updateGoal(goal);
  planner.setGoalFlags(GoalFlags{goal->forbid_fuzzy_goal, goal->goal_flag_2, goal->goal_flag_3});
  const bool planned = planner.makePlan(goal_poses_, paths);
  if (!planned) {
    raiseLiftPlanEvent(goal->goal_mode);
  }
  return planned;
}

// A failing planner that names no code still failed: the goal never ends with the success code.
// A last path without poses has no end to head for.
int32_t NavGlobalPlanningServer::failureCode(const NavGlobalPlanning& planner, bool planned,
                                             const MultiPaths& paths) {
  if (planned && !paths.paths.empty()) {
    LOG_ERROR_FROM(kComputePlan, "computePlan: the last path of the plan holds no pose");
    return codes::kGlobalPlanFailed;
  }
  const int32_t code = planner.getErrorCode();
  return code == 0 ? codes::kGlobalPlanFailed : code;
}

void NavGlobalPlanningServer::fillResult(const GlobalPlanning::Goal& goal, MultiPaths& paths,
                                         double start_yaw, double end_yaw) {
  result_->multi_paths.header = paths.header;
  result_->multi_paths.uuid = paths.uuid;
  result_->multi_paths.paths = std::move(paths.paths);
  result_->start_target_yaw = static_cast<float>(start_yaw);
  result_->end_target_yaw = static_cast<float>(end_yaw);
  result_->global_path_uuid = base_robot_.generateUuid();
  result_->error_code = 0;
  result_->goal_mode = goal.goal_mode;
  result_->action_id = goal.action_id;
  result_->goal_poses.clear();
  if (goal.goal_mode == kEchoGoalPosesMode) {
    result_->goal_poses = goal.goal_poses;
  }
}

void NavGlobalPlanningServer::refreshGridMaps() {
  global_gridmap_->waitForCostmap();
  global_gridmap_->getMultiGridMap()->updateMap();
  local_gridmap_->getMultiGridMap()->updateMap();
}

std::shared_ptr<NavGlobalPlanning> NavGlobalPlanningServer::findPlanner(
    const std::string& key) const {
  const auto found = planners_.find(key);
  return found == planners_.end() ? nullptr : found->second;
}

void NavGlobalPlanningServer::raiseLiftPlanEvent(int16_t goal_mode) {
  int32_t event_code = 0;
  if (goal_mode == global_keys::kLiftInMode) {
    event_code = codes::kLiftInPlanFailedEvent;
    trace_logger_->pub_debug("lift in plan failed !!!");
  } else if (goal_mode == global_keys::kLiftOutMode) {
    event_code = codes::kLiftOutPlanFailedEvent;
    trace_logger_->pub_debug("lift out plan failed !!!");
  } else {
    return;
  }
  vantrell_protocol::msg::RobotEvent event;
  event.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  event.event_type = codes::kLiftEventType;
  event.event_code = event_code;
  communicator_->getRobotEventUnit()->publishRobotEvent(event);
}

bool NavGlobalPlanningServer::smoothPaths(MultiPaths& paths) {
  const std::string frame = global_gridmap_->getCostmapROS()->getGlobalFrameID();
  paths.header.frame_id = frame;
  for (auto& path : paths.paths) {
    path.nav_path.header.frame_id = frame;
    if (!smoother_->smooth(path.nav_path, rclcpp::Duration::from_seconds(kMaxSmoothSeconds))) {
      return false;
    }
  }
  return true;
}

void NavGlobalPlanningServer::failGoal(const GlobalPlanning::Goal& goal, int32_t error_code) {
  LOG_ERROR_FROM(kComputePlan, "computePlan failed: error code is {}", error_code);
  countFailure();
  terminateGoal(goal, error_code);
}

// The result record is reused by every goal: what an earlier goal planned must not travel with
// this goal's failure.
void NavGlobalPlanningServer::terminateGoal(const GlobalPlanning::Goal& goal, int32_t error_code) {
  result_->multi_paths = MultiPaths();
  result_->start_target_yaw = 0.0F;
  result_->end_target_yaw = 0.0F;
  result_->global_path_uuid.clear();
  result_->goal_mode = goal.goal_mode;
  result_->action_id = goal.action_id;
  result_->error_code = error_code;
  result_->goal_poses.clear();
  global_planning_server_->terminate_current(result_);
}

void NavGlobalPlanningServer::countFailure() {
  ++failure_count_;
  LOG_INFO_FROM(kComputePlan, "----------GlobalPlanning retry times is {}----------",
                failure_count_);
  if (failure_count_ >= codes::kFailuresBeforeReport) {
    Diagnosis::getInstance().DataStatusReport(GLOBAL_PLANNING_FAILURE, 1);
    diagnosis_reported_ = 1;
    failure_count_ = 0;
  }
}

void NavGlobalPlanningServer::countSuccess() {
  failure_count_ = 0;
  if (diagnosis_reported_ != 0) {
    Diagnosis::getInstance().DataStatusReport(GLOBAL_PLANNING_FAILURE, 0);
    diagnosis_reported_ = 0;
  }
}

geometry_msgs::msg::Polygon NavGlobalPlanningServer::goalZonePolygon(
    const std::vector<geometry_msgs::msg::Point32>& zone) {
  geometry_msgs::msg::Polygon polygon;
  polygon.points.reserve(zone.size());
  for (const auto& point : zone) {
    geometry_msgs::msg::Point32 flat;
    flat.x = point.x;
    flat.y = point.y;
    flat.z = 0.0F;
    polygon.points.push_back(flat);
  }
  return polygon;
}

double NavGlobalPlanningServer::startTargetYaw(
    const std::vector<geometry_msgs::msg::PoseStamped>& poses, double robot_yaw) {
  const size_t n = poses.size();
  if (n <= kHeadingSteps) {
    return 0.0;
  }
  const auto& first = poses.front().pose.position;
  const auto& ahead = poses[kHeadingSteps].pose.position;
  if (samePosition(first, ahead) ||
      samePosition(poses[n - 1].pose.position, poses[n - 1 - kHeadingSteps].pose.position)) {
    return 0.0;
  }
  const double heading = geometry::headingBetween(poses[0], poses[kHeadingSteps]);
  const double difference = geometry::normalizeAngle(robot_yaw - heading);
  return std::fabs(difference) < geometry::kPi / 2.0 ? kNoStartTurn : heading;
}

}  // namespace planning
