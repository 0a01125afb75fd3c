#include "planning/custom_planning/path_monitor.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "logger/logger.hpp"
#include "planning/codes.hpp"
#include "planning/geometry.hpp"
#include "tf2/exceptions.h"
#include "tf2/time.h"
#include "vantrell_nav2_base_class/parameter_helpers.hpp"

namespace planning {
namespace custom_planning {

namespace {

constexpr char kLocalPathTopic[] = "/vantrell_nav2_planning/local_planning_path";
constexpr char kCmdVelTopic[] = "/cmd_vel";
constexpr char kMapFrame[] = "map";
constexpr char kRobotFrame[] = "base_footprint";
constexpr char kRecordingModule[] = "vantrell_nav2_planning";
constexpr char kRecordingEventPrefix[] = "abnormal_path_";
constexpr size_t kKeptPaths = 3;
using geometry::kPi;

// Dead bands of the motion check.
constexpr double kMovingSpeed = 0.05;
constexpr double kLowSpeed = 0.15;
constexpr double kTurnRate = 0.3;
constexpr int kSteadyTurnSamples = 4;
constexpr int kShortestLowSpeedRun = 3;
constexpr int kDropAllSamples = 100;
// The path check.
constexpr double kPathCheckSpeed = 0.1;
constexpr int kChangesForAnomaly = 3;
// Pose sampling.
constexpr double kPoseSamplePeriod = 1.0;
constexpr double kPoseRestartGap = 10.0;
constexpr double kCmdVelRestartGap = 1.0;
// Longer delays than this are taken as this (about two years), far below any overflow.
constexpr int kLongestTriggerDelayMinutes = 1000000;

// A stamp as it came, also one before the epoch that rclcpp::Time refuses.
double stampSeconds(const builtin_interfaces::msg::Time& stamp) {
  return static_cast<double>(stamp.sec) + static_cast<double>(stamp.nanosec) * 1e-9;
}

// The monitor reads its heading from z and w alone, as a planar robot's orientation holds it.
double headingFromZW(const geometry_msgs::msg::Quaternion& q) {
  return std::atan2(2.0 * q.z * q.w, 1.0 - 2.0 * q.z * q.z);
}

int atLeastOne(const std::string& name, int value) {
  if (value < 1) {
    LOG_WARN("[PathMonitor] {} is {}, taken as 1", name, value);
    return 1;
  }
  return value;
}

}  // namespace

std::shared_ptr<PathMonitor> PathMonitor::create(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  auto monitor = std::make_shared<PathMonitor>(ConstructionKey(), node);
  monitor->startListening(node.lock());
  return monitor;
}

PathMonitor::PathMonitor(ConstructionKey /*key*/,
                         const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node)
    : param_prefix_("path_monitor_server."), node_weak_(node) {
  robot_pose_.pose.orientation.w = 1.0;
  const auto host = node_weak_.lock();
  if (!host) {
    throw std::invalid_argument("PathMonitor needs a living node");
  }
  clock_ = host->get_clock();
  last_trigger_time_ = now();
  last_cmd_vel_time_ = last_trigger_time_;
  last_pose_time_ = last_trigger_time_;
  declareParameters(host);

  communicator_ = vantrell_communicator::CommunicatorEngine::GetInstance();
  tf_buffer_ = std::make_shared<tf2_ros::Buffer>(clock_, tf2::durationFromSec(10.0));
  tf_listener_ = std::make_shared<tf2_ros::TransformListener>(*tf_buffer_);
}

// Last: a host may configure the node from another thread than the one spinning it, and a message
// or tick arriving from now on finds the times, parameters, tf and communicator set. A callback
// holds the monitor for its run only, so a monitor replaced meanwhile goes once it has returned.
void PathMonitor::startListening(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  if (!node) {
    throw std::invalid_argument("PathMonitor needs a living node");
  }
  const std::weak_ptr<PathMonitor> weak_self = weak_from_this();
  local_path_sub_ = node->create_subscription<nav_msgs::msg::Path>(
      kLocalPathTopic, rclcpp::QoS(1), [weak_self](std::shared_ptr<nav_msgs::msg::Path> msg) {
        if (const auto self = weak_self.lock()) {
          self->local_path_callback(std::move(msg));
        }
      });
  cmd_vel_sub_ = node->create_subscription<geometry_msgs::msg::Twist>(
      kCmdVelTopic, rclcpp::QoS(1), [weak_self](std::shared_ptr<geometry_msgs::msg::Twist> msg) {
        if (const auto self = weak_self.lock()) {
          self->cmd_vel_callback(std::move(msg));
        }
      });
  monitor_timer_ = node->create_wall_timer(std::chrono::seconds(1), [weak_self]() {
    if (const auto self = weak_self.lock()) {
      self->timer_callback();
    }
  });
}

void PathMonitor::declareParameters(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  const auto name = [this](const char* suffix) { return param_prefix_ + suffix; };
  event_publish_interval_ = declareAndGetParameter(node, name("event_publish_interval"), 30.0);
  path_time_out_ = declareAndGetParameter(node, name("path_time_out"), 1.5);
  path_compare_length_ = declareAndGetParameter(node, name("path_compare_length"), 1.5);
  path_compare_diff_tolerance_ =
      declareAndGetParameter(node, name("path_compare_diff_tolerance"), 0.5);
  path_robot_diff_angle_ = declareAndGetParameter(node, name("path_robot_diff_angle"), 90.0);
  compare_three_path_ = declareAndGetParameter(node, name("compare_three_path"), false);
  vel_history_size_ =
      atLeastOne("vel_history_size", declareAndGetParameter(node, name("vel_history_size"), 80));
  use_angle_judge_ = declareAndGetParameter(node, name("use_angle_judge"), false);
  trigger_pkg_record_ = declareAndGetParameter(node, name("trigger_pkg_record"), true);
  trigger_delay_time_ = std::min(declareAndGetParameter(node, name("trigger_delay_time"), 1),
                                 kLongestTriggerDelayMinutes);
  dir_dif_history_size_ = atLeastOne("dir_dif_history_size",
                                     declareAndGetParameter(node, name("dir_dif_history_size"), 5));
  pose_history_size_ =
      atLeastOne("pose_history_size", declareAndGetParameter(node, name("pose_history_size"), 60));
  pose_stable_tolerance_ = declareAndGetParameter(node, name("pose_stable_tolerance"), 1.0);
  dir_change_tolerance_time_ = declareAndGetParameter(node, name("dir_change_tolerance_time"), 3);
  debug_flag_ = declareAndGetParameter(node, name("debug_flag"), false);
  back_count_tolerance_scale_ =
      declareAndGetParameter(node, name("back_count_tolerance_scale"), 0.7);
  back_forward_tolerance_scale_ =
      declareAndGetParameter(node, name("back_forward_tolerance_scale"), 0.25);
  rotate_inverse_tolerance_scale_ =
      declareAndGetParameter(node, name("rotate_inverse_tolerance_scale"), 0.33);
  task_mode_ = declareAndGetParameter(node, "task_mode", -1);

  const std::string run_modes = name("run_mode_desired");
  if (!node->has_parameter(run_modes)) {
    node->declare_parameter(run_modes, rclcpp::ParameterValue(std::vector<int64_t>{201}));
  }
  run_mode_desired_ = node->get_parameter(run_modes).as_integer_array();
}

rclcpp::Time PathMonitor::now() const { return clock_->now(); }

void PathMonitor::cmd_vel_callback(std::shared_ptr<geometry_msgs::msg::Twist> msg) {
  latest_linear_vel_ = msg->linear.x;
  const rclcpp::Time stamp = now();
  const double gap = (stamp - last_cmd_vel_time_).seconds();

  std::lock_guard<std::mutex> lock(history_mutex_);
  if (gap >= kCmdVelRestartGap) {
    linear_vel_history_.clear();
    angular_vel_history_.clear();
  }
  linear_vel_history_.push_back(msg->linear.x);
  angular_vel_history_.push_back(msg->angular.z);
  last_cmd_vel_time_ = stamp;
  if (linear_vel_history_.size() > static_cast<size_t>(vel_history_size_)) {
    linear_vel_history_.pop_front();
    angular_vel_history_.pop_front();
  }
}

void PathMonitor::clear_vel_history(int count) {
  std::lock_guard<std::mutex> lock(history_mutex_);
  for (int i = 0; i < count && !linear_vel_history_.empty(); ++i) {
    linear_vel_history_.pop_front();
    angular_vel_history_.pop_front();
  }
}

void PathMonitor::clearPathHistories() {
  path_angle_history_.clear();
  path_speed_history_.clear();
  path_diff_history_.clear();
}

void PathMonitor::local_path_callback(std::shared_ptr<nav_msgs::msg::Path> msg) {
  if (msg->poses.size() < 2) {
    return;
  }
  if (!local_paths_.empty()) {
    if (std::abs(stampSeconds(msg->header.stamp) - stampSeconds(local_paths_.back().header.stamp)) >
        path_time_out_) {
      local_paths_.clear();
      clearPathHistories();
    }
  }
  local_paths_.push_back(*msg);
  if (local_paths_.size() > kKeptPaths) {
    local_paths_.pop_front();
  }
  if (local_paths_.size() < kKeptPaths) {
    return;
  }

  const nav_msgs::msg::Path& newest = local_paths_.back();
  const nav_msgs::msg::Path& previous = local_paths_[local_paths_.size() - 2];
  path_diff_history_.push_back(compare_paths(newest, previous, path_compare_length_));
  if (path_diff_history_.size() > static_cast<size_t>(dir_dif_history_size_)) {
    path_diff_history_.pop_front();
  }

  const size_t n = newest.poses.size();
  const size_t k = n <= 5 ? n - 1 : 5;
  const auto& from = newest.poses[0].pose.position;
  const auto& to = newest.poses[k].pose.position;
  const double direction = std::atan2(to.y - from.y, to.x - from.x);
  double angle = direction - headingFromZW(robot_pose_.pose.orientation);
  while (std::abs(angle) > kPi) {
    angle += angle < -kPi ? 2.0 * kPi : -2.0 * kPi;
  }
  path_angle_history_.push_back(angle);
  path_speed_history_.push_back(latest_linear_vel_);
  if (path_angle_history_.size() > static_cast<size_t>(dir_dif_history_size_)) {
    path_angle_history_.pop_front();
    path_speed_history_.pop_front();
  }
}

void PathMonitor::update_robot_pose() {
  geometry_msgs::msg::TransformStamped transform;
  try {
    transform = tf_buffer_->lookupTransform(kMapFrame, kRobotFrame, tf2::TimePointZero);
  } catch (const tf2::TransformException&) {
    return;
  }
  robot_pose_.header = transform.header;
  robot_pose_.pose.position.x = transform.transform.translation.x;
  robot_pose_.pose.position.y = transform.transform.translation.y;
  robot_pose_.pose.position.z = transform.transform.translation.z;
  robot_pose_.pose.orientation = transform.transform.rotation;

  const rclcpp::Time stamp = now();
  const double gap = (stamp - last_pose_time_).seconds();
  if (gap >= kPoseRestartGap) {
    pose_history_.clear();
  }
  if (gap >= kPoseSamplePeriod) {
    last_pose_time_ = stamp;
    pose_history_.emplace_back(robot_pose_.pose.position.x, robot_pose_.pose.position.y);
  }
  if (pose_history_.size() > static_cast<size_t>(pose_history_size_)) {
    pose_history_.pop_front();
  }
}

void PathMonitor::timer_callback() {
  {
    const auto node = node_weak_.lock();
    if (!node) {
      return;
    }
    const rclcpp::Parameter mode = node->get_parameter("task_mode");
    if (mode.get_type() != rclcpp::ParameterType::PARAMETER_INTEGER) {
      return;
    }
    task_mode_ = mode.as_int();
  }
  if (std::find(run_mode_desired_.begin(), run_mode_desired_.end(), task_mode_) ==
      run_mode_desired_.end()) {
    return;
  }

  update_robot_pose();
  const int motion = check_robot_motion_anomaly();
  const int path = check_path_anomaly();
  check_pose_stable();
  if (motion == 0 && path == 0) {
    return;
  }

  const rclcpp::Time stamp = now();
  const double elapsed = (stamp - last_trigger_time_).seconds();
  const std::string style = styleName(motion != 0 ? motion : path);
  if (std::abs(elapsed) > event_publish_interval_) {
    LOG_ERROR("ErrorCode: {}, [PathMonitor] detect abnormal path, Error style is {}",
              codes::kAbnormalPath, style);
    last_trigger_time_ = stamp;
    if (trigger_pkg_record_) {
      pub_trigger_msg(style);
    }
  } else {
    LOG_WARN("Path monitor detect path, it has been triggered recently!");
  }
}

int PathMonitor::check_robot_motion_anomaly() {
  if (linear_vel_history_.size() < static_cast<size_t>(vel_history_size_)) {
    return 0;
  }
  const int flips = check_dir_change_time();
  if (flips >= dir_change_tolerance_time_) {
    clear_vel_history(kDropAllSamples);
    if (debug_flag_) {
      LOG_INFO("Abnormal robot motion, rotate dir change time: {}", flips);
    }
    return 4;
  }

  int backward = 0;
  int forward = 0;
  int rotate = 0;
  int inverse = 0;
  for (size_t k = 0; k < linear_vel_history_.size(); ++k) {
    const double v = linear_vel_history_[k];
    const double a = angular_vel_history_[k];
    if (v < -kMovingSpeed) {
      ++backward;
    } else if (v > kMovingSpeed) {
      ++forward;
    }
    if (std::abs(v) < kLowSpeed) {
      if (a > kTurnRate) {
        ++rotate;
      } else if (a < -kTurnRate) {
        ++inverse;
      }
    }
  }

  const double n = static_cast<double>(vel_history_size_);
  const double turns_needed = rotate_inverse_tolerance_scale_ * n;
  const double swings_needed = back_forward_tolerance_scale_ * n;
  if (rotate >= turns_needed && inverse >= turns_needed) {
    if (debug_flag_) {
      LOG_INFO("Abnormal robot motion, rotate count: {}, inverse rotate count: {}", rotate,
               inverse);
    }
    clear_vel_history(kDropAllSamples);
    return 1;
  }
  if (backward >= swings_needed && forward >= swings_needed) {
    if (debug_flag_) {
      LOG_INFO("Abnormal robot motion, back count: {}, forward count: {}", backward, forward);
    }
    clear_vel_history(kDropAllSamples);
    return 2;
  }
  if (backward >= back_count_tolerance_scale_ * n) {
    if (debug_flag_) {
      LOG_INFO("Abnormal robot motion, long time backward: {}", backward);
    }
    clear_vel_history(kDropAllSamples);
    return 3;
  }
  return 0;
}

int PathMonitor::check_dir_change_time() {
  const size_t size = linear_vel_history_.size();
  if (size == 0 || size < static_cast<size_t>(vel_history_size_)) {
    return 0;
  }

  // Maximal runs of low-speed samples, as [first, last] indices.
  std::vector<std::pair<size_t, size_t>> runs;
  bool open = false;
  size_t first = 0;
  for (size_t k = 0; k < size; ++k) {
    const bool slow = std::abs(linear_vel_history_[k]) <= kLowSpeed;
    if (slow && !open) {
      open = true;
      first = k;
    } else if (!slow && open) {
      open = false;
      runs.emplace_back(first, k - 1);
    }
  }
  if (open) {
    runs.emplace_back(first, size - 1);
  }

  int flips = 0;
  for (const auto& [begin, end] : runs) {
    if (end - begin + 1 < static_cast<size_t>(kShortestLowSpeedRun)) {
      continue;
    }
    std::vector<int> directions;
    size_t group_begin = begin;
    for (size_t k = begin; k <= end; ++k) {
      const bool group_ends = k == end || angular_vel_history_[k + 1] != angular_vel_history_[k];
      if (!group_ends) {
        continue;
      }
      const double value = angular_vel_history_[k];
      if (k - group_begin + 1 >= static_cast<size_t>(kSteadyTurnSamples)) {
        if (value >= kTurnRate) {
          directions.push_back(1);
        } else if (value <= -kTurnRate) {
          directions.push_back(-1);
        }
      }
      group_begin = k + 1;
    }
    if (directions.empty()) {
      return flips;
    }
    for (size_t i = 1; i < directions.size(); ++i) {
      if (directions[i] != directions[i - 1]) {
        ++flips;
      }
    }
  }
  return flips;
}

int PathMonitor::check_path_anomaly() {
  if (path_diff_history_.empty() ||
      path_diff_history_.size() < static_cast<size_t>(dir_dif_history_size_)) {
    return 0;
  }
  const double angle_limit = path_robot_diff_angle_ * kPi / 180.0;
  int path_changes = 0;
  int dir_changes = 0;
  // The three per-path histories are pushed, trimmed and cleared together.
  for (size_t k = 0; k < path_diff_history_.size(); ++k) {
    if (std::abs(path_diff_history_[k]) > path_compare_diff_tolerance_) {
      ++path_changes;
    }
    if (std::abs(path_angle_history_[k]) > angle_limit &&
        std::abs(path_speed_history_[k]) > kPathCheckSpeed) {
      ++dir_changes;
    }
  }
  if (path_changes < kChangesForAnomaly && dir_changes < kChangesForAnomaly) {
    return 0;
  }
  if (debug_flag_) {
    LOG_INFO("Abnormal path change, path change time: {}, dir change time: {}", path_changes,
             dir_changes);
  }
  clearPathHistories();
  return 5;
}

int PathMonitor::check_pose_stable() {
  if (pose_history_.empty() || pose_history_.size() < static_cast<size_t>(pose_history_size_)) {
    return 0;
  }
  const auto& last = pose_history_.back();
  for (const auto& sample : pose_history_) {
    if (std::hypot(sample.first - last.first, sample.second - last.second) >
        pose_stable_tolerance_) {
      return 0;
    }
  }
  if (debug_flag_) {
    LOG_INFO("Abnormal motion, the robot is stable in one pose !");
  }
  pose_history_.clear();
  return 6;
}

void PathMonitor::requestRecording(const std::string& style) {
  communicator_->getErrCodeUnit()->publishActiveTriggerRosbag(kRecordingModule,
                                                              kRecordingEventPrefix + style);
}

void PathMonitor::pub_trigger_msg(std::string style) {
  if (style.empty()) {
    LOG_WARN("Error string is empty. Skipping timer creation.");
    return;
  }
  if (trigger_delay_time_ < 1) {
    LOG_INFO("Trigger delay time is 0. Executing ros bag record immediately.");
    requestRecording(style);
    return;
  }
  if (trigger_timer_ && !trigger_timer_->is_canceled()) {
    LOG_WARN("Communicator timer is already active. Skipping new timer creation.");
    return;
  }
  const auto node = node_weak_.lock();
  if (!node) {
    return;
  }
  // The timer belongs to this monitor and dies with it, so it holds the monitor
  // weakly: a strong reference back would keep the monitor (and its node) alive
  // forever.
  const std::weak_ptr<PathMonitor> weak_self = weak_from_this();
  trigger_timer_ =
      node->create_wall_timer(std::chrono::minutes(trigger_delay_time_), [weak_self, style]() {
        if (const auto self = weak_self.lock()) {
          self->requestRecording(style);
          LOG_INFO("Communicator called after 1-minute delay.");
          self->trigger_timer_->cancel();
        }
      });
}

std::string PathMonitor::styleName(int code) {
  switch (code) {
    case 1:
      return "rotation_oscillation";
    case 2:
      return "forward_oscillation";
    case 3:
      return "long_backward";
    case 4:
      return "dir_multiple_change";
    case 5:
      return "path_multiple_change";
    case 6:
      return "pose_stable";
    default:
      return "motion_normal";
  }
}

}  // namespace custom_planning
}  // namespace planning
