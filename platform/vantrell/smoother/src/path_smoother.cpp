#include "vantrell_nav2_smoother/path_smoother.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

#include "clearance_field.hpp"
#include "gradient_descent.hpp"
#include "motion_prediction.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "path_stretch.hpp"
#include "rclcpp/logging.hpp"
#include "smoothing_energy.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

using vantrell_nav2_smoother::Vec2;

namespace {

// A stretch of more poses than this is refused rather than left to run long.
constexpr size_t kMaxStretchPoses = 20000;
constexpr int kMaxEvaluations = 5000;
// Settled once no pose is pushed harder than moving it 0.1 mm off the
// original path would push back.
constexpr double kForceTolerance = 2e-4;

rclcpp::Logger loggerOf(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node) {
  if (auto locked = node.lock()) {
    return locked->get_logger().get_child("path_smoother");
  }
  return rclcpp::get_logger("path_smoother");
}

bool finitePositions(const nav_msgs::msg::Path& path) {
  for (const auto& pose : path.poses) {
    if (!std::isfinite(pose.pose.position.x) || !std::isfinite(pose.pose.position.y)) {
      return false;
    }
  }
  return true;
}

bool hasHeading(const geometry_msgs::msg::Quaternion& q) {
  return !(q.x == 0.0 && q.y == 0.0 && q.z == 0.0 && q.w == 1.0);
}

// Whether most poses that carry a heading face against their motion.
bool drivenBackwards(const nav_msgs::msg::Path& path) {
  int backward = 0;
  int forward = 0;
  for (size_t i = 0; i + 1 < path.poses.size(); ++i) {
    const auto& pose = path.poses[i].pose;
    if (!hasHeading(pose.orientation)) {
      continue;
    }
    const double yaw = tf2::getYaw(pose.orientation);
    const auto& next = path.poses[i + 1].pose.position;
    const double along =
        std::cos(yaw) * (next.x - pose.position.x) + std::sin(yaw) * (next.y - pose.position.y);
    backward += along < 0.0 ? 1 : 0;
    forward += along > 0.0 ? 1 : 0;
  }
  return backward > forward;
}

geometry_msgs::msg::Quaternion quaternionOf(double yaw) {
  tf2::Quaternion q;
  q.setRPY(0.0, 0.0, yaw);
  return tf2::toMsg(q);
}

// Poses at the points, each heading along its segment to the next point
// (`after` follows the last one when given).
std::vector<geometry_msgs::msg::PoseStamped> posesAlong(const std::vector<Vec2>& points,
                                                        const Vec2* after, bool backwards,
                                                        const std_msgs::msg::Header& header) {
  std::vector<geometry_msgs::msg::PoseStamped> poses(points.size());
  double heading = 0.0;
  for (size_t i = 0; i < points.size(); ++i) {
    const Vec2* next = i + 1 < points.size() ? &points[i + 1] : after;
    const Vec2 segment = next != nullptr ? *next - points[i] : Vec2{};
    if (segment.norm() > 0.0) {
      heading = std::atan2(segment.y, segment.x);
    } else if (i > 0) {
      const Vec2 previous = points[i] - points[i - 1];
      heading = previous.norm() > 0.0 ? std::atan2(previous.y, previous.x) : heading;
    }
    poses[i].header = header;
    poses[i].pose.position.x = points[i].x;
    poses[i].pose.position.y = points[i].y;
    poses[i].pose.orientation = quaternionOf(backwards ? heading + M_PI : heading);
  }
  return poses;
}

}  // namespace

std::atomic<int> PathSmoother::forced_failures_{0};
std::atomic<int> PathSmoother::forced_empty_results_{0};

PathSmoother::PathSmoother(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                           std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> gridmap)
    : gridmap_(std::move(gridmap)), logger_(loggerOf(node)) {
  if (!gridmap_) {
    throw std::invalid_argument("PathSmoother needs a grid map, got an empty pointer");
  }
}

void PathSmoother::config(double obstacle_distance, double obstacle_weight, double curvature_weight,
                          double smoothness_weight, double prediction_weight, double cut_length,
                          double resample_step) {
  settings_ = Settings{obstacle_distance, obstacle_weight, curvature_weight, smoothness_weight,
                       prediction_weight, cut_length,      resample_step};
}

void PathSmoother::setOriginalPath(const nav_msgs::msg::Path& path) {
  original_ = path;
  result_.reset();
}

void PathSmoother::setCurrentData(geometry_msgs::msg::PoseStamped pose,
                                  geometry_msgs::msg::Twist twist) {
  robot_pose_ = std::move(pose);
  robot_twist_ = std::move(twist);
}

bool PathSmoother::getSmoothedNavPath(nav_msgs::msg::Path& path) const {
  if (!result_) {
    return false;
  }
  path = *result_;
  return true;
}

void PathSmoother::smoothPath() {
  if (takeForced(forced_failures_)) {
    RCLCPP_WARN(logger_, "Smoothing failed on request");
    result_.reset();
    return;
  }
  if (takeForced(forced_empty_results_)) {
    RCLCPP_WARN(logger_, "Smoothing gave an empty path on request");
    result_ = nav_msgs::msg::Path();
    result_->header = original_.header;
    return;
  }
  result_ = smooth();
}

bool PathSmoother::takeForced(std::atomic<int>& counter) {
  int pending = counter.load();
  while (pending > 0 && !counter.compare_exchange_weak(pending, pending - 1)) {
  }
  return pending > 0;
}

bool PathSmoother::usable(const Settings& s) {
  for (const double value :
       {s.obstacle_distance, s.obstacle_weight, s.curvature_weight, s.smoothness_weight,
        s.prediction_weight, s.cut_length, s.resample_step}) {
    if (!std::isfinite(value) || value < 0.0) {
      return false;
    }
  }
  return s.cut_length > 0.0 && s.resample_step > 0.0;
}

std::optional<nav_msgs::msg::Path> PathSmoother::smooth() const {
  if (original_.poses.empty()) {
    RCLCPP_ERROR(logger_, "Cannot smooth an empty path");
    return std::nullopt;
  }
  if (!finitePositions(original_)) {
    RCLCPP_ERROR(logger_, "Cannot smooth a path with a non-finite position");
    return std::nullopt;
  }
  if (!usable(settings_)) {
    RCLCPP_ERROR(logger_,
                 "Cannot smooth with the configuration given: weights and distances must be "
                 "finite and not negative, the cut length and resampling step above 0");
    return std::nullopt;
  }
  const auto stretch = vantrell_nav2_smoother::cutAndResample(
      original_.poses, settings_.cut_length, settings_.resample_step, kMaxStretchPoses);
  if (!stretch) {
    RCLCPP_ERROR(logger_, "Cannot smooth %.3f m at %.4f m steps: more than %zu poses",
                 settings_.cut_length, settings_.resample_step, kMaxStretchPoses);
    return std::nullopt;
  }
  if (stretch->points.size() < 2) {
    return original_;  // a single point: nothing to smooth
  }
  std::vector<Vec2> points = stretch->points;
  if (!descendOn(*stretch, points)) {
    RCLCPP_ERROR(logger_, "Smoothing did not settle within %d evaluations of its energy",
                 kMaxEvaluations);
    return std::nullopt;
  }
  nav_msgs::msg::Path smoothed = assemble(*stretch, points);
  if (entersLethalCell(smoothed, points.size())) {
    RCLCPP_ERROR(logger_, "Smoothed path enters a lethal cell");
    return std::nullopt;
  }
  return smoothed;
}

bool PathSmoother::descendOn(const vantrell_nav2_smoother::PathStretch& stretch,
                             std::vector<Vec2>& points) const {
  const auto prediction = vantrell_nav2_smoother::predictMotion(
      robot_pose_, robot_twist_, stretch.points.front(), stretch.arc, settings_.prediction_weight);
  const vantrell_nav2_smoother::ClearanceField clearance(gridmap_);
  vantrell_nav2_smoother::EnergyWeights weights;
  weights.obstacle_distance = settings_.obstacle_distance;
  weights.obstacle = settings_.obstacle_weight;
  weights.curvature = settings_.curvature_weight;
  weights.smoothness = settings_.smoothness_weight;
  weights.step = settings_.resample_step;
  const vantrell_nav2_smoother::SmoothingEnergy energy(stretch.points, prediction.points,
                                                       prediction.weights, weights, &clearance);
  return vantrell_nav2_smoother::descend(energy, points, kForceTolerance, kMaxEvaluations);
}

nav_msgs::msg::Path PathSmoother::assemble(const vantrell_nav2_smoother::PathStretch& stretch,
                                           const std::vector<Vec2>& points) const {
  const auto& poses = original_.poses;
  Vec2 after;
  const bool has_tail = stretch.tail_begin < poses.size();
  if (has_tail) {
    after = {poses[stretch.tail_begin].pose.position.x, poses[stretch.tail_begin].pose.position.y};
  }
  nav_msgs::msg::Path smoothed;
  smoothed.header = original_.header;
  smoothed.poses = posesAlong(points, has_tail ? &after : nullptr, drivenBackwards(original_),
                              poses.front().header);
  smoothed.poses.insert(smoothed.poses.end(),
                        poses.begin() + static_cast<std::ptrdiff_t>(stretch.tail_begin),
                        poses.end());
  return smoothed;
}

bool PathSmoother::entersLethalCell(const nav_msgs::msg::Path& path, size_t count) const {
  const auto map = gridmap_->getMultiGridMap();
  const nav2_costmap_2d::Costmap2D* costmap = map->getCostmap();
  const double spacing = 0.5 * costmap->getResolution();
  for (size_t i = 0; i < count && i < path.poses.size(); ++i) {
    const auto& a = path.poses[i].pose.position;
    const auto& b = i + 1 < count ? path.poses[i + 1].pose.position : a;
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const int samples = spacing > 0.0 ? static_cast<int>(std::ceil(length / spacing)) : 0;
    for (int k = 0; k <= samples; ++k) {
      const double t = samples == 0 ? 0.0 : static_cast<double>(k) / samples;
      unsigned int mx = 0;
      unsigned int my = 0;
      // Off this map the smoother knows nothing, so it cannot call it lethal.
      if (costmap->worldToMap(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, mx, my) &&
          map->getCost(mx, my, false) == nav2_costmap_2d::LETHAL_OBSTACLE) {
        return true;
      }
    }
  }
  return false;
}
