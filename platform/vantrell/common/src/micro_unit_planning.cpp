#include "vantrell_communicator/micro_unit_planning.hpp"

namespace vantrell_communicator {
namespace {
constexpr size_t kDepth = 10;
}  // namespace

MicroUnitPlanning::MicroUnitPlanning(rclcpp::Node& node)
    : global_path_(node, "communicator/global_path", kDepth),
      cropped_global_path_(node, "communicator/cropped_global_path", kDepth),
      dynamic_global_path_(node, "communicator/dynamic_global_path", kDepth),
      local_path_(node, "communicator/local_path", kDepth),
      contour_path_(node, "communicator/contour_path", kDepth),
      connective_area_(node, "communicator/connective_area", kDepth),
      contour_(node, "communicator/contour", kDepth),
      clean_coverage_(node, "communicator/clean_coverage", kDepth),
      wait_for_dynamic_obstacle_(node, "communicator/wait_for_dynamic_obstacle", kDepth),
      covered_points_(node, "communicator/covered_points", kDepth),
      covered_path_(node, "communicator/covered_path", kDepth) {}

void MicroUnitPlanning::publishGlobalPath(const vantrell_nav2_protocol::msg::MultiPaths& paths) {
  global_path_.publish(paths);
}

void MicroUnitPlanning::publishCroppedGlobalPath(
    const vantrell_nav2_protocol::msg::MultiPaths& paths) {
  cropped_global_path_.publish(paths);
}

void MicroUnitPlanning::publishDynamicGlobalPath(
    const vantrell_nav2_protocol::msg::MultiPaths& paths) {
  dynamic_global_path_.publish(paths);
}

void MicroUnitPlanning::publishLocalPath(const nav_msgs::msg::Path& path) {
  local_path_.publish(path);
}

void MicroUnitPlanning::publishContourPath(const nav_msgs::msg::Path& path) {
  contour_path_.publish(path);
}

void MicroUnitPlanning::publishConnectiveArea(const visualization_msgs::msg::Marker& marker) {
  connective_area_.publish(marker);
}

void MicroUnitPlanning::publishContour(const geometry_msgs::msg::Polygon& polygon) {
  contour_.publish(polygon);
}

void MicroUnitPlanning::triggerCleanCoverage(bool start, int path_overlap, int coverage_width) {
  vantrell_protocol::msg::CleanCoverageTrigger trigger;
  trigger.start = start;
  trigger.path_overlap = path_overlap;
  trigger.coverage_width = coverage_width;
  clean_coverage_.publish(trigger);
}

void MicroUnitPlanning::publishWaitForDynamicObstacle(const std_msgs::msg::Int8& state) {
  wait_for_dynamic_obstacle_.publish(state);
}

void MicroUnitPlanning::publishCoveredPoints(const vantrell_protocol::msg::CoveredPoints& points) {
  covered_points_.publish(points);
}

void MicroUnitPlanning::publishCoveredPath(
    const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  nav_msgs::msg::Path path;
  if (!poses.empty()) {
    path.header = poses.front().header;
  }
  path.poses = poses;
  covered_path_.publish(path);
}

}  // namespace vantrell_communicator
