#ifndef TF2__LINEARMATH__SCALAR_H_
#define TF2__LINEARMATH__SCALAR_H_

namespace tf2 {

using tf2Scalar = double;

constexpr tf2Scalar TF2SIMD_PI = 3.14159265358979323846;
constexpr tf2Scalar TF2SIMD_2_PI = 2.0 * TF2SIMD_PI;
constexpr tf2Scalar TF2SIMD_HALF_PI = 0.5 * TF2SIMD_PI;
constexpr tf2Scalar TF2SIMD_EPSILON = 2.2204460492503131e-16;

}  // namespace tf2

#endif  // TF2__LINEARMATH__SCALAR_H_
