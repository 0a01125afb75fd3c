#include "vantrell_nav2_common/spin_collision.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace Collision {
namespace {

// The largest turn between two tested headings: a footprint corner moves at
// most half a cell, and never more than about six degrees.
double headingStep(const CollisionCheck::Footprint& footprint, double resolution) {
  double radius = 0.0;
  for (const auto& p : footprint) {
    radius = std::max(radius, std::hypot(p.x, p.y));
  }
  double step = 0.1;
  if (radius > 0.0 && resolution > 0.0) {
    step = std::min(step, 0.5 * resolution / radius);
  }
  return step;
}

}  // namespace

SpinCollision::SpinCollision(std::shared_ptr<CollisionCheck> collision_check)
    : collision_check_(std::move(collision_check)) {
  if (!collision_check_) {
    throw std::invalid_argument("SpinCollision needs a collision check, got an empty pointer");
  }
}

bool SpinCollision::isCollisionFree(const geometry_msgs::msg::Pose2D& pose, double min_angle,
                                    double max_angle) const {
  if (!std::isfinite(min_angle) || !std::isfinite(max_angle) || !std::isfinite(pose.theta)) {
    return false;
  }
  if (min_angle > max_angle) {
    std::swap(min_angle, max_angle);
  }
  const double span = std::min(max_angle - min_angle, 2.0 * M_PI);
  const auto layers = collision_check_->snapshot();
  if (!layers) {
    return false;
  }
  const auto footprint = collision_check_->getFootprint();
  const double step = headingStep(footprint, layers->resolution);
  const auto samples = static_cast<int>(std::ceil(span / step));
  geometry_msgs::msg::Pose2D turned = pose;
  for (int k = 0; k <= samples; ++k) {
    const double offset = samples == 0 ? 0.0 : min_angle + span * k / samples;
    turned.theta = pose.theta + offset;
    // The first heading is tested whole; after it, anything inside the
    // outline has been swept over by the outline already.
    const auto placed = CollisionCheck::placeFootprint(turned, footprint);
    if (!CollisionCheck::isFree(*layers, placed, k == 0)) {
      return false;
    }
  }
  return true;
}

bool SpinCollision::isCollisionFree(const geometry_msgs::msg::PoseStamped& pose, double min_angle,
                                    double max_angle) const {
  geometry_msgs::msg::Pose2D pose_2d;
  pose_2d.x = pose.pose.position.x;
  pose_2d.y = pose.pose.position.y;
  pose_2d.theta = base_robot_.quaternion2Yaw(pose.pose.orientation);
  return isCollisionFree(pose_2d, min_angle, max_angle);
}

bool SpinCollision::getSpinAngle(double from_yaw, double to_yaw, double& min_angle,
                                 double& max_angle) const {
  const double delta = base_robot_.calDelAngle(to_yaw, from_yaw);
  if (delta == 0.0 || !std::isfinite(delta)) {
    min_angle = 0.0;
    max_angle = 0.0;
  } else if (delta > 0.0) {
    max_angle = delta;
    min_angle = delta - 2.0 * M_PI;
  } else {
    min_angle = delta;
    max_angle = delta + 2.0 * M_PI;
  }
  return true;
}

bool SpinCollision::getSpinAngle(const geometry_msgs::msg::PoseStamped& robot,
                                 const nav_msgs::msg::Path& path, double step, double& min_angle,
                                 double& max_angle) const {
  min_angle = 0.0;
  max_angle = 0.0;
  for (const auto& pose : path.poses) {
    const double distance = base_robot_.calDistance(robot, pose);
    if (distance >= step && distance > 0.0) {
      const double target = std::atan2(pose.pose.position.y - robot.pose.position.y,
                                       pose.pose.position.x - robot.pose.position.x);
      return getSpinAngle(base_robot_.quaternion2Yaw(robot.pose.orientation), target, min_angle,
                          max_angle);
    }
  }
  return false;
}

}  // namespace Collision
