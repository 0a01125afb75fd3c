#include "path_stretch.hpp"

#include <algorithm>
#include <cmath>

namespace vantrell_nav2_smoother {
namespace {

// A last sample closer than this share of a step to the stretch's end is
// moved onto the end rather than followed by an almost equal point.
constexpr double kMergeShare = 1e-3;
// Original poses this close beyond the stretch's end are the end itself,
// whatever rounding made of their distance along the path.
constexpr double kSamePlace = 1e-9;

Vec2 positionOf(const geometry_msgs::msg::PoseStamped& pose) {
  return {pose.pose.position.x, pose.pose.position.y};
}

// Cumulative length along the poses, one value per pose.
std::vector<double> arcLengths(const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  std::vector<double> arc(poses.size(), 0.0);
  for (size_t i = 1; i < poses.size(); ++i) {
    arc[i] = arc[i - 1] + (positionOf(poses[i]) - positionOf(poses[i - 1])).norm();
  }
  return arc;
}

// The point `s` metres along the poses; `segment` only moves forward, so a
// run of growing distances costs one pass.
Vec2 pointAt(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
             const std::vector<double>& arc, double s, size_t& segment) {
  while (segment + 2 < poses.size() && arc[segment + 1] < s) {
    ++segment;
  }
  const Vec2 a = positionOf(poses[segment]);
  const Vec2 b = positionOf(poses[segment + 1]);
  const double length = arc[segment + 1] - arc[segment];
  const double t = length > 0.0 ? std::clamp((s - arc[segment]) / length, 0.0, 1.0) : 0.0;
  return a + (b - a) * t;
}

}  // namespace

std::optional<PathStretch> cutAndResample(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                          double length, double step, size_t max_points) {
  PathStretch stretch;
  if (poses.empty()) {
    return stretch;
  }
  const std::vector<double> arc = arcLengths(poses);
  const double end = std::min(arc.back(), length);
  if (end / step + 2.0 > static_cast<double>(max_points)) {
    return std::nullopt;
  }
  if (poses.size() == 1 || end <= 0.0) {
    stretch.points.push_back(positionOf(poses.front()));
    stretch.arc.push_back(0.0);
  } else {
    size_t segment = 0;
    const auto samples = static_cast<size_t>(std::floor(end / step));
    for (size_t k = 0; k <= samples; ++k) {
      const double s = static_cast<double>(k) * step;
      stretch.points.push_back(pointAt(poses, arc, s, segment));
      stretch.arc.push_back(s);
    }
    if (end - stretch.arc.back() <= kMergeShare * step && stretch.points.size() > 1) {
      stretch.points.pop_back();
      stretch.arc.pop_back();
    }
    stretch.points.push_back(pointAt(poses, arc, end, segment));
    stretch.arc.push_back(end);
  }
  stretch.tail_begin =
      static_cast<size_t>(std::upper_bound(arc.begin(), arc.end(), end + kSamePlace) - arc.begin());
  return stretch;
}

}  // namespace vantrell_nav2_smoother
