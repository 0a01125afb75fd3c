#ifndef TF2__LINEARMATH__TRANSFORM_H_
#define TF2__LINEARMATH__TRANSFORM_H_

#include "tf2/LinearMath/Matrix3x3.h"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Vector3.h"

namespace tf2 {

// A rigid transform: rotate by the basis, then translate by the origin. A
// transform from frame A to its parent P maps points given in A into P.
class Transform {
 public:
  Transform() = default;
  explicit Transform(const Quaternion& q, const Vector3& origin = Vector3(0.0, 0.0, 0.0));
  explicit Transform(const Matrix3x3& basis, const Vector3& origin = Vector3(0.0, 0.0, 0.0));

  Vector3& getOrigin() { return origin_; }
  const Vector3& getOrigin() const { return origin_; }
  Matrix3x3& getBasis() { return basis_; }
  const Matrix3x3& getBasis() const { return basis_; }
  Quaternion getRotation() const;

  void setOrigin(const Vector3& origin) { origin_ = origin; }
  void setBasis(const Matrix3x3& basis) { basis_ = basis; }
  void setRotation(const Quaternion& q);
  void setIdentity();
  static const Transform& getIdentity();

  // The point `v` mapped by this transform.
  Vector3 operator()(const Vector3& v) const;
  Vector3 operator*(const Vector3& v) const;
  Quaternion operator*(const Quaternion& q) const;
  // this * t: `t` applied first.
  Transform operator*(const Transform& t) const;
  Transform& operator*=(const Transform& t);
  Transform inverse() const;
  // inverse() * t.
  Transform inverseTimes(const Transform& t) const;
  // Sets this to a * b.
  void mult(const Transform& a, const Transform& b);

  bool operator==(const Transform& t) const;
  bool operator!=(const Transform& t) const { return !(*this == t); }

 private:
  Matrix3x3 basis_;
  Vector3 origin_;
};

}  // namespace tf2

#endif  // TF2__LINEARMATH__TRANSFORM_H_
