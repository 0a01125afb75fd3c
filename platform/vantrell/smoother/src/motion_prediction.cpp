#include "motion_prediction.hpp"

#include <algorithm>
#include <cmath>

#include "tf2/utils.h"
// The real tf2::getYaw reads a message through the conversions declared here.
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace vantrell_nav2_smoother {
namespace {

constexpr double kPredictionHorizon = 1.0;  // seconds
// Slower than this the robot is standing: its heading says nothing of its path.
constexpr double kStandingSpeed = 1e-3;
constexpr double kStraight = 1e-9;

// Displacement after driving `s` metres from direction `direction` with
// curvature `curvature`.
Vec2 arcDisplacement(double direction, double curvature, double s) {
  if (std::abs(curvature * s) < kStraight) {
    return {s * std::cos(direction), s * std::sin(direction)};
  }
  const double end = direction + curvature * s;
  return {(std::sin(end) - std::sin(direction)) / curvature,
          (std::cos(direction) - std::cos(end)) / curvature};
}

}  // namespace

MotionPrediction predictMotion(const geometry_msgs::msg::PoseStamped& robot,
                               const geometry_msgs::msg::Twist& twist, const Vec2& start,
                               const std::vector<double>& arc, double weight) {
  MotionPrediction prediction;
  prediction.points.assign(arc.size(), start);
  prediction.weights.assign(arc.size(), 0.0);
  const double speed = twist.linear.x;
  const double yaw = tf2::getYaw(robot.pose.orientation);
  if (!(weight > 0.0) || !std::isfinite(speed) || !std::isfinite(twist.angular.z) ||
      !std::isfinite(yaw) || std::abs(speed) < kStandingSpeed) {
    return prediction;
  }
  // Driving backwards the robot moves against its heading and turns its
  // direction of travel the same way as its heading.
  const double direction = speed < 0.0 ? yaw + M_PI : yaw;
  const double curvature = twist.angular.z / std::abs(speed);
  const double horizon = std::abs(speed) * kPredictionHorizon;
  for (size_t i = 0; i < arc.size(); ++i) {
    prediction.points[i] = start + arcDisplacement(direction, curvature, arc[i]);
    prediction.weights[i] = weight * std::max(0.0, 1.0 - arc[i] / horizon);
  }
  return prediction;
}

}  // namespace vantrell_nav2_smoother
