#ifndef CUSTOM_PLANNING__PATH_MONITOR__PATH_MONITOR_PROBE_HPP_
#define CUSTOM_PLANNING__PATH_MONITOR__PATH_MONITOR_PROBE_HPP_

#include <deque>
#include <memory>
#include <utility>

#include "planning/custom_planning/path_monitor.hpp"

namespace planning {
namespace custom_planning {
namespace testing {

// Reads the monitor's histories and reaches its tf buffer, for tests only.
class PathMonitorProbe {
 public:
  explicit PathMonitorProbe(PathMonitor& monitor) : monitor_(monitor) {}

  const std::deque<nav_msgs::msg::Path>& localPaths() const { return monitor_.local_paths_; }
  const std::deque<double>& linear() const { return monitor_.linear_vel_history_; }
  const std::deque<double>& angular() const { return monitor_.angular_vel_history_; }
  const std::deque<double>& pathAngles() const { return monitor_.path_angle_history_; }
  const std::deque<double>& pathDiffs() const { return monitor_.path_diff_history_; }
  const std::deque<double>& pathSpeeds() const { return monitor_.path_speed_history_; }
  const std::deque<std::pair<double, double>>& poses() const { return monitor_.pose_history_; }
  const geometry_msgs::msg::PoseStamped& robotPose() const { return monitor_.robot_pose_; }
  tf2_ros::Buffer& tfBuffer() const { return *monitor_.tf_buffer_; }
  bool triggerWaiting() const {
    return monitor_.trigger_timer_ && !monitor_.trigger_timer_->is_canceled();
  }

 private:
  PathMonitor& monitor_;
};

}  // namespace testing
}  // namespace custom_planning
}  // namespace planning

#endif  // CUSTOM_PLANNING__PATH_MONITOR__PATH_MONITOR_PROBE_HPP_
