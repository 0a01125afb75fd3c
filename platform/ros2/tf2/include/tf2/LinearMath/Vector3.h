#ifndef TF2__LINEARMATH__VECTOR3_H_
#define TF2__LINEARMATH__VECTOR3_H_

#include "tf2/LinearMath/Scalar.h"

namespace tf2 {

// A 3-vector of doubles: a point, a translation or an axis.
class Vector3 {
 public:
  Vector3() = default;
  Vector3(tf2Scalar x, tf2Scalar y, tf2Scalar z) : v_{x, y, z} {}

  const tf2Scalar& x() const { return v_[0]; }
  const tf2Scalar& y() const { return v_[1]; }
  const tf2Scalar& z() const { return v_[2]; }
  const tf2Scalar& getX() const { return v_[0]; }
  const tf2Scalar& getY() const { return v_[1]; }
  const tf2Scalar& getZ() const { return v_[2]; }
  void setX(tf2Scalar x) { v_[0] = x; }
  void setY(tf2Scalar y) { v_[1] = y; }
  void setZ(tf2Scalar z) { v_[2] = z; }
  void setValue(tf2Scalar x, tf2Scalar y, tf2Scalar z);
  void setZero() { setValue(0.0, 0.0, 0.0); }

  tf2Scalar& operator[](int i) { return v_[i]; }
  const tf2Scalar& operator[](int i) const { return v_[i]; }

  Vector3& operator+=(const Vector3& other);
  Vector3& operator-=(const Vector3& other);
  Vector3& operator*=(tf2Scalar s);
  Vector3& operator/=(tf2Scalar s);

  tf2Scalar dot(const Vector3& other) const;
  Vector3 cross(const Vector3& other) const;
  tf2Scalar length2() const;
  tf2Scalar length() const;
  tf2Scalar distance(const Vector3& other) const;
  tf2Scalar distance2(const Vector3& other) const;
  // Scales to unit length; a zero vector stays zero.
  Vector3& normalize();
  Vector3 normalized() const;
  Vector3 absolute() const;
  // Linear interpolation towards `other`, t in [0, 1].
  Vector3 lerp(const Vector3& other, tf2Scalar t) const;
  bool fuzzyZero() const;

  bool operator==(const Vector3& other) const;
  bool operator!=(const Vector3& other) const { return !(*this == other); }

 private:
  tf2Scalar v_[3]{0.0, 0.0, 0.0};
};

Vector3 operator+(const Vector3& a, const Vector3& b);
Vector3 operator-(const Vector3& a, const Vector3& b);
Vector3 operator-(const Vector3& v);
Vector3 operator*(const Vector3& v, tf2Scalar s);
Vector3 operator*(tf2Scalar s, const Vector3& v);
Vector3 operator/(const Vector3& v, tf2Scalar s);
tf2Scalar tf2Dot(const Vector3& a, const Vector3& b);
Vector3 tf2Cross(const Vector3& a, const Vector3& b);
tf2Scalar tf2Distance(const Vector3& a, const Vector3& b);

}  // namespace tf2

#endif  // TF2__LINEARMATH__VECTOR3_H_
