#ifndef TF2__LINEARMATH__MATRIX3X3_H_
#define TF2__LINEARMATH__MATRIX3X3_H_

#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Scalar.h"
#include "tf2/LinearMath/Vector3.h"

namespace tf2 {

// A 3x3 matrix of rows, used as a rotation. Default-constructed it is the
// identity.
class Matrix3x3 {
 public:
  Matrix3x3() = default;
  explicit Matrix3x3(const Quaternion& q);
  Matrix3x3(tf2Scalar xx, tf2Scalar xy, tf2Scalar xz, tf2Scalar yx, tf2Scalar yy, tf2Scalar yz,
            tf2Scalar zx, tf2Scalar zy, tf2Scalar zz);

  void setValue(tf2Scalar xx, tf2Scalar xy, tf2Scalar xz, tf2Scalar yx, tf2Scalar yy, tf2Scalar yz,
                tf2Scalar zx, tf2Scalar zy, tf2Scalar zz);
  // From a quaternion of any non-zero length; zero gives the identity.
  void setRotation(const Quaternion& q);
  void getRotation(Quaternion& q) const;
  void setRPY(tf2Scalar roll, tf2Scalar pitch, tf2Scalar yaw);
  void setEulerYPR(tf2Scalar yaw, tf2Scalar pitch, tf2Scalar roll);
  // Angles of the rotation Rz(yaw) * Ry(pitch) * Rx(roll). Away from pitch
  // +-pi/2 two angle sets describe the rotation; `solution_number` 1 gives the
  // one with pitch in [-pi/2, pi/2], 2 the other. At pitch +-pi/2 yaw is 0.
  void getRPY(tf2Scalar& roll, tf2Scalar& pitch, tf2Scalar& yaw,
              unsigned int solution_number = 1) const;
  void getEulerYPR(tf2Scalar& yaw, tf2Scalar& pitch, tf2Scalar& roll,
                   unsigned int solution_number = 1) const;
  void setIdentity();
  static const Matrix3x3& getIdentity();

  Vector3& operator[](int row) { return rows_[row]; }
  const Vector3& operator[](int row) const { return rows_[row]; }
  const Vector3& getRow(int row) const { return rows_[row]; }
  Vector3 getColumn(int column) const;

  Matrix3x3& operator*=(const Matrix3x3& m);
  Matrix3x3 transpose() const;
  tf2Scalar determinant() const;
  // Throws std::invalid_argument for a singular matrix.
  Matrix3x3 inverse() const;
  // transpose() * m and this * m.transpose(), without the temporary.
  Matrix3x3 transposeTimes(const Matrix3x3& m) const;
  Matrix3x3 timesTranspose(const Matrix3x3& m) const;

  bool operator==(const Matrix3x3& m) const;
  bool operator!=(const Matrix3x3& m) const { return !(*this == m); }

 private:
  Vector3 rows_[3]{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
};

Vector3 operator*(const Matrix3x3& m, const Vector3& v);
Vector3 operator*(const Vector3& v, const Matrix3x3& m);
Matrix3x3 operator*(const Matrix3x3& a, const Matrix3x3& b);

}  // namespace tf2

#endif  // TF2__LINEARMATH__MATRIX3X3_H_
