#include "tf2/LinearMath/Vector3.h"

#include <cmath>

namespace tf2 {

void Vector3::setValue(tf2Scalar x, tf2Scalar y, tf2Scalar z) {
  v_[0] = x;
  v_[1] = y;
  v_[2] = z;
}

Vector3& Vector3::operator+=(const Vector3& other) {
  for (int i = 0; i < 3; ++i) {
    v_[i] += other.v_[i];
  }
  return *this;
}

Vector3& Vector3::operator-=(const Vector3& other) {
  for (int i = 0; i < 3; ++i) {
    v_[i] -= other.v_[i];
  }
  return *this;
}

Vector3& Vector3::operator*=(tf2Scalar s) {
  for (double& value : v_) {
    value *= s;
  }
  return *this;
}

Vector3& Vector3::operator/=(tf2Scalar s) { return *this *= 1.0 / s; }

tf2Scalar Vector3::dot(const Vector3& other) const {
  return v_[0] * other.v_[0] + v_[1] * other.v_[1] + v_[2] * other.v_[2];
}

Vector3 Vector3::cross(const Vector3& other) const {
  return Vector3(v_[1] * other.v_[2] - v_[2] * other.v_[1],
                 v_[2] * other.v_[0] - v_[0] * other.v_[2],
                 v_[0] * other.v_[1] - v_[1] * other.v_[0]);
}

tf2Scalar Vector3::length2() const { return dot(*this); }

tf2Scalar Vector3::length() const { return std::sqrt(length2()); }

tf2Scalar Vector3::distance2(const Vector3& other) const { return (other - *this).length2(); }

tf2Scalar Vector3::distance(const Vector3& other) const { return (other - *this).length(); }

Vector3& Vector3::normalize() {
  const tf2Scalar len = length();
  if (len > 0.0) {
    *this /= len;
  }
  return *this;
}

Vector3 Vector3::normalized() const {
  Vector3 copy(*this);
  return copy.normalize();
}

Vector3 Vector3::absolute() const {
  return Vector3(std::fabs(v_[0]), std::fabs(v_[1]), std::fabs(v_[2]));
}

Vector3 Vector3::lerp(const Vector3& other, tf2Scalar t) const {
  return Vector3(v_[0] + (other.v_[0] - v_[0]) * t, v_[1] + (other.v_[1] - v_[1]) * t,
                 v_[2] + (other.v_[2] - v_[2]) * t);
}

bool Vector3::fuzzyZero() const { return length2() < TF2SIMD_EPSILON; }

bool Vector3::operator==(const Vector3& other) const {
  return v_[0] == other.v_[0] && v_[1] == other.v_[1] && v_[2] == other.v_[2];
}

Vector3 operator+(const Vector3& a, const Vector3& b) {
  Vector3 sum(a);
  return sum += b;
}

Vector3 operator-(const Vector3& a, const Vector3& b) {
  Vector3 difference(a);
  return difference -= b;
}

Vector3 operator-(const Vector3& v) { return Vector3(-v.x(), -v.y(), -v.z()); }

Vector3 operator*(const Vector3& v, tf2Scalar s) {
  Vector3 scaled(v);
  return scaled *= s;
}

Vector3 operator*(tf2Scalar s, const Vector3& v) { return v * s; }

Vector3 operator/(const Vector3& v, tf2Scalar s) {
  Vector3 scaled(v);
  return scaled /= s;
}

tf2Scalar tf2Dot(const Vector3& a, const Vector3& b) { return a.dot(b); }

Vector3 tf2Cross(const Vector3& a, const Vector3& b) { return a.cross(b); }

tf2Scalar tf2Distance(const Vector3& a, const Vector3& b) { return a.distance(b); }

}  // namespace tf2
