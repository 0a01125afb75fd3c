#include "tf2/LinearMath/Quaternion.h"

#include <algorithm>
#include <cmath>

namespace tf2 {

namespace {

tf2Scalar clampedAcos(tf2Scalar value) { return std::acos(std::clamp(value, -1.0, 1.0)); }

}  // namespace

Quaternion::Quaternion(const Vector3& axis, tf2Scalar angle) { setRotation(axis, angle); }

void Quaternion::setValue(tf2Scalar x, tf2Scalar y, tf2Scalar z, tf2Scalar w) {
  x_ = x;
  y_ = y;
  z_ = z;
  w_ = w;
}

void Quaternion::setRotation(const Vector3& axis, tf2Scalar angle) {
  const tf2Scalar len = axis.length();
  if (len == 0.0) {
    // No axis, no rotation.
    setValue(0.0, 0.0, 0.0, 1.0);
    return;
  }
  const tf2Scalar s = std::sin(0.5 * angle) / len;
  setValue(axis.x() * s, axis.y() * s, axis.z() * s, std::cos(0.5 * angle));
}

void Quaternion::setRPY(tf2Scalar roll, tf2Scalar pitch, tf2Scalar yaw) {
  const tf2Scalar cr = std::cos(0.5 * roll);
  const tf2Scalar sr = std::sin(0.5 * roll);
  const tf2Scalar cp = std::cos(0.5 * pitch);
  const tf2Scalar sp = std::sin(0.5 * pitch);
  const tf2Scalar cy = std::cos(0.5 * yaw);
  const tf2Scalar sy = std::sin(0.5 * yaw);
  // Product of the elementary rotations qz(yaw) * qy(pitch) * qx(roll).
  setValue(sr * cp * cy - cr * sp * sy, cr * sp * cy + sr * cp * sy, cr * cp * sy - sr * sp * cy,
           cr * cp * cy + sr * sp * sy);
}

void Quaternion::setEuler(tf2Scalar yaw, tf2Scalar pitch, tf2Scalar roll) {
  setRPY(roll, pitch, yaw);
}

Quaternion& Quaternion::operator+=(const Quaternion& q) {
  setValue(x_ + q.x_, y_ + q.y_, z_ + q.z_, w_ + q.w_);
  return *this;
}

Quaternion& Quaternion::operator-=(const Quaternion& q) {
  setValue(x_ - q.x_, y_ - q.y_, z_ - q.z_, w_ - q.w_);
  return *this;
}

Quaternion& Quaternion::operator*=(tf2Scalar s) {
  setValue(x_ * s, y_ * s, z_ * s, w_ * s);
  return *this;
}

Quaternion& Quaternion::operator/=(tf2Scalar s) { return *this *= 1.0 / s; }

Quaternion& Quaternion::operator*=(const Quaternion& q) {
  setValue(
      w_ * q.x_ + x_ * q.w_ + y_ * q.z_ - z_ * q.y_, w_ * q.y_ - x_ * q.z_ + y_ * q.w_ + z_ * q.x_,
      w_ * q.z_ + x_ * q.y_ - y_ * q.x_ + z_ * q.w_, w_ * q.w_ - x_ * q.x_ - y_ * q.y_ - z_ * q.z_);
  return *this;
}

tf2Scalar Quaternion::dot(const Quaternion& q) const {
  return x_ * q.x_ + y_ * q.y_ + z_ * q.z_ + w_ * q.w_;
}

tf2Scalar Quaternion::length2() const { return dot(*this); }

tf2Scalar Quaternion::length() const { return std::sqrt(length2()); }

Quaternion& Quaternion::normalize() {
  const tf2Scalar len = length();
  if (len == 0.0 || !std::isfinite(len)) {
    setValue(0.0, 0.0, 0.0, 1.0);
    return *this;
  }
  return *this /= len;
}

Quaternion Quaternion::normalized() const {
  Quaternion copy(*this);
  return copy.normalize();
}

Quaternion Quaternion::inverse() const {
  const tf2Scalar len2 = length2();
  if (len2 == 0.0) {
    return Quaternion();
  }
  return Quaternion(-x_ / len2, -y_ / len2, -z_ / len2, w_ / len2);
}

tf2Scalar Quaternion::getAngle() const { return 2.0 * clampedAcos(normalized().w_); }

tf2Scalar Quaternion::getAngleShortestPath() const {
  return 2.0 * clampedAcos(std::fabs(normalized().w_));
}

Vector3 Quaternion::getAxis() const {
  const Quaternion unit = normalized();
  const tf2Scalar s2 = 1.0 - unit.w_ * unit.w_;
  if (s2 < 10.0 * TF2SIMD_EPSILON) {
    return Vector3(1.0, 0.0, 0.0);
  }
  const tf2Scalar s = 1.0 / std::sqrt(s2);
  return Vector3(unit.x_ * s, unit.y_ * s, unit.z_ * s);
}

tf2Scalar Quaternion::angle(const Quaternion& q) const {
  const tf2Scalar s = std::sqrt(length2() * q.length2());
  if (s == 0.0) {
    return 0.0;
  }
  return clampedAcos(dot(q) / s);
}

tf2Scalar Quaternion::angleShortestPath(const Quaternion& q) const {
  const tf2Scalar s = std::sqrt(length2() * q.length2());
  if (s == 0.0) {
    return 0.0;
  }
  return 2.0 * clampedAcos(std::fabs(dot(q)) / s);
}

Quaternion Quaternion::slerp(const Quaternion& q, tf2Scalar t) const {
  const Quaternion a = normalized();
  Quaternion b = q.normalized();
  tf2Scalar cos_theta = a.dot(b);
  if (cos_theta < 0.0) {
    b *= -1.0;
    cos_theta = -cos_theta;
  }
  if (cos_theta > 1.0 - 1e-9) {
    // Nearly the same rotation: the arc is a line.
    return (a * (1.0 - t) + b * t).normalize();
  }
  const tf2Scalar theta = std::acos(cos_theta);
  const tf2Scalar sin_theta = std::sin(theta);
  return a * (std::sin((1.0 - t) * theta) / sin_theta) + b * (std::sin(t * theta) / sin_theta);
}

bool Quaternion::operator==(const Quaternion& q) const {
  return x_ == q.x_ && y_ == q.y_ && z_ == q.z_ && w_ == q.w_;
}

const Quaternion& Quaternion::getIdentity() {
  static const Quaternion identity(0.0, 0.0, 0.0, 1.0);
  return identity;
}

Quaternion operator+(const Quaternion& a, const Quaternion& b) {
  Quaternion sum(a);
  return sum += b;
}

Quaternion operator-(const Quaternion& a, const Quaternion& b) {
  Quaternion difference(a);
  return difference -= b;
}

Quaternion operator-(const Quaternion& q) { return Quaternion(-q.x(), -q.y(), -q.z(), -q.w()); }

Quaternion operator*(const Quaternion& a, const Quaternion& b) {
  Quaternion product(a);
  return product *= b;
}

Quaternion operator*(const Quaternion& q, tf2Scalar s) {
  Quaternion scaled(q);
  return scaled *= s;
}

Quaternion operator*(const Quaternion& q, const Vector3& v) {
  return q * Quaternion(v.x(), v.y(), v.z(), 0.0);
}

Quaternion operator*(const Vector3& v, const Quaternion& q) {
  return Quaternion(v.x(), v.y(), v.z(), 0.0) * q;
}

Quaternion operator/(const Quaternion& q, tf2Scalar s) {
  Quaternion scaled(q);
  return scaled /= s;
}

tf2Scalar dot(const Quaternion& a, const Quaternion& b) { return a.dot(b); }

tf2Scalar length(const Quaternion& q) { return q.length(); }

tf2Scalar angle(const Quaternion& a, const Quaternion& b) { return a.angle(b); }

tf2Scalar angleShortestPath(const Quaternion& a, const Quaternion& b) {
  return a.angleShortestPath(b);
}

Quaternion inverse(const Quaternion& q) { return q.inverse(); }

Quaternion slerp(const Quaternion& a, const Quaternion& b, tf2Scalar t) { return a.slerp(b, t); }

Vector3 quatRotate(const Quaternion& rotation, const Vector3& v) {
  const Quaternion r = rotation * v * rotation.inverse();
  return Vector3(r.x(), r.y(), r.z());
}

}  // namespace tf2
