#include "polyline_simplification.hpp"

#include <algorithm>
#include <utility>

namespace vantrell_nav2_smoother {

double largestDeviation(const std::vector<Vec2>& points, size_t first, size_t last,
                        size_t* farthest) {
  double largest = 0.0;
  for (size_t i = first + 1; i < last; ++i) {
    const double d = segmentDistance(points[i], points[first], points[last]);
    if (d > largest) {
      largest = d;
      if (farthest != nullptr) {
        *farthest = i;
      }
    }
  }
  return largest;
}

std::vector<size_t> simplifyPolyline(const std::vector<Vec2>& points, double tolerance) {
  std::vector<size_t> kept;
  if (points.size() < 2) {
    for (size_t i = 0; i < points.size(); ++i) {
      kept.push_back(i);
    }
    return kept;
  }
  std::vector<bool> keep(points.size(), false);
  keep.front() = true;
  keep.back() = true;
  // An explicit stack: a long path must not run the call stack out.
  std::vector<std::pair<size_t, size_t>> pending{{0, points.size() - 1}};
  while (!pending.empty()) {
    const auto [first, last] = pending.back();
    pending.pop_back();
    size_t farthest = first;
    if (largestDeviation(points, first, last, &farthest) > tolerance) {
      keep[farthest] = true;
      pending.emplace_back(first, farthest);
      pending.emplace_back(farthest, last);
    }
  }
  for (size_t i = 0; i < points.size(); ++i) {
    if (keep[i]) {
      kept.push_back(i);
    }
  }
  return kept;
}

}  // namespace vantrell_nav2_smoother
