#ifndef VANTRELL_COMMUNICATOR__MICRO_UNIT_PLANNING_HPP_
#define VANTRELL_COMMUNICATOR__MICRO_UNIT_PLANNING_HPP_

#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/int8.hpp"
#include "vantrell_communicator/topic_outlet.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"
#include "vantrell_protocol/msg/clean_coverage_trigger.hpp"
#include "vantrell_protocol/msg/covered_points.hpp"
#include "visualization_msgs/msg/marker.hpp"

namespace vantrell_communicator {
namespace testing {
class CommunicatorProbe;
}  // namespace testing

/**
 * The planning unit: hands paths, contours, coverage state and covered points
 * to the rest of the robot. Every call publishes at once on the unit's topic
 * (names relative to the communicator node, see the package README).
 */
class MicroUnitPlanning {
 public:
  explicit MicroUnitPlanning(rclcpp::Node& node);

  /// A planned global path set ("communicator/global_path").
  void publishGlobalPath(const vantrell_nav2_protocol::msg::MultiPaths& paths);
  /// The global path set a local planner works on ("communicator/cropped_global_path").
  void publishCroppedGlobalPath(const vantrell_nav2_protocol::msg::MultiPaths& paths);
  /// Path sets tried while approaching a contour ("communicator/dynamic_global_path").
  void publishDynamicGlobalPath(const vantrell_nav2_protocol::msg::MultiPaths& paths);
  /// The local path given to the motion controller ("communicator/local_path").
  void publishLocalPath(const nav_msgs::msg::Path& path);
  /// The path along the contour being cleaned ("communicator/contour_path").
  void publishContourPath(const nav_msgs::msg::Path& path);
  /// The cells searched by a lift check ("communicator/connective_area").
  void publishConnectiveArea(const visualization_msgs::msg::Marker& marker);
  /// One zone to clean ("communicator/contour").
  void publishContour(const geometry_msgs::msg::Polygon& polygon);
  /// Starts (or stops) the cleaning devices ("communicator/clean_coverage").
  void triggerCleanCoverage(bool start, int path_overlap, int coverage_width);
  /// The robot waits for a dynamic obstacle ("communicator/wait_for_dynamic_obstacle").
  void publishWaitForDynamicObstacle(const std_msgs::msg::Int8& state);
  /// Covered points and what remains of a task ("communicator/covered_points").
  void publishCoveredPoints(const vantrell_protocol::msg::CoveredPoints& points);
  /// The covered poses of a task as one path ("communicator/covered_path"); the
  /// path takes the frame of the first pose.
  void publishCoveredPath(const std::vector<geometry_msgs::msg::PoseStamped>& poses);

 private:
  friend class testing::CommunicatorProbe;

  TopicOutlet<vantrell_nav2_protocol::msg::MultiPaths> global_path_;
  TopicOutlet<vantrell_nav2_protocol::msg::MultiPaths> cropped_global_path_;
  TopicOutlet<vantrell_nav2_protocol::msg::MultiPaths> dynamic_global_path_;
  TopicOutlet<nav_msgs::msg::Path> local_path_;
  TopicOutlet<nav_msgs::msg::Path> contour_path_;
  TopicOutlet<visualization_msgs::msg::Marker> connective_area_;
  TopicOutlet<geometry_msgs::msg::Polygon> contour_;
  TopicOutlet<vantrell_protocol::msg::CleanCoverageTrigger> clean_coverage_;
  TopicOutlet<std_msgs::msg::Int8> wait_for_dynamic_obstacle_;
  TopicOutlet<vantrell_protocol::msg::CoveredPoints> covered_points_;
  TopicOutlet<nav_msgs::msg::Path> covered_path_;
};

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__MICRO_UNIT_PLANNING_HPP_
