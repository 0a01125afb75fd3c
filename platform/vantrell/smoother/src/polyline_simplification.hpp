#ifndef VANTRELL_NAV2_SMOOTHER__POLYLINE_SIMPLIFICATION_HPP_
#define VANTRELL_NAV2_SMOOTHER__POLYLINE_SIMPLIFICATION_HPP_

#include <cstddef>
#include <vector>

#include "vec2.hpp"

namespace vantrell_nav2_smoother {

// Douglas-Peucker: the indices of the points kept, first and last included,
// such that every dropped point lies within `tolerance` of the segment
// between the kept points around it. Fewer than two points are all kept.
std::vector<size_t> simplifyPolyline(const std::vector<Vec2>& points, double tolerance);

// The largest distance of points first+1 .. last-1 from the segment first-last.
double largestDeviation(const std::vector<Vec2>& points, size_t first, size_t last,
                        size_t* farthest = nullptr);

}  // namespace vantrell_nav2_smoother

#endif  // VANTRELL_NAV2_SMOOTHER__POLYLINE_SIMPLIFICATION_HPP_
