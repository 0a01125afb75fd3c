// The road of one "local_planning" goal, on that action's worker thread.
//
// The node's own bookkeeping (failure count, diagnosis report) is done before the goal ends, so
// that whoever hears the result sees the node settled.
#include <cmath>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/geometry.hpp"
#include "planning/local_planning/local_goal_check.hpp"
#include "planning/local_planning/nav_local_planning_server.hpp"
#include "rclcpp/clock.hpp"
#include "vantrell_diagnosis/diagnosis.hpp"

namespace planning {

namespace {

// The lines the steps of a goal write belong to the plan computation, whichever helper writes
// them.
constexpr char kComputePlan[] = "computePlan";
// A goal speed at or below this is no speed: the configured caps hold.
constexpr double kNoSpeedOverride = 0.0001;

// Times the stages of a goal on the system clock; each lap restarts it.
class Stopwatch {
 public:
  Stopwatch() : started_(clock_.now()) {}

  double lapMilliseconds() {
    const rclcpp::Time now = clock_.now();
    const double elapsed = static_cast<double>((now - started_).nanoseconds()) / 1e9 * 1000.0;
    started_ = now;
    return elapsed;
  }

  int64_t wholeMilliseconds() { return (clock_.now() - started_).nanoseconds() / 1000000; }

 private:
  rclcpp::Clock clock_{RCL_SYSTEM_TIME};
  rclcpp::Time started_;
};

}  // namespace

void NavLocalPlanningServer::computePlan() {
  const auto goal = action_server_->get_current_goal();
  if (!goal) {
    // The server has said why; there is nothing to plan for.
    return;
  }
  // Left to the server, a throw would end the goal without a word of this node and without
  // counting as a failed plan.
  try {
    planGoal(goal);
  } catch (const std::exception& error) {
    LOG_ERROR("computePlan failed: {}, error code is {}", error.what(), codes::kLocalPlanFailed);
    failGoal(false);
  } catch (...) {
    LOG_ERROR("computePlan failed: unknown exception, error code is {}", codes::kLocalPlanFailed);
    failGoal(false);
  }
}

void NavLocalPlanningServer::planGoal(const std::shared_ptr<const LocalPlanning::Goal>& goal) {
  Stopwatch total;
  if (!checkLocalGoal(*goal)) {
    failGoal(false);
    return;
  }
  setParameter(goal);
  const std::string key = goal->current_planning_id;
  const std::string global_path_uuid = goal->global_path_uuid;
  trace_logger_->pub_debug("NavLocalPlanningServer current_planning_id is {}", key);
  trace_logger_->pub_debug(
      "NavLocalPlanningServer current_planning_id is {}, action id in local palnning server {}",
      key, goal->action_id);
  refreshLocalMap();
  Stopwatch stage;
  Path path = workingPath();
  const auto planner = findPlanner(key);
  if (!planner) {
    trace_logger_->pub_debug("NavLocalPlanningServer there is no local planner called {}", key);
    LOG_ERROR_FROM(kComputePlan, "there is no local planner called \"{}\", error code is {}", key,
                   codes::kLocalPlanFailed);
    terminateGoal();
    return;
  }
  ControlState control;
  bool need_replan = false;
  const bool planned = runPlanner(*planner, goal, path, control, need_replan);
  if (!acceptPlannedPath(*planner, planned, path, need_replan)) {
    return;
  }
  trace_logger_->pub_debug("NavLocalPlanningServer makePlan time is {}ms", stage.lapMilliseconds());
  checkOscillation(global_path_uuid, path);
  // The heading the planner meant to arrive with, before smoothing bends the end.
  const double end_yaw = base_robot_.quaternion2Yaw(path.nav_path.poses.back().pose.orientation);
  if (!smoothPath(*planner, path)) {
    return;
  }
  PoseStamped robot;
  robot.pose.orientation.w = 1.0;
  if (!global_gridmap_->getCostmapROS()->getRobotPose(robot)) {
    terminateGoal();
    return;
  }
  const SpinState spin = judgeSpin(*planner, robot, path, goal->planning_mode, end_yaw);
  SpeedVerdict speed;
  speed.percent = speed_limit_value_->getSpeedLimitPercent(path.nav_path, key, speed.near_obstacle,
                                                           path.move_backward, speed_limit_params_);
  planner->pathFuzzyPoint(path, control);
  if (path.nav_path.poses.empty()) {
    LOG_ERROR_FROM(kComputePlan, "NavLocalPlanningServer::pathFuzzyPoint local path is empty");
    terminateGoal();
    return;
  }
  LocalPlanning::Result filled = fillResult(*planner, *goal, path, spin, control, speed);
  countSuccess();
  communicator_->getPlanningUnit()->publishLocalPath(filled.local_path.nav_path);
  // Nothing from here on throws: a goal that fails before leaves the record as it was.
  *result_ = std::move(filled);
  action_server_->succeeded_current(result_);
  trace_logger_->pub_debug("local planning set spin ok.");
  trace_logger_->pub_debug("NavLocalPlanningServer computePlan time is {}ms",
                           total.lapMilliseconds());
}

void NavLocalPlanningServer::setParameter(const std::shared_ptr<const LocalPlanning::Goal>& goal) {
  const double speed = static_cast<double>(goal->max_speed);
  const bool overridden = speed > kNoSpeedOverride;
  speed_limit_params_.point_nav_max_speed = overridden ? speed : configured_point_nav_max_speed_;
  speed_limit_params_.non_welt_clean_max_speed =
      overridden ? speed : configured_non_welt_clean_max_speed_;
}

void NavLocalPlanningServer::refreshLocalMap() {
  Stopwatch stage;
  local_gridmap_->waitForCostmap();
  trace_logger_->pub_debug("NavLocalPlanningServer waitForCostmap time is {}ms",
                           stage.lapMilliseconds());
  local_gridmap_->getMultiGridMap()->updateMap();
  trace_logger_->pub_debug("NavLocalPlanningServer updateAllGridMaps time is {}ms",
                           stage.lapMilliseconds());
}

NavLocalPlanningServer::Path NavLocalPlanningServer::workingPath() const {
  const auto& previous = result_->local_path.nav_path;
  Path path;
  path.nav_path.header.stamp = previous.header.stamp;
  path.nav_path.poses = previous.poses;
  path.nav_path.header.frame_id = local_gridmap_->getCostmapROS()->getGlobalFrameID();
  return path;
}

std::shared_ptr<NavLocalPlanning> NavLocalPlanningServer::findPlanner(
    const std::string& key) const {
  const auto found = planners_.find(key);
  return found == planners_.end() ? nullptr : found->second;
}

// The planner's cached global paths go out whatever it answered: the controller shows them.
bool NavLocalPlanningServer::runPlanner(NavLocalPlanning& planner,
                                        const std::shared_ptr<const LocalPlanning::Goal>& goal,
                                        Path& path, ControlState& control, bool& need_replan) {
  planner.updateGoal(goal);
  if (goal->use_goal_pose) {
    planner.setGoalPose(goal->goal_pose, static_cast<double>(goal->fuzzy_distance));
  }
  planner.setGoalFlags({goal->goal_flags[0], goal->goal_flags[1], goal->goal_flags[2]});
  planner.setPlanningMode(goal->planning_mode);
  const bool planned = planner.makePlan(path, control, need_replan);
  result_->cropped_global_paths = planner.getGlobalPaths();
  communicator_->getPlanningUnit()->publishCroppedGlobalPath(result_->cropped_global_paths);
  return planned;
}

bool NavLocalPlanningServer::acceptPlannedPath(const NavLocalPlanning& planner, bool planned,
                                               const Path& path, bool need_replan) {
  if (!planned) {
    LOG_ERROR_FROM(kComputePlan, "local planning failed,result is false! error code is {}",
                   codes::kLocalPlanFailed);
    failGoal(need_replan);
    return false;
  }
  if (path.check_blocked && isPathBlocked(planner.getGlobalPaths())) {
    LOG_ERROR_FROM(kComputePlan, "local planning failed, path blocked.");
    failGoal(true);
    return false;
  }
  if (path.nav_path.poses.empty()) {
    LOG_ERROR_FROM(kComputePlan, "local planning failed, path is empty! error code is {}",
                   codes::kLocalPlanFailed);
    failGoal(need_replan);
    return false;
  }
  return true;
}

// A backward path on the global path of the last goal arms the latch; the next forward path on
// that global path is driven backward too, and disarms it.
void NavLocalPlanningServer::checkOscillation(const std::string& global_path_uuid, Path& path) {
  const bool same_global_path = global_path_uuid == last_global_path_uuid_;
  if (same_global_path && path.move_backward) {
    oscillation_ = true;
  } else if (same_global_path && oscillation_) {
    oscillation_ = false;
    path.move_backward = true;
    LOG_INFO_FROM(kComputePlan,
                  "NavLocalPlanningServer::computePlan oscillation, force move backward");
  } else {
    oscillation_ = false;
    last_global_path_uuid_ = global_path_uuid;
  }
}

bool NavLocalPlanningServer::smoothPath(NavLocalPlanning& planner, Path& path) {
  Stopwatch smoothing;
  const bool smoothed = planner.pathSmooter(path.nav_path);
  const int64_t milliseconds = smoothing.wholeMilliseconds();
  if (!smoothed || path.nav_path.poses.empty()) {
    LOG_ERROR_FROM(kComputePlan, "smooth failed, error code is {}", codes::kSmoothFailed);
    terminateGoal();
    return false;
  }
  trace_logger_->pub_debug("NavLocalPlanningServer::smoother use time is  {} ms", milliseconds);
  return true;
}

SpinState NavLocalPlanningServer::judgeSpin(NavLocalPlanning& planner, const PoseStamped& robot,
                                            Path& path, int32_t planning_mode, double end_yaw) {
  SpinState spin;
  spin.spin_required = 0;
  spin.spin_option = 1;
  spin.spin_angle = 0.0;
  spin.target_yaw = end_yaw;
  spin.look_ahead_length = rotation_direction_path_length_;
  spin.start_spin_threshold = getStartSpinThetaThreshold(planning_mode, path.move_backward);
  planner.updatePathWithMovementConstraint(path);
  planner.spinJudge(robot, path, path.nav_path, spin, spin_judge_path_length_tolerance_);
  if (planner.needSetEndYaw() && !path.nav_path.poses.empty()) {
    path.nav_path.poses.back().pose.orientation = geometry::yawToQuaternion(spin.target_yaw);
  }
  return spin;
}

// Only a goal that gets this far writes the record, and only once all of it is filled: after a
// failure, a throw while filling included, it still holds the last successful goal's fields, and
// the next goal's working path starts from its local path.
NavLocalPlanningServer::LocalPlanning::Result NavLocalPlanningServer::fillResult(
    NavLocalPlanning& planner, const LocalPlanning::Goal& goal, Path& path, const SpinState& spin,
    const ControlState& control, const SpeedVerdict& speed) const {
  LocalPlanning::Result filled = *result_;
  filled.spin_required = spin.spin_required;
  filled.spin_option = spin.spin_option;
  filled.speed_limit_percent = static_cast<float>(speed.percent);
  filled.near_obstacle = speed.near_obstacle;
  filled.speed_limit = planner.setSpeedLimit(path);
  filled.local_path = std::move(path);
  filled.spin_angle = static_cast<float>(spin.spin_angle);
  trace_logger_->pub_debug("NavLocalPlanning::finished={}", control.finished);
  filled.finished = control.finished;
  filled.control_flag = control.too_close_to_goal;
  filled.planner_flag = planner.getZeltoPathCut();
  filled.target_yaw = static_cast<float>(spin.target_yaw);
  filled.control_ok = control.wait_state == 0;
  filled.residues_zones = planner.getResiduesZones();
  filled.action_id = goal.action_id;
  filled.cleaned_area = static_cast<float>(planner.getCleanedArea());
  return filled;
}

void NavLocalPlanningServer::failGoal(bool need_replan) {
  countFailure();
  auto result = std::make_shared<LocalPlanning::Result>();
  result->need_replan = need_replan;
  action_server_->terminate_current(result);
}

void NavLocalPlanningServer::terminateGoal() {
  action_server_->terminate_current(std::make_shared<LocalPlanning::Result>());
}

void NavLocalPlanningServer::countFailure() {
  ++failure_count_;
  LOG_INFO_FROM(kComputePlan, "----------LocalPlanning retry times is {}----------",
                failure_count_);
  if (failure_count_ >= codes::kFailuresBeforeReport) {
    Diagnosis::getInstance().DataStatusReport(LOCAL_PLANNING_FAILURE, 1);
    diagnosis_reported_ = 1;
    failure_count_ = 0;
  }
}

void NavLocalPlanningServer::countSuccess() {
  failure_count_ = 0;
  if (diagnosis_reported_ != 0) {
    Diagnosis::getInstance().DataStatusReport(LOCAL_PLANNING_FAILURE, 0);
    diagnosis_reported_ = 0;
  }
}

}  // namespace planning
