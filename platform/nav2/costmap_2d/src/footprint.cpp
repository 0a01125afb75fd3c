#include "nav2_costmap_2d/footprint.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace nav2_costmap_2d {

namespace {

// Distance from the origin to the segment a-b.
double distanceToSegment(const geometry_msgs::msg::Point& a, const geometry_msgs::msg::Point& b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length_sq = dx * dx + dy * dy;
  double t = 0.0;
  if (length_sq > 0.0) {
    t = std::clamp(-(a.x * dx + a.y * dy) / length_sq, 0.0, 1.0);
  }
  return std::hypot(a.x + t * dx, a.y + t * dy);
}

}  // namespace

void calculateMinAndMaxDistances(const std::vector<geometry_msgs::msg::Point>& footprint,
                                 double& min_dist, double& max_dist) {
  if (footprint.empty()) {
    min_dist = 0.0;
    max_dist = 0.0;
    return;
  }
  min_dist = std::numeric_limits<double>::max();
  max_dist = 0.0;
  for (size_t i = 0; i < footprint.size(); ++i) {
    const auto& a = footprint[i];
    const auto& b = footprint[(i + 1) % footprint.size()];
    const double vertex_dist = std::hypot(a.x, a.y);
    min_dist = std::min(min_dist, std::min(vertex_dist, distanceToSegment(a, b)));
    max_dist = std::max(max_dist, vertex_dist);
  }
}

geometry_msgs::msg::Point32 toPoint32(geometry_msgs::msg::Point pt) {
  geometry_msgs::msg::Point32 point32;
  point32.x = static_cast<float>(pt.x);
  point32.y = static_cast<float>(pt.y);
  point32.z = static_cast<float>(pt.z);
  return point32;
}

geometry_msgs::msg::Point toPoint(geometry_msgs::msg::Point32 pt) {
  geometry_msgs::msg::Point point;
  point.x = pt.x;
  point.y = pt.y;
  point.z = pt.z;
  return point;
}

geometry_msgs::msg::Polygon toPolygon(const std::vector<geometry_msgs::msg::Point> pts) {
  geometry_msgs::msg::Polygon polygon;
  polygon.points.reserve(pts.size());
  for (const auto& pt : pts) {
    polygon.points.push_back(toPoint32(pt));
  }
  return polygon;
}

std::vector<geometry_msgs::msg::Point> toPointVector(
    geometry_msgs::msg::Polygon::SharedPtr polygon) {
  std::vector<geometry_msgs::msg::Point> pts;
  if (!polygon) {
    return pts;
  }
  pts.reserve(polygon->points.size());
  for (const auto& pt : polygon->points) {
    pts.push_back(toPoint(pt));
  }
  return pts;
}

void transformFootprint(double x, double y, double theta,
                        const std::vector<geometry_msgs::msg::Point>& footprint_spec,
                        std::vector<geometry_msgs::msg::Point>& oriented_footprint) {
  oriented_footprint.clear();
  oriented_footprint.reserve(footprint_spec.size());
  const double cos_th = std::cos(theta);
  const double sin_th = std::sin(theta);
  for (const auto& pt : footprint_spec) {
    geometry_msgs::msg::Point moved;
    moved.x = x + (pt.x * cos_th - pt.y * sin_th);
    moved.y = y + (pt.x * sin_th + pt.y * cos_th);
    oriented_footprint.push_back(moved);
  }
}

}  // namespace nav2_costmap_2d
