// Construction, and the operations that respace, densify and orient paths.

#include "planning/path_product.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"

namespace planning {

using geometry::headingBetween;
using geometry::yawToQuaternion;
using geometry_msgs::msg::PoseStamped;

namespace {

// Every inner pose takes the heading from its predecessor; the ends copy their
// neighbour's orientation.
void orientAlongPath(std::vector<PoseStamped>& poses) {
  const size_t m = poses.size();
  if (m < 2) {
    return;
  }
  for (size_t k = 1; k + 1 < m; ++k) {
    poses[k].pose.orientation = yawToQuaternion(headingBetween(poses[k - 1], poses[k]));
  }
  poses[0].pose.orientation = poses[1].pose.orientation;
  poses[m - 1].pose.orientation = poses[m - 2].pose.orientation;
}

// Whether `added` more poses fit into a path that holds `held` already; a refusal is a WARN in
// the name of `operation`.
bool fitsPath(const char* operation, size_t held, double added) {
  if (held <= PathProduct::kMaxFilledPoses &&
      added <= static_cast<double>(PathProduct::kMaxFilledPoses - held)) {
    return true;
  }
  LOG_WARN_FROM(operation, "PathProduct::{} needs {} more poses, a path holds at most {}",
                operation, added, PathProduct::kMaxFilledPoses);
  return false;
}

bool fitsFilledPath(size_t held, double added) { return fitsPath("fillPath", held, added); }

// A pose of the resampled path between the input poses: unstamped, unheaded.
PoseStamped resampledPose(double x, double y) {
  PoseStamped pose;
  pose.header.stamp.sec = 0;
  pose.header.stamp.nanosec = 0;
  pose.header.frame_id.clear();
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.position.z = 0.0;
  pose.pose.orientation.x = 0.0;
  pose.pose.orientation.y = 0.0;
  pose.pose.orientation.z = 0.0;
  pose.pose.orientation.w = 1.0;
  return pose;
}

// The single-precision chord from the anchor to a target, as the planners
// that consume resampled paths have always had it.
struct FloatChord {
  float dx;
  float dy;
  float length;
};

FloatChord floatChord(const PoseStamped& from, const PoseStamped& to) {
  FloatChord chord;
  chord.dx = static_cast<float>(to.pose.position.x - from.pose.position.x);
  chord.dy = static_cast<float>(to.pose.position.y - from.pose.position.y);
  chord.length = std::sqrt(chord.dx * chord.dx + chord.dy * chord.dy);
  return chord;
}

// At most how many poses resampling `input` at `step` makes: every chord gives one pose per
// step and one for what is left of it. Chords that are not finite end their loop at once and
// add nothing here.
double resampledPoseBound(const std::vector<PoseStamped>& input, float step) {
  double bound = 1.0;
  for (size_t i = 1; i < input.size(); ++i) {
    const float length = floatChord(input[i - 1], input[i]).length;
    if (std::isfinite(length)) {
      bound += static_cast<double>(length) / static_cast<double>(step) + 1.0;
    }
  }
  return bound;
}

}  // namespace

PathProduct::PathProduct() = default;

nav_msgs::msg::Path PathProduct::resamplePath(nav_msgs::msg::Path& path, float step) const {
  const auto& input = path.poses;
  if (input.size() < 2) {
    LOG_WARN("PathProduct::resamplePath is too short, path size is {}", input.size());
    return path;
  }
  // A step of zero or less would append the anchor again and again.
  if (!(step > 0.0f)) {
    LOG_WARN("PathProduct::resamplePath step must be positive, step is {}", step);
    return path;
  }
  if (!fitsPath("resamplePath", 0, resampledPoseBound(input, step))) {
    return path;
  }

  std::vector<PoseStamped> output;
  output.push_back(input.front());
  PoseStamped anchor = input.front();
  for (size_t i = 1; i < input.size(); ++i) {
    FloatChord chord = floatChord(anchor, input[i]);
    while (chord.length >= step) {
      const float ratio = step / chord.length;
      const float offset_x = chord.dx * ratio;
      const float offset_y = chord.dy * ratio;
      const double x = anchor.pose.position.x + offset_x;
      const double y = anchor.pose.position.y + offset_y;
      // A step below the spacing of doubles at these coordinates makes no
      // progress; stop rather than append the anchor forever.
      if (x == anchor.pose.position.x && y == anchor.pose.position.y) {
        break;
      }
      output.push_back(resampledPose(x, y));
      anchor = output.back();
      chord = floatChord(anchor, input[i]);
    }
    if (i + 1 == input.size()) {
      output.push_back(input[i]);
    }
  }

  if (output.size() == 2) {
    const auto orientation = yawToQuaternion(headingBetween(output[0], output[1]));
    output[0].pose.orientation = orientation;
    output[1].pose.orientation = orientation;
  } else {
    orientAlongPath(output);
  }
  path.poses = std::move(output);
  return path;
}

bool PathProduct::fillPath(const nav_msgs::msg::Path& in, double step,
                           nav_msgs::msg::Path& out) const {
  if (in.poses.empty()) {
    return false;
  }
  // The insertion loop only ends for a positive step.
  if (!(step > 0.0)) {
    LOG_WARN("PathProduct::fillPath step must be positive, step is {}", step);
    return false;
  }

  // Built apart and appended at the end, so that `in` and `out` may be one path.
  std::vector<PoseStamped> added;
  added.push_back(in.poses.front());
  for (size_t i = 0; i + 1 < in.poses.size(); ++i) {
    const PoseStamped& a = in.poses[i];
    const PoseStamped& b = in.poses[i + 1];
    const double dx = b.pose.position.x - a.pose.position.x;
    const double dy = b.pose.position.y - a.pose.position.y;
    if (dx == 0.0 && dy == 0.0) {
      continue;
    }
    // An infinite segment cannot be split; it keeps its two ends.
    if (std::isfinite(dx) && std::isfinite(dy)) {
      const double needed = std::hypot(dx, dy) / step;
      if (!fitsFilledPath(out.poses.size() + added.size(), needed)) {
        return false;
      }
      const double yaw = std::atan2(dy, dx);
      const double c = std::cos(yaw);
      const double s = std::sin(yaw);
      const auto orientation = yawToQuaternion(yaw);
      for (double k = 1.0;; k += 1.0) {
        const double offset_x = k * (step * c);
        const double offset_y = k * (step * s);
        if (!(std::fabs(dx) > std::fabs(offset_x) || std::fabs(dy) > std::fabs(offset_y))) {
          break;
        }
        PoseStamped inserted;
        inserted.header = b.header;
        inserted.pose.position.x = a.pose.position.x + offset_x;
        inserted.pose.position.y = a.pose.position.y + offset_y;
        inserted.pose.position.z = 0.0;
        inserted.pose.orientation = orientation;
        added.push_back(std::move(inserted));
      }
    }
    added.push_back(b);
  }
  out.poses.insert(out.poses.end(), added.begin(), added.end());
  return true;
}

bool PathProduct::fillPath(const std::vector<PoseStamped>& in, double min_gap, double max_gap,
                           std::vector<PoseStamped>& out) const {
  if (in.size() < 2) {
    return false;
  }
  // A gap is split into ceil(gap / max_gap) equal segments.
  if (!(max_gap > 0.0)) {
    LOG_WARN("PathProduct::fillPath maximum gap must be positive, maximum gap is {}", max_gap);
    return false;
  }

  // Built apart and swapped in at the end, so that `in` and `out` may be one list.
  std::vector<PoseStamped> filled;
  filled.push_back(in.front());
  for (size_t i = 1; i < in.size(); ++i) {
    const PoseStamped p = filled.back();
    const double ex = in[i].pose.position.x - p.pose.position.x;
    const double ey = in[i].pose.position.y - p.pose.position.y;
    const double d = std::sqrt(ex * ex + ey * ey);
    if (d > max_gap && !fitsFilledPath(filled.size(), std::ceil(d / max_gap))) {
      return false;
    }
    int segments = 0;
    if (d > max_gap && geometry::truncatedCount(std::ceil(d / max_gap), segments)) {
      const double unit = 1.0 / segments;
      for (int j = 1; j < segments; ++j) {
        PoseStamped inserted = p;
        inserted.pose.position.x = p.pose.position.x + ex * (j * unit);
        inserted.pose.position.y = p.pose.position.y + ey * (j * unit);
        filled.push_back(std::move(inserted));
      }
      filled.push_back(in[i]);
    } else if (d >= min_gap || d > max_gap || i + 1 == in.size()) {
      filled.push_back(in[i]);
    }
  }
  orientAlongPath(filled);
  out = std::move(filled);
  return true;
}

bool PathProduct::fillPath(const std::vector<PoseStamped>& in, double min_gap, double max_gap,
                           nav_msgs::msg::Path& out) const {
  return fillPath(in, min_gap, max_gap, out.poses);
}

double PathProduct::getLocalGoalYaw(const nav_msgs::msg::Path& path, int index) const {
  const auto& poses = path.poses;
  if (poses.empty()) {
    LOG_WARN("PathProduct::getLocalGoalYaw path is empty");
    return 0.0;
  }
  const long n = static_cast<long>(poses.size());
  if (n > 4 && index >= 0 && index < n - 4) {
    return headingBetween(poses[index], poses[index + 1]);
  }
  return geometry::yawOf(poses.back());
}

vantrell_nav2_protocol::msg::Path PathProduct::generateForceGlobalPath(
    double step, const PoseStamped& start, const PoseStamped& end) const {
  const double dx = end.pose.position.x - start.pose.position.x;
  const double dy = end.pose.position.y - start.pose.position.y;
  const double dist = std::hypot(dx, dy);
  int n = 0;
  if (!geometry::truncatedCount(dist / step, n)) {
    LOG_WARN(
        "PathProduct::generateForceGlobalPath step {} gives no pose count over {}, "
        "keeping the two ends only",
        step, dist);
    n = 1;
  }
  if (n <= 0 || !fitsPath("generateForceGlobalPath", 0, static_cast<double>(n) + 1.0)) {
    n = 1;
  }

  vantrell_nav2_protocol::msg::Path result;
  result.nav_path.header.stamp.sec = 0;
  result.nav_path.header.stamp.nanosec = 0;
  result.nav_path.header.frame_id.clear();
  result.nav_path.poses.reserve(static_cast<size_t>(n) + 1);
  for (int k = 0; k <= n; ++k) {
    const double fraction = static_cast<double>(k) / n;
    PoseStamped pose;
    pose.header.stamp.sec = 0;
    pose.header.stamp.nanosec = 0;
    pose.pose.position.x = start.pose.position.x + fraction * dx;
    pose.pose.position.y = start.pose.position.y + fraction * dy;
    pose.pose.position.z = 0.0;
    pose.pose.orientation = start.pose.orientation;
    result.nav_path.poses.push_back(std::move(pose));
  }
  result.tolerance = 0.2f;
  result.move_backward = false;
  result.check_blocked = false;
  result.path_type = 0;
  return result;
}

}  // namespace planning
