#include "tf2/LinearMath/Matrix3x3.h"

#include <cmath>
#include <stdexcept>

namespace tf2 {

Matrix3x3::Matrix3x3(const Quaternion& q) { setRotation(q); }

Matrix3x3::Matrix3x3(tf2Scalar xx, tf2Scalar xy, tf2Scalar xz, tf2Scalar yx, tf2Scalar yy,
                     tf2Scalar yz, tf2Scalar zx, tf2Scalar zy, tf2Scalar zz) {
  setValue(xx, xy, xz, yx, yy, yz, zx, zy, zz);
}

void Matrix3x3::setValue(tf2Scalar xx, tf2Scalar xy, tf2Scalar xz, tf2Scalar yx, tf2Scalar yy,
                         tf2Scalar yz, tf2Scalar zx, tf2Scalar zy, tf2Scalar zz) {
  rows_[0].setValue(xx, xy, xz);
  rows_[1].setValue(yx, yy, yz);
  rows_[2].setValue(zx, zy, zz);
}

void Matrix3x3::setRotation(const Quaternion& q) {
  const tf2Scalar d = q.length2();
  if (d == 0.0 || !std::isfinite(d)) {
    setIdentity();
    return;
  }
  // Dividing by the squared length makes any non-zero quaternion a rotation.
  const tf2Scalar s = 2.0 / d;
  const tf2Scalar xs = q.x() * s, ys = q.y() * s, zs = q.z() * s;
  const tf2Scalar wx = q.w() * xs, wy = q.w() * ys, wz = q.w() * zs;
  const tf2Scalar xx = q.x() * xs, xy = q.x() * ys, xz = q.x() * zs;
  const tf2Scalar yy = q.y() * ys, yz = q.y() * zs, zz = q.z() * zs;
  setValue(1.0 - (yy + zz), xy - wz, xz + wy, xy + wz, 1.0 - (xx + zz), yz - wx, xz - wy, yz + wx,
           1.0 - (xx + yy));
}

void Matrix3x3::getRotation(Quaternion& q) const {
  const Matrix3x3& m = *this;
  const tf2Scalar trace = m[0][0] + m[1][1] + m[2][2];
  // Divide by the largest of the four candidates for numerical stability.
  if (trace > 0.0) {
    const tf2Scalar s = 2.0 * std::sqrt(trace + 1.0);
    q.setValue((m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s, 0.25 * s);
  } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
    const tf2Scalar s = 2.0 * std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
    q.setValue(0.25 * s, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[2][1] - m[1][2]) / s);
  } else if (m[1][1] > m[2][2]) {
    const tf2Scalar s = 2.0 * std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
    q.setValue((m[0][1] + m[1][0]) / s, 0.25 * s, (m[1][2] + m[2][1]) / s, (m[0][2] - m[2][0]) / s);
  } else {
    const tf2Scalar s = 2.0 * std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
    q.setValue((m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, 0.25 * s, (m[1][0] - m[0][1]) / s);
  }
}

void Matrix3x3::setRPY(tf2Scalar roll, tf2Scalar pitch, tf2Scalar yaw) {
  Quaternion q;
  q.setRPY(roll, pitch, yaw);
  setRotation(q);
}

void Matrix3x3::setEulerYPR(tf2Scalar yaw, tf2Scalar pitch, tf2Scalar roll) {
  setRPY(roll, pitch, yaw);
}

void Matrix3x3::getEulerYPR(tf2Scalar& yaw, tf2Scalar& pitch, tf2Scalar& roll,
                            unsigned int solution_number) const {
  const Matrix3x3& m = *this;
  // R = Rz(yaw) Ry(pitch) Rx(roll) has R[2][0] = -sin(pitch).
  if (std::fabs(m[2][0]) >= 1.0) {
    // Gimbal lock: only yaw - roll (or yaw + roll) is defined; yaw is put to 0.
    yaw = 0.0;
    if (m[2][0] < 0.0) {
      pitch = TF2SIMD_HALF_PI;
      roll = std::atan2(m[0][1], m[0][2]);
    } else {
      pitch = -TF2SIMD_HALF_PI;
      roll = std::atan2(-m[0][1], -m[0][2]);
    }
    return;
  }
  tf2Scalar p = -std::asin(m[2][0]);
  if (solution_number == 2) {
    p = TF2SIMD_PI - p;
  }
  const tf2Scalar cp = std::cos(p);
  pitch = p;
  roll = std::atan2(m[2][1] / cp, m[2][2] / cp);
  yaw = std::atan2(m[1][0] / cp, m[0][0] / cp);
}

void Matrix3x3::getRPY(tf2Scalar& roll, tf2Scalar& pitch, tf2Scalar& yaw,
                       unsigned int solution_number) const {
  getEulerYPR(yaw, pitch, roll, solution_number);
}

void Matrix3x3::setIdentity() { setValue(1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0); }

const Matrix3x3& Matrix3x3::getIdentity() {
  static const Matrix3x3 identity;
  return identity;
}

Vector3 Matrix3x3::getColumn(int column) const {
  return Vector3(rows_[0][column], rows_[1][column], rows_[2][column]);
}

Matrix3x3& Matrix3x3::operator*=(const Matrix3x3& m) {
  *this = *this * m;
  return *this;
}

Matrix3x3 Matrix3x3::transpose() const {
  return Matrix3x3(rows_[0][0], rows_[1][0], rows_[2][0], rows_[0][1], rows_[1][1], rows_[2][1],
                   rows_[0][2], rows_[1][2], rows_[2][2]);
}

tf2Scalar Matrix3x3::determinant() const { return rows_[0].dot(rows_[1].cross(rows_[2])); }

Matrix3x3 Matrix3x3::inverse() const {
  const tf2Scalar det = determinant();
  if (det == 0.0 || !std::isfinite(det)) {
    throw std::invalid_argument("Matrix3x3::inverse: the matrix is singular");
  }
  // The columns of the inverse are the cross products of the rows.
  const Vector3 c0 = rows_[1].cross(rows_[2]) / det;
  const Vector3 c1 = rows_[2].cross(rows_[0]) / det;
  const Vector3 c2 = rows_[0].cross(rows_[1]) / det;
  return Matrix3x3(c0.x(), c1.x(), c2.x(), c0.y(), c1.y(), c2.y(), c0.z(), c1.z(), c2.z());
}

Matrix3x3 Matrix3x3::transposeTimes(const Matrix3x3& m) const { return transpose() * m; }

Matrix3x3 Matrix3x3::timesTranspose(const Matrix3x3& m) const { return *this * m.transpose(); }

bool Matrix3x3::operator==(const Matrix3x3& m) const {
  return rows_[0] == m.rows_[0] && rows_[1] == m.rows_[1] && rows_[2] == m.rows_[2];
}

Vector3 operator*(const Matrix3x3& m, const Vector3& v) {
  return Vector3(m[0].dot(v), m[1].dot(v), m[2].dot(v));
}

Vector3 operator*(const Vector3& v, const Matrix3x3& m) {
  return Vector3(m.getColumn(0).dot(v), m.getColumn(1).dot(v), m.getColumn(2).dot(v));
}

Matrix3x3 operator*(const Matrix3x3& a, const Matrix3x3& b) {
  const Vector3 c0 = b.getColumn(0);
  const Vector3 c1 = b.getColumn(1);
  const Vector3 c2 = b.getColumn(2);
  return Matrix3x3(a[0].dot(c0), a[0].dot(c1), a[0].dot(c2), a[1].dot(c0), a[1].dot(c1),
                   a[1].dot(c2), a[2].dot(c0), a[2].dot(c1), a[2].dot(c2));
}

}  // namespace tf2
