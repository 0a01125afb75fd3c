#ifndef TESTS__SUPPORT__SHAPES_HPP_
#define TESTS__SUPPORT__SHAPES_HPP_

#include <string>

#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/geometry.hpp"

// Poses, points and rectangles in the map frame, as tests write them.
namespace test_support {

inline geometry_msgs::msg::PoseStamped pose(double x, double y, double yaw = 0.0,
                                            const std::string& frame = "map") {
  return planning::geometry::planarPose(x, y, yaw, frame);
}

inline geometry_msgs::msg::Point32 point32(double x, double y) {
  geometry_msgs::msg::Point32 made;
  made.x = static_cast<float>(x);
  made.y = static_cast<float>(y);
  return made;
}

// The rectangle [x0, x1] x [y0, y1], corners counter-clockwise from (x0, y0).
inline geometry_msgs::msg::Polygon box(double x0, double y0, double x1, double y1) {
  geometry_msgs::msg::Polygon polygon;
  polygon.points = {point32(x0, y0), point32(x1, y0), point32(x1, y1), point32(x0, y1)};
  return polygon;
}

}  // namespace test_support

#endif  // TESTS__SUPPORT__SHAPES_HPP_
