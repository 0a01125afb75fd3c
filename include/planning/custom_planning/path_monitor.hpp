#ifndef PLANNING__CUSTOM_PLANNING__PATH_MONITOR_HPP_
#define PLANNING__CUSTOM_PLANNING__PATH_MONITOR_HPP_

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning/custom_planning/path_metrics.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/transform_listener.h"
#include "vantrell_communicator/communicator_engine.hpp"

namespace planning {
namespace custom_planning {
namespace testing {
class PathMonitorProbe;
}  // namespace testing

/**
 * Motion watchdog of the custom planning node. Keeps bounded histories of
 * the velocity commands ("/cmd_vel"), the local paths
 * ("/vantrell_nav2_planning/local_planning_path") and the robot pose (tf),
 * and once a second, while "task_mode" is one of the wanted run modes, looks
 * for abnormal motion: rotation or forward oscillation, long backward
 * driving, repeated flips of the rotation direction, repeated path changes,
 * a robot that does not move. A finding is logged with error 101100034 at
 * most once per "event_publish_interval" and may ask the communicator for a
 * diagnostic recording, at once or after "trigger_delay_time" minutes.
 *
 * The monitor only refers to its node weakly: the node owns the monitor, and
 * the monitor's subscriptions, timers and tf thread go with it. All callbacks
 * run in the node's default callback group, so none overlaps another; they
 * hold the monitor weakly, so that a configure replacing it from another
 * thread waits for no callback and frees none under it.
 */
class PathMonitor : public std::enable_shared_from_this<PathMonitor> {
  // Only create() builds a monitor: its callbacks need it owned by a shared pointer.
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  /// Reads the parameters, sets up tf, and then starts the subscriptions and the tick. Throws
  /// std::invalid_argument when the node is gone.
  static std::shared_ptr<PathMonitor> create(
      const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node);

  /// Everything but the subscriptions and the timers; reached through create() only.
  PathMonitor(ConstructionKey key, const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node);
  PathMonitor(const PathMonitor&) = delete;
  PathMonitor& operator=(const PathMonitor&) = delete;

  void cmd_vel_callback(std::shared_ptr<geometry_msgs::msg::Twist> msg);
  void local_path_callback(std::shared_ptr<nav_msgs::msg::Path> msg);
  /// Samples the robot pose from tf into the pose history (at most one sample a second).
  void update_robot_pose();
  /// Drops up to `count` oldest samples of both velocity histories.
  void clear_vel_history(int count);

  /// The once-a-second tick: checks and the paced report.
  void timer_callback();
  /// 0, or 1 rotation oscillation, 2 forward oscillation, 3 long backward, 4 direction flips.
  int check_robot_motion_anomaly();
  /// Rotation-direction flips inside the low-speed runs of the velocity history.
  int check_dir_change_time();
  /// 0, or 5 when the recent local paths changed or turned against the robot too often.
  int check_path_anomaly();
  /// 0, or 6 when the robot stayed within "pose_stable_tolerance" for the whole pose history.
  int check_pose_stable();
  /// Asks for a recording named "abnormal_path_" + style, now or after the delay.
  void pub_trigger_msg(std::string style);

  /// Style name of an anomaly code ("motion_normal" for 0 and unknown codes).
  static std::string styleName(int code);

 private:
  friend class testing::PathMonitorProbe;

  void declareParameters(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node);
  void startListening(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node);
  void clearPathHistories();
  rclcpp::Time now() const;
  void requestRecording(const std::string& style);

  std::mutex history_mutex_;
  std::string param_prefix_;
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_weak_;
  rclcpp::Clock::SharedPtr clock_;
  std::deque<nav_msgs::msg::Path> local_paths_;
  std::deque<double> linear_vel_history_;
  std::deque<double> angular_vel_history_;
  std::deque<double> path_angle_history_;
  std::deque<double> path_diff_history_;
  std::deque<double> path_speed_history_;
  std::deque<std::pair<double, double>> pose_history_;
  double latest_linear_vel_{0.0};
  rclcpp::Time last_trigger_time_;
  rclcpp::Time last_cmd_vel_time_;
  rclcpp::Time last_pose_time_;

  double event_publish_interval_{30.0};
  double path_time_out_{1.5};
  double path_compare_length_{1.5};
  double path_compare_diff_tolerance_{0.5};
  double path_robot_diff_angle_{90.0};
  bool compare_three_path_{false};
  bool use_angle_judge_{false};
  bool trigger_pkg_record_{true};
  int trigger_delay_time_{1};
  int vel_history_size_{80};
  int dir_dif_history_size_{5};
  int pose_history_size_{60};
  bool debug_flag_{false};
  int dir_change_tolerance_time_{3};
  int64_t task_mode_{-1};
  std::vector<int64_t> run_mode_desired_{201};
  double back_count_tolerance_scale_{0.7};
  double back_forward_tolerance_scale_{0.25};
  double rotate_inverse_tolerance_scale_{0.33};
  double pose_stable_tolerance_{1.0};

  std::shared_ptr<rclcpp::Subscription<nav_msgs::msg::Path>> local_path_sub_;
  std::shared_ptr<rclcpp::Subscription<geometry_msgs::msg::Twist>> cmd_vel_sub_;
  std::shared_ptr<rclcpp::TimerBase> monitor_timer_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  std::shared_ptr<tf2_ros::TransformListener> tf_listener_;
  geometry_msgs::msg::PoseStamped robot_pose_;
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_;
  std::shared_ptr<rclcpp::TimerBase> trigger_timer_;
};

}  // namespace custom_planning
}  // namespace planning

#endif  // PLANNING__CUSTOM_PLANNING__PATH_MONITOR_HPP_
