#ifndef TF2__UTILS_H_
#define TF2__UTILS_H_

#include "geometry_msgs/msg/quaternion.hpp"
#include "tf2/LinearMath/Quaternion.h"

namespace tf2 {

namespace impl {

inline Quaternion toQuaternion(const Quaternion& q) { return q; }

inline Quaternion toQuaternion(const geometry_msgs::msg::Quaternion& q) {
  return Quaternion(q.x, q.y, q.z, q.w);
}

// Yaw of a quaternion of any non-zero length. Near pitch +-pi/2, where yaw and
// roll cannot be told apart, the whole heading is given to yaw:
//   t = -2 (x z - y w) / (x^2 + y^2 + z^2 + w^2)
//   t <= -0.99999: yaw = -2 atan2(y, x);  t >= 0.99999: yaw = 2 atan2(y, x);
//   otherwise yaw = atan2(2 (x y + z w), x^2 + w^2 - y^2 - z^2).
// A zero quaternion has yaw 0.
double getYaw(const Quaternion& q);

// Yaw, pitch and roll by the same rule; roll is 0 at the singularity.
void getEulerYPR(const Quaternion& q, double& yaw, double& pitch, double& roll);

}  // namespace impl

template <class A>
double getYaw(const A& a) {
  return impl::getYaw(impl::toQuaternion(a));
}

template <class A>
void getEulerYPR(const A& a, double& yaw, double& pitch, double& roll) {
  impl::getEulerYPR(impl::toQuaternion(a), yaw, pitch, roll);
}

}  // namespace tf2

#endif  // TF2__UTILS_H_
