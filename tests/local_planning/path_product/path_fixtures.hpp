#ifndef LOCAL_PLANNING__PATH_PRODUCT__PATH_FIXTURES_HPP_
#define LOCAL_PLANNING__PATH_PRODUCT__PATH_FIXTURES_HPP_

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning/geometry.hpp"

namespace path_product_test {

inline geometry_msgs::msg::PoseStamped pose(double x, double y, double yaw = 0.0,
                                            const std::string& frame = "map") {
  // A stamp of its own, so that the toolbox is seen to carry stamps over.
  geometry_msgs::msg::PoseStamped p = planning::geometry::planarPose(x, y, yaw, frame);
  p.header.stamp.sec = 7;
  p.header.stamp.nanosec = 11;
  return p;
}

inline nav_msgs::msg::Path pathOf(const std::vector<std::pair<double, double>>& points) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  for (const auto& point : points) {
    path.poses.push_back(pose(point.first, point.second));
  }
  return path;
}

// `count` poses from (x0, y) along x, `spacing` apart (positions computed, not summed).
inline nav_msgs::msg::Path pathAlongX(double x0, double y, double spacing, int count) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  for (int i = 0; i < count; ++i) {
    path.poses.push_back(pose(x0 + spacing * i, y));
  }
  return path;
}

using planning::geometry::yawOf;

inline geometry_msgs::msg::Polygon polygonOf(const std::vector<std::pair<float, float>>& points) {
  geometry_msgs::msg::Polygon polygon;
  for (const auto& point : points) {
    geometry_msgs::msg::Point32 p;
    p.x = point.first;
    p.y = point.second;
    polygon.points.push_back(p);
  }
  return polygon;
}

}  // namespace path_product_test

#endif  // LOCAL_PLANNING__PATH_PRODUCT__PATH_FIXTURES_HPP_
