#include "tf2/LinearMath/Transform.h"

namespace tf2 {

Transform::Transform(const Quaternion& q, const Vector3& origin) : basis_(q), origin_(origin) {}

Transform::Transform(const Matrix3x3& basis, const Vector3& origin)
    : basis_(basis), origin_(origin) {}

Quaternion Transform::getRotation() const {
  Quaternion q;
  basis_.getRotation(q);
  return q;
}

void Transform::setRotation(const Quaternion& q) { basis_.setRotation(q); }

void Transform::setIdentity() {
  basis_.setIdentity();
  origin_.setZero();
}

const Transform& Transform::getIdentity() {
  static const Transform identity;
  return identity;
}

Vector3 Transform::operator()(const Vector3& v) const { return basis_ * v + origin_; }

Vector3 Transform::operator*(const Vector3& v) const { return (*this)(v); }

Quaternion Transform::operator*(const Quaternion& q) const { return getRotation() * q; }

Transform Transform::operator*(const Transform& t) const {
  return Transform(basis_ * t.basis_, (*this)(t.origin_));
}

Transform& Transform::operator*=(const Transform& t) {
  *this = *this * t;
  return *this;
}

Transform Transform::inverse() const {
  const Matrix3x3 inverse_basis = basis_.transpose();
  return Transform(inverse_basis, inverse_basis * -origin_);
}

Transform Transform::inverseTimes(const Transform& t) const {
  const Vector3 offset = t.origin_ - origin_;
  return Transform(basis_.transposeTimes(t.basis_), offset * basis_);
}

void Transform::mult(const Transform& a, const Transform& b) { *this = a * b; }

bool Transform::operator==(const Transform& t) const {
  return basis_ == t.basis_ && origin_ == t.origin_;
}

}  // namespace tf2
