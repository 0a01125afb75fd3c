#ifndef VANTRELL_NAV2_SMOOTHER__PATH_STRETCH_HPP_
#define VANTRELL_NAV2_SMOOTHER__PATH_STRETCH_HPP_

#include <cstddef>
#include <optional>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "vec2.hpp"

namespace vantrell_nav2_smoother {

// The first part of a path, resampled evenly: the points lie `step` apart
// along the original polyline, from its first pose to exactly `length`
// metres along it (or its end).
struct PathStretch {
  std::vector<Vec2> points;
  // Distance along the path from the first point, per point.
  std::vector<double> arc;
  // The first original pose that lies beyond the stretch.
  size_t tail_begin{0};
};

// Nothing when the stretch would hold more than `max_points` points.
std::optional<PathStretch> cutAndResample(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                          double length, double step, size_t max_points);

}  // namespace vantrell_nav2_smoother

#endif  // VANTRELL_NAV2_SMOOTHER__PATH_STRETCH_HPP_
