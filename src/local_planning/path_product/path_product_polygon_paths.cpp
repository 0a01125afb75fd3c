// Paths built from polygons, and the cut before a sharp turn.

#include <cmath>
#include <vector>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/path_product.hpp"
#include "rclcpp/clock.hpp"

namespace planning {

using geometry_msgs::msg::PoseStamped;

namespace {

// How far outside the polygon's centre the approach starts, metres.
constexpr double kApproachLength = 4.5;
// cutSharp leaves paths shorter than this alone, metres.
constexpr double kShortestCutPath = 1.5;
// cutSharp looks for the turn only this far along the path, metres.
constexpr double kCutSearchLength = 2.0;

vantrell_nav2_protocol::msg::Path emptyProtocolPath() {
  vantrell_nav2_protocol::msg::Path result;
  result.nav_path.header.stamp.sec = 0;
  result.nav_path.header.stamp.nanosec = 0;
  result.nav_path.header.frame_id.clear();
  result.tolerance = 0.0f;
  result.move_backward = false;
  result.check_blocked = false;
  result.path_type = 0;
  return result;
}

}  // namespace

vantrell_nav2_protocol::msg::Path PathProduct::generatePathFromPolygon(
    double resolution, const geometry_msgs::msg::Polygon& polygon) const {
  vantrell_nav2_protocol::msg::Path result = emptyProtocolPath();
  if (polygon.points.size() < 4) {
    LOG_ERROR("PathProduct::generatePathFromPolygon Polygon must have at least 4 points.");
    return result;
  }
  const auto& p0 = polygon.points[0];
  const auto& p1 = polygon.points[1];
  const auto& p2 = polygon.points[2];
  const auto& p3 = polygon.points[3];

  // The side and the centre are taken in the points' own single precision.
  const float side_x = p2.x - p3.x;
  const float side_y = p2.y - p3.y;
  const double dx = side_x;
  const double dy = side_y;
  const double len = std::hypot(dx, dy);
  if (len <= 0.0) {
    LOG_WARN("PathProduct::generatePathFromPolygon Points A and B are the same, cannot extend.");
    return result;
  }
  const float sum_x = ((p3.x + p2.x) + p1.x) + p0.x;
  const float sum_y = ((p3.y + p2.y) + p1.y) + p0.y;
  const double centre_x = 0.25 * static_cast<double>(sum_x);
  const double centre_y = 0.25 * static_cast<double>(sum_y);
  const double start_x = centre_x + kApproachLength * (dx / len);
  const double start_y = centre_y + kApproachLength * (dy / len);

  if (!(resolution > 0.0)) {
    LOG_ERROR("PathProduct::generatePathFromPolygon resolution must be positive, resolution is {}",
              resolution);
    return result;
  }

  int n = 0;
  if (!geometry::truncatedCount(std::hypot(start_x - centre_x, start_y - centre_y) / resolution,
                                n)) {
    LOG_ERROR(
        "PathProduct::generatePathFromPolygon polygon has no finite centre or side, "
        "no path built");
    return result;
  }

  PoseStamped pose;
  pose.header.frame_id = "map";
  pose.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  pose.pose.position.z = 0.0;
  pose.pose.orientation.x = 0.0;
  pose.pose.orientation.y = 0.0;
  pose.pose.orientation.z = 0.0;
  pose.pose.orientation.w = 1.0;
  if (n == 0) {
    // The step reaches past the whole approach: 0 / 0 would name no place, the
    // centre is where the path has to end.
    pose.pose.position.x = centre_x;
    pose.pose.position.y = centre_y;
    result.nav_path.poses.push_back(pose);
  }
  for (int k = 0; n > 0 && k <= n; ++k) {
    const double fraction = static_cast<double>(k) / n;
    pose.pose.position.x = start_x + fraction * (centre_x - start_x);
    pose.pose.position.y = start_y + fraction * (centre_y - start_y);
    result.nav_path.poses.push_back(pose);
  }
  result.tolerance = 0.2f;
  return result;
}

bool PathProduct::cutSharp(std::vector<PoseStamped>& poses, double turn_limit, double spacing,
                           double window_length) const {
  const size_t size = poses.size();
  if (size < 2) {
    return false;
  }
  double length = 0.0;
  for (size_t i = 0; i + 1 < size; ++i) {
    length += base_robot_.calDistance(poses[i + 1], poses[i]);
  }
  if (length < kShortestCutPath) {
    return false;
  }
  int window = 0;
  if (!geometry::truncatedCount(window_length / spacing, window) || window < 1 ||
      2 * static_cast<size_t>(window) >= size) {
    return false;
  }
  const size_t n = static_cast<size_t>(window);

  double walked = 0.0;
  double sharpest = 0.0;
  long sharpest_index = -1;
  for (size_t i = n;; ++i) {
    const double heading_in = geometry::headingBetween(poses[i - n], poses[i]);
    const double heading_out = geometry::headingBetween(poses[i], poses[i + n]);
    walked += base_robot_.calDistance(poses[i], poses[i - 1]);
    const double turn = std::fabs(base_robot_.calDelAngle(heading_in, heading_out));
    if (turn > sharpest) {
      sharpest = turn;
      sharpest_index = static_cast<long>(i);
    }
    if (walked > kCutSearchLength || i + 1 >= size - n) {
      break;
    }
  }

  if (sharpest_index > 0 && sharpest > turn_limit) {
    LOG_WARN("PathProduct::cutSharp erase the path, index is {} !!!", sharpest_index);
    poses.erase(poses.begin() + sharpest_index, poses.end());
    return true;
  }
  return false;
}

}  // namespace planning
