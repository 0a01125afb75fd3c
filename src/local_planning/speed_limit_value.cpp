// The speed-limit value of one local planning cycle, on the thread that runs the local goals.
#include "planning/local_planning/speed_limit_value.hpp"

#include <algorithm>
#include <utility>

#include "planning/codes.hpp"
#include "planning/planner_keys.hpp"
#include "rclcpp/clock.hpp"
#include "vantrell_protocol/msg/robot_event.hpp"

namespace planning {

namespace {

// Above the full-speed term of the value: a predicate that does not fire never lowers it.
constexpr double kUnusedScale = 1.2;
constexpr double kFullSpeed = 1.0;

}  // namespace

SpeedLimitValue::SpeedLimitValue(std::shared_ptr<PathJudge> judge,
                                 std::shared_ptr<LogPublisher> trace_logger,
                                 const Settings& settings)
    : settings_(settings),
      judge_(std::move(judge)),
      trace_logger_(std::move(trace_logger)),
      communicator_(vantrell_communicator::CommunicatorEngine::GetInstance()) {}

double SpeedLimitValue::getSpeedLimitPercent(const nav_msgs::msg::Path& path,
                                             const std::string& planner_id, bool& near_obstacle,
                                             bool move_backward, const SpeedLimitParams& params) {
  if (judge_->isPathTooShort(path)) {
    traceLine(trace_logger_, "The path is too short, max speed is {}!!!!",
              params.near_obstacle_max_speed);
    return params.near_obstacle_max_speed;
  }
  double obstacle_scale = kUnusedScale;
  bool welt = false;
  near_obstacle = judge_->isPathNearObstacle(path, obstacle_scale, welt, params);
  if (move_backward) {
    return backwardValue(path, planner_id);
  }
  return forwardValue(path, planner_id, near_obstacle, obstacle_scale, welt, params);
}

double SpeedLimitValue::backwardValue(const nav_msgs::msg::Path& path,
                                      const std::string& planner_id) {
  double base = planner_id == local_keys::kForceBackward ? settings_.lift_out_max_speed
                                                         : settings_.backward_max_speed;
  if (judge_->inNarrowPassage(path)) {
    base = std::min(settings_.in_narrow_passage_max_speed, base);
    traceLine(trace_logger_,
              "[getSpeedLimitPercent] move_backward in narrow passage, speed limited to {}", base);
  }
  return base;
}

double SpeedLimitValue::forwardValue(const nav_msgs::msg::Path& path, const std::string& planner_id,
                                     bool near_obstacle, double obstacle_scale, bool welt,
                                     const SpeedLimitParams& params) {
  const bool grid_search =
      planner_id == local_keys::kDijkstra || planner_id == local_keys::kDijkstraGoalZone;
  // Every other key, known or not, is judged as a cleaning planner.
  const double base = grid_search ? params.point_nav_max_speed : params.non_welt_clean_max_speed;
  double away_scale = kUnusedScale;
  double curve_scale = kUnusedScale;
  double milk_scale = kUnusedScale;
  double turn_scale = kUnusedScale;
  double people_scale = kUnusedScale;
  double feature_scale = kUnusedScale;
  const bool away = judge_->isAwayFromPath(path, away_scale, params);
  const bool curve = judge_->isCurvLarge(path, curve_scale, params);
  const bool milk = judge_->isNearMilk(path, grid_search, milk_scale, params);
  const bool turn = judge_->isBigTurn(path, turn_scale, params);
  const bool people = judge_->isPathNearPeople(path, grid_search, people_scale, params);
  const bool feature = settings_.is_use_trajectory_collision &&
                       judge_->isFeatureCollision(path, feature_scale, params);
  const bool narrow = judge_->inNarrowPassage(path);
  const double narrow_cap = narrow ? settings_.in_narrow_passage_max_speed : base;

  promptBigTurn(
      grid_search || (settings_.clean_mode_need_audio && (settings_.welt_mode_need_audio || !welt)),
      turn);
  holdMilk(milk);
  // The milk, turn and people scales are reported but do not lower the value.
  const double value = std::min(
      {feature_scale, narrow_cap, base, kFullSpeed, curve_scale, obstacle_scale, away_scale});

  traceLine(trace_logger_,
            "[getSpeedLimitPercent]robot_away_from_path:{}, path_near_obstacle:{}, "
            "path_curve_large:{}",
            away, near_obstacle, curve);
  traceLine(trace_logger_,
            "[getSpeedLimitPercent]path_near_milk:{}, path_is_big_turn:{}, path_is_near_people:{}",
            milk, turn, people);
  traceLine(trace_logger_,
            "[getSpeedLimitPercent]is feature collision: {}, feature collision scale: {}", feature,
            feature_scale);
  traceLine(trace_logger_,
            "[getSpeedLimitPercent]path_point_num:{}, plannning id: {}, speed value: {}",
            path.poses.size(), planner_id, value);
  traceLine(trace_logger_, "[getSpeedLimitPercent]in_narrow_passage is {},speed value: {}", narrow,
            value);
  return value;
}

void SpeedLimitValue::promptBigTurn(bool considered, bool big_turn) {
  if (!considered || !big_turn) {
    turn_speak_countdown_ = std::max(0, turn_speak_countdown_ - 1);
    return;
  }
  if (turn_speak_countdown_ >= 1) {
    traceLine(trace_logger_, "Speaked the turn last time, this time is not speak !");
    turn_speak_countdown_ = std::max(0, turn_speak_countdown_ - 1);
    return;
  }
  traceLine(trace_logger_, "Attention please, there is a big turn !!!!!!!!!!!");
  vantrell_protocol::msg::RobotEvent event;
  rclcpp::Clock clock(RCL_SYSTEM_TIME);
  event.stamp = clock.now();
  event.event_type = codes::kPromptEventType;
  event.event_code = codes::kBigTurnEvent;
  communicator_->getRobotEventUnit()->publishRobotEvent(event);
  turn_speak_countdown_ = settings_.two_speaker_nead_time;
}

void SpeedLimitValue::holdMilk(bool milk) {
  if (milk) {
    milk_limit_count_ = 0;
    milk_limit_active_ = true;
    return;
  }
  if (!milk_limit_active_) {
    return;
  }
  // While the hold lasts the milk scale would stay at the milk speed; like the scale of a
  // milk cycle itself, it takes no part in the value.
  ++milk_limit_count_;
  if (milk_limit_count_ >= settings_.need_milk_limit_time) {
    milk_limit_active_ = false;
    milk_limit_count_ = 0;
  }
}

}  // namespace planning
