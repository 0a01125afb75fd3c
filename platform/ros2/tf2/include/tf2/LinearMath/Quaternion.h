#ifndef TF2__LINEARMATH__QUATERNION_H_
#define TF2__LINEARMATH__QUATERNION_H_

#include "tf2/LinearMath/Scalar.h"
#include "tf2/LinearMath/Vector3.h"

namespace tf2 {

// A rotation as a quaternion (x, y, z, w). Default-constructed it is the
// identity rotation.
class Quaternion {
 public:
  Quaternion() = default;
  Quaternion(tf2Scalar x, tf2Scalar y, tf2Scalar z, tf2Scalar w) : x_(x), y_(y), z_(z), w_(w) {}
  // Rotation of `angle` radians about `axis` (any non-zero length).
  Quaternion(const Vector3& axis, tf2Scalar angle);

  const tf2Scalar& x() const { return x_; }
  const tf2Scalar& y() const { return y_; }
  const tf2Scalar& z() const { return z_; }
  const tf2Scalar& w() const { return w_; }
  const tf2Scalar& getX() const { return x_; }
  const tf2Scalar& getY() const { return y_; }
  const tf2Scalar& getZ() const { return z_; }
  const tf2Scalar& getW() const { return w_; }
  void setX(tf2Scalar x) { x_ = x; }
  void setY(tf2Scalar y) { y_ = y; }
  void setZ(tf2Scalar z) { z_ = z; }
  void setW(tf2Scalar w) { w_ = w; }
  void setValue(tf2Scalar x, tf2Scalar y, tf2Scalar z, tf2Scalar w);

  void setRotation(const Vector3& axis, tf2Scalar angle);
  // Fixed axes: roll about x, then pitch about y, then yaw about z.
  void setRPY(tf2Scalar roll, tf2Scalar pitch, tf2Scalar yaw);
  // The same rotation with the arguments in yaw, pitch, roll order.
  void setEuler(tf2Scalar yaw, tf2Scalar pitch, tf2Scalar roll);

  Quaternion& operator+=(const Quaternion& q);
  Quaternion& operator-=(const Quaternion& q);
  Quaternion& operator*=(tf2Scalar s);
  Quaternion& operator/=(tf2Scalar s);
  // Hamilton product: the rotation `q` applied first, then this one.
  Quaternion& operator*=(const Quaternion& q);

  tf2Scalar dot(const Quaternion& q) const;
  tf2Scalar length2() const;
  tf2Scalar length() const;
  // Scales to unit length; a zero quaternion becomes the identity.
  Quaternion& normalize();
  Quaternion normalized() const;
  Quaternion inverse() const;
  // Rotation angle in [0, 2 pi] and its axis (x axis for no rotation).
  tf2Scalar getAngle() const;
  tf2Scalar getAngleShortestPath() const;
  Vector3 getAxis() const;
  // Half the angle between the two rotations.
  tf2Scalar angle(const Quaternion& q) const;
  tf2Scalar angleShortestPath(const Quaternion& q) const;
  // Spherical interpolation along the shorter arc, t in [0, 1].
  Quaternion slerp(const Quaternion& q, tf2Scalar t) const;

  bool operator==(const Quaternion& q) const;
  bool operator!=(const Quaternion& q) const { return !(*this == q); }

  static const Quaternion& getIdentity();

 private:
  tf2Scalar x_{0.0};
  tf2Scalar y_{0.0};
  tf2Scalar z_{0.0};
  tf2Scalar w_{1.0};
};

Quaternion operator+(const Quaternion& a, const Quaternion& b);
Quaternion operator-(const Quaternion& a, const Quaternion& b);
Quaternion operator-(const Quaternion& q);
Quaternion operator*(const Quaternion& a, const Quaternion& b);
Quaternion operator*(const Quaternion& q, tf2Scalar s);
Quaternion operator*(const Quaternion& q, const Vector3& v);
Quaternion operator*(const Vector3& v, const Quaternion& q);
Quaternion operator/(const Quaternion& q, tf2Scalar s);
tf2Scalar dot(const Quaternion& a, const Quaternion& b);
tf2Scalar length(const Quaternion& q);
tf2Scalar angle(const Quaternion& a, const Quaternion& b);
tf2Scalar angleShortestPath(const Quaternion& a, const Quaternion& b);
Quaternion inverse(const Quaternion& q);
Quaternion slerp(const Quaternion& a, const Quaternion& b, tf2Scalar t);
// `v` rotated by the unit quaternion `rotation`.
Vector3 quatRotate(const Quaternion& rotation, const Vector3& v);

}  // namespace tf2

#endif  // TF2__LINEARMATH__QUATERNION_H_
