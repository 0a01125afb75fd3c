#ifndef VANTRELL_NAV2_SMOOTHER__VEC2_HPP_
#define VANTRELL_NAV2_SMOOTHER__VEC2_HPP_

#include <cmath>

namespace vantrell_nav2_smoother {

// A planar point or displacement in metres.
struct Vec2 {
  double x{0.0};
  double y{0.0};

  Vec2 operator+(const Vec2& o) const { return {x + o.x, y + o.y}; }
  Vec2 operator-(const Vec2& o) const { return {x - o.x, y - o.y}; }
  Vec2 operator*(double s) const { return {x * s, y * s}; }
  Vec2& operator+=(const Vec2& o) {
    x += o.x;
    y += o.y;
    return *this;
  }
  double dot(const Vec2& o) const { return x * o.x + y * o.y; }
  double cross(const Vec2& o) const { return x * o.y - y * o.x; }
  double norm() const { return std::hypot(x, y); }
  double squaredNorm() const { return x * x + y * y; }
  // Turned a quarter turn counter-clockwise.
  Vec2 perpendicular() const { return {-y, x}; }
};

// Distance from p to the segment a-b (to a when the segment has no length).
inline double segmentDistance(const Vec2& p, const Vec2& a, const Vec2& b) {
  const Vec2 ab = b - a;
  const double length2 = ab.squaredNorm();
  if (length2 <= 0.0) {
    return (p - a).norm();
  }
  double t = (p - a).dot(ab) / length2;
  t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
  return (p - (a + ab * t)).norm();
}

}  // namespace vantrell_nav2_smoother

#endif  // VANTRELL_NAV2_SMOOTHER__VEC2_HPP_
