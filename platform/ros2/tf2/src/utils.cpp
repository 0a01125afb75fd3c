#include "tf2/utils.h"

#include <cmath>

#include "tf2/LinearMath/Scalar.h"

namespace tf2 {
namespace impl {

namespace {

constexpr double kSingularity = 0.99999;

// -sin(pitch) scaled back to a unit quaternion; NaN-free for zero length.
double pitchSine(const Quaternion& q, double norm2) {
  return -2.0 * (q.x() * q.z() - q.y() * q.w()) / norm2;
}

}  // namespace

double getYaw(const Quaternion& q) {
  const double norm2 = q.length2();
  if (norm2 == 0.0) {
    return 0.0;
  }
  const double t = pitchSine(q, norm2);
  if (t <= -kSingularity) {
    return -2.0 * std::atan2(q.y(), q.x());
  }
  if (t >= kSingularity) {
    return 2.0 * std::atan2(q.y(), q.x());
  }
  return std::atan2(2.0 * (q.x() * q.y() + q.z() * q.w()),
                    q.x() * q.x() + q.w() * q.w() - q.y() * q.y() - q.z() * q.z());
}

void getEulerYPR(const Quaternion& q, double& yaw, double& pitch, double& roll) {
  const double norm2 = q.length2();
  if (norm2 == 0.0) {
    yaw = pitch = roll = 0.0;
    return;
  }
  const double t = pitchSine(q, norm2);
  if (t <= -kSingularity) {
    pitch = -TF2SIMD_HALF_PI;
    roll = 0.0;
    yaw = -2.0 * std::atan2(q.y(), q.x());
    return;
  }
  if (t >= kSingularity) {
    pitch = TF2SIMD_HALF_PI;
    roll = 0.0;
    yaw = 2.0 * std::atan2(q.y(), q.x());
    return;
  }
  pitch = std::asin(t);
  roll = std::atan2(2.0 * (q.y() * q.z() + q.w() * q.x()),
                    q.w() * q.w() - q.x() * q.x() - q.y() * q.y() + q.z() * q.z());
  yaw = getYaw(q);
}

}  // namespace impl
}  // namespace tf2
