#include "nav2_smoother/savitzky_golay_smoother.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "nav2_util/node_utils.hpp"

namespace nav2_smoother {
namespace {

// Quadratic fit over seven points, value at the centre.
constexpr std::array<double, 7> kCoefficients{-2.0 / 21.0, 3.0 / 21.0, 6.0 / 21.0, 7.0 / 21.0,
                                              6.0 / 21.0,  3.0 / 21.0, -2.0 / 21.0};
constexpr size_t kMinSmoothedPoses = 11;

struct Point {
  double x;
  double y;
};

// The heading of a pose as a vector of some positive length (cos yaw, sin yaw scaled), without
// the angle: only its direction is needed.
Point headingOf(const geometry_msgs::msg::Quaternion& q) {
  const Point heading{1.0 - 2.0 * (q.y * q.y + q.z * q.z), 2.0 * (q.w * q.z + q.x * q.y)};
  return heading.x == 0.0 && heading.y == 0.0 ? Point{1.0, 0.0} : heading;
}

// The rotation about z that heads along (dx, dy), turned half round when reversing:
// cos(yaw / 2) and sin(yaw / 2) of yaw = atan2(dy, dx) (+ pi), from the bisector of the heading
// and the x axis ahead (or behind, where that is the better conditioned), without the angle.
geometry_msgs::msg::Quaternion headingAlong(double dx, double dy, bool reversing) {
  const double length = std::sqrt(dx * dx + dy * dy);
  double w = 1.0;
  double z = 0.0;
  if (length > 0.0 && dx >= 0.0) {
    const double ahead = length + dx;
    const double bisector = std::sqrt(ahead * ahead + dy * dy);
    w = ahead / bisector;
    z = dy / bisector;
  } else if (length > 0.0) {
    const double behind = length - dx;
    const double bisector = std::sqrt(behind * behind + dy * dy);
    w = std::fabs(dy) / bisector;
    z = std::copysign(behind / bisector, dy);
  }
  geometry_msgs::msg::Quaternion q;
  q.x = 0.0;
  q.y = 0.0;
  q.w = reversing ? -z : w;
  q.z = reversing ? w : z;
  return q;
}

bool finitePositions(const nav_msgs::msg::Path& path) {
  for (const auto& pose : path.poses) {
    if (!std::isfinite(pose.pose.position.x) || !std::isfinite(pose.pose.position.y)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::atomic<int> SavitzkyGolaySmoother::forced_failures_{0};

void SavitzkyGolaySmoother::configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent,
                                      std::string name, std::shared_ptr<tf2_ros::Buffer>,
                                      std::shared_ptr<nav2_costmap_2d::CostmapSubscriber>,
                                      std::shared_ptr<nav2_costmap_2d::FootprintSubscriber>) {
  auto node = parent.lock();
  if (!node) {
    throw std::runtime_error("SavitzkyGolaySmoother: unable to lock the node");
  }
  nav2_util::declare_parameter_if_not_declared(node, name + ".do_refinement",
                                               rclcpp::ParameterValue(true));
  nav2_util::declare_parameter_if_not_declared(node, name + ".refinement_num",
                                               rclcpp::ParameterValue(2));
  do_refinement_ = node->get_parameter(name + ".do_refinement").as_bool();
  const int64_t refinement_num = node->get_parameter(name + ".refinement_num").as_int();
  if (refinement_num < 0) {
    RCLCPP_WARN(logger_, "%s.refinement_num is %ld; no refinement pass is made", name.c_str(),
                static_cast<long>(refinement_num));
  }
  refinement_num_ = static_cast<int>(std::clamp<int64_t>(refinement_num, 0, 1000));
}

bool SavitzkyGolaySmoother::smooth(nav_msgs::msg::Path& path, const rclcpp::Duration& max_time) {
  const auto start = std::chrono::steady_clock::now();
  const auto budget = std::chrono::nanoseconds(max_time.nanoseconds());
  const auto time_left = [&]() { return std::chrono::steady_clock::now() - start < budget; };

  int pending = forced_failures_.load();
  while (pending > 0 && !forced_failures_.compare_exchange_weak(pending, pending - 1)) {
  }
  if (pending > 0) {
    RCLCPP_WARN(logger_, "Smoothing failed on request");
    return false;
  }
  if (!finitePositions(path)) {
    RCLCPP_ERROR(logger_, "Path holds a pose with a non-finite position; it is not smoothed");
    return false;
  }

  std::vector<geometry_msgs::msg::PoseStamped> poses = path.poses;
  const int passes = 1 + (do_refinement_ ? refinement_num_ : 0);
  for (const auto& segment : findDirectionalPathSegments(path)) {
    if (segment.last - segment.first + 1 < kMinSmoothedPoses) {
      continue;
    }
    const bool reversing = isReversing(poses, segment);
    for (int pass = 0; pass < passes; ++pass) {
      if (!time_left()) {
        RCLCPP_WARN(logger_, "Smoothing time exceeded allowed duration of %0.2f s",
                    static_cast<double>(max_time.nanoseconds()) * 1e-9);
        return false;
      }
      applyFilter(poses, segment);
    }
    updateOrientations(poses, segment, reversing);
  }
  path.poses = std::move(poses);
  return true;
}

std::vector<SavitzkyGolaySmoother::Segment> SavitzkyGolaySmoother::findDirectionalPathSegments(
    const nav_msgs::msg::Path& path) {
  std::vector<Segment> segments;
  const auto& poses = path.poses;
  if (poses.empty()) {
    return segments;
  }
  size_t first = 0;
  for (size_t i = 1; i + 1 < poses.size(); ++i) {
    const auto& a = poses[i - 1].pose.position;
    const auto& b = poses[i].pose.position;
    const auto& c = poses[i + 1].pose.position;
    const double dot = (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y);
    const double lengths = std::sqrt(((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y)) *
                                     ((c.x - b.x) * (c.x - b.x) + (c.y - b.y) * (c.y - b.y)));
    // A turn of more than a right angle reverses the motion; the tolerance keeps
    // rounding from deciding an exact right angle.
    if (dot < -1e-9 * lengths) {
      segments.push_back({first, i});
      first = i;
    }
  }
  segments.push_back({first, poses.size() - 1});
  return segments;
}

void SavitzkyGolaySmoother::applyFilter(std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                        const Segment& s) {
  const size_t m = s.last - s.first + 1;
  std::vector<Point> original(m);
  for (size_t i = 0; i < m; ++i) {
    original[i] = {poses[s.first + i].pose.position.x, poses[s.first + i].pose.position.y};
  }
  // Beyond an end the curve continues by point reflection through that end,
  // which keeps straight stretches straight and the ends' slope unbiased.
  const auto at = [&](int64_t j) -> Point {
    const auto last = static_cast<int64_t>(m) - 1;
    if (j < 0) {
      const Point& mirrored = original[static_cast<size_t>(std::min(-j, last))];
      return {2.0 * original[0].x - mirrored.x, 2.0 * original[0].y - mirrored.y};
    }
    if (j > last) {
      const Point& mirrored = original[static_cast<size_t>(std::max(2 * last - j, int64_t{0}))];
      return {2.0 * original[last].x - mirrored.x, 2.0 * original[last].y - mirrored.y};
    }
    return original[static_cast<size_t>(j)];
  };
  const auto filtered = [&](size_t i, const auto& point) {
    double x = 0.0;
    double y = 0.0;
    for (int64_t k = -3; k <= 3; ++k) {
      const Point p = point(static_cast<int64_t>(i) + k);
      x += kCoefficients[static_cast<size_t>(k + 3)] * p.x;
      y += kCoefficients[static_cast<size_t>(k + 3)] * p.y;
    }
    poses[s.first + i].pose.position.x = x;
    poses[s.first + i].pose.position.y = y;
  };
  // Only the three poses at either end reach beyond it.
  const auto inside = [&](int64_t j) { return original[static_cast<size_t>(j)]; };
  for (size_t i = 1; i + 1 < m; ++i) {
    if (i >= 3 && i + 3 < m) {
      filtered(i, inside);
    } else {
      filtered(i, at);
    }
  }
}

void SavitzkyGolaySmoother::updateOrientations(std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                               const Segment& s, bool reversing) {
  for (size_t i = s.first + 1; i < s.last; ++i) {
    const auto& prev = poses[i - 1].pose.position;
    const auto& next = poses[i + 1].pose.position;
    poses[i].pose.orientation = headingAlong(next.x - prev.x, next.y - prev.y, reversing);
  }
}

bool SavitzkyGolaySmoother::isReversing(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                                        const Segment& s) {
  int backward = 0;
  int forward = 0;
  for (size_t i = s.first; i < s.last; ++i) {
    const auto& a = poses[i].pose.position;
    const auto& b = poses[i + 1].pose.position;
    const Point heading = headingOf(poses[i].pose.orientation);
    const double along = heading.x * (b.x - a.x) + heading.y * (b.y - a.y);
    if (along < 0.0) {
      ++backward;
    } else if (along > 0.0) {
      ++forward;
    }
  }
  return backward > forward;
}

}  // namespace nav2_smoother
