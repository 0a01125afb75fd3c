#include "vantrell_nav2_common/base_robot.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>

namespace {

constexpr double kEdgeTolerance = 1e-6;

struct Vec2 {
  double x;
  double y;
};

Vec2 operator-(const Vec2& a, const Vec2& b) { return {a.x - b.x, a.y - b.y}; }
Vec2 operator+(const Vec2& a, const Vec2& b) { return {a.x + b.x, a.y + b.y}; }
Vec2 operator*(double s, const Vec2& a) { return {s * a.x, s * a.y}; }
double cross(const Vec2& a, const Vec2& b) { return a.x * b.y - a.y * b.x; }
double dot(const Vec2& a, const Vec2& b) { return a.x * b.x + a.y * b.y; }

std::vector<Vec2> toVertices(const geometry_msgs::msg::Polygon& polygon) {
  std::vector<Vec2> vertices;
  vertices.reserve(polygon.points.size());
  for (const auto& p : polygon.points) {
    vertices.push_back({static_cast<double>(p.x), static_cast<double>(p.y)});
  }
  return vertices;
}

bool onSegment(const Vec2& p, const Vec2& a, const Vec2& b) {
  const Vec2 ab = b - a;
  const double length_sq = dot(ab, ab);
  if (length_sq == 0.0) {
    return std::hypot(p.x - a.x, p.y - a.y) <= kEdgeTolerance;
  }
  const double t = std::clamp(dot(p - a, ab) / length_sq, 0.0, 1.0);
  const Vec2 closest = a + t * ab;
  return std::hypot(p.x - closest.x, p.y - closest.y) <= kEdgeTolerance;
}

bool contains(const std::vector<Vec2>& polygon, const Vec2& p) {
  const size_t n = polygon.size();
  if (n < 3 || !std::isfinite(p.x) || !std::isfinite(p.y)) {
    return false;
  }
  for (size_t i = 0; i < n; ++i) {
    if (onSegment(p, polygon[i], polygon[(i + 1) % n])) {
      return true;
    }
  }
  // Even-odd rule: count the edges crossed by a ray towards +x.
  bool inside = false;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const Vec2& a = polygon[i];
    const Vec2& b = polygon[j];
    if ((a.y > p.y) != (b.y > p.y)) {
      const double x_cross = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
      if (p.x < x_cross) {
        inside = !inside;
      }
    }
  }
  return inside;
}

int sign(double v) {
  if (v > kEdgeTolerance * kEdgeTolerance) {
    return 1;
  }
  if (v < -kEdgeTolerance * kEdgeTolerance) {
    return -1;
  }
  return 0;
}

// True only when the segments cross at a point inside both (no touching).
bool crossProperly(const Vec2& a, const Vec2& b, const Vec2& c, const Vec2& d) {
  const int o1 = sign(cross(b - a, c - a));
  const int o2 = sign(cross(b - a, d - a));
  const int o3 = sign(cross(d - c, a - c));
  const int o4 = sign(cross(d - c, b - c));
  return o1 * o2 < 0 && o3 * o4 < 0;
}

double signedArea(const std::vector<Vec2>& polygon) {
  double area = 0.0;
  for (size_t i = 0, n = polygon.size(); i < n; ++i) {
    area += cross(polygon[i], polygon[(i + 1) % n]);
  }
  return 0.5 * area;
}

std::mt19937_64& uuidEngine() {
  // One generator per thread: no lock on the hot path, and the seed mixes in a
  // process-wide counter so that two threads never start from the same state.
  static std::atomic<uint64_t> counter{0};
  thread_local std::mt19937_64 engine = [] {
    std::random_device device;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::seed_seq seq{
        device(),
        device(),
        device(),
        device(),
        static_cast<unsigned>(counter.fetch_add(1)),
        static_cast<unsigned>(now),
        static_cast<unsigned>(static_cast<uint64_t>(now) >> 32),
        static_cast<unsigned>(std::hash<std::thread::id>{}(std::this_thread::get_id()))};
    return std::mt19937_64(seq);
  }();
  return engine;
}

}  // namespace

double BaseRobot::quaternion2Yaw(const geometry_msgs::msg::Quaternion& q) const {
  const double sqx = q.x * q.x;
  const double sqy = q.y * q.y;
  const double sqz = q.z * q.z;
  const double sqw = q.w * q.w;
  const double sarg = -2.0 * (q.x * q.z - q.w * q.y) / (sqx + sqy + sqz + sqw);
  if (sarg <= -0.99999) {
    return -2.0 * std::atan2(q.y, q.x);
  }
  if (sarg >= 0.99999) {
    return 2.0 * std::atan2(q.y, q.x);
  }
  return std::atan2(2.0 * (q.x * q.y + q.w * q.z), sqw + sqx - sqy - sqz);
}

std::string BaseRobot::generateUuid() const {
  auto& engine = uuidEngine();
  std::array<uint8_t, 16> bytes{};
  for (size_t i = 0; i < bytes.size(); i += 8) {
    uint64_t word = engine();
    for (size_t k = 0; k < 8; ++k) {
      bytes[i + k] = static_cast<uint8_t>(word >> (8 * k));
    }
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant

  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(36);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) {
      text.push_back('-');
    }
    text.push_back(kHex[bytes[i] >> 4]);
    text.push_back(kHex[bytes[i] & 0x0F]);
  }
  return text;
}

double BaseRobot::calDistance(const geometry_msgs::msg::PoseStamped& a,
                              const geometry_msgs::msg::PoseStamped& b) const {
  return std::hypot(a.pose.position.x - b.pose.position.x, a.pose.position.y - b.pose.position.y);
}

double BaseRobot::calDelAngle(double a, double b) const {
  double d = std::remainder(a - b, 2.0 * M_PI);
  if (d <= -M_PI) {
    d += 2.0 * M_PI;
  }
  return d;
}

double BaseRobot::calpathDistance(const nav_msgs::msg::Path& path) const {
  double length = 0.0;
  for (size_t i = 1; i < path.poses.size(); ++i) {
    length += calDistance(path.poses[i - 1], path.poses[i]);
  }
  return length;
}

void BaseRobot::convertToPath(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                              nav_msgs::msg::Path& path) const {
  path.poses.clear();
  path.poses.reserve(poses.size());
  path.poses.insert(path.poses.end(), poses.begin(), poses.end());
}

bool BaseRobot::isPointInPolygon(const geometry_msgs::msg::Polygon& polygon,
                                 const geometry_msgs::msg::Pose& pose) const {
  return contains(toVertices(polygon), {pose.position.x, pose.position.y});
}

void BaseRobot::translatePolygon(geometry_msgs::msg::PolygonStamped& polygon,
                                 const geometry_msgs::msg::PoseStamped& pose) const {
  const double yaw = quaternion2Yaw(pose.pose.orientation);
  const double c = std::cos(yaw);
  const double s = std::sin(yaw);
  for (auto& p : polygon.polygon.points) {
    const double x = p.x;
    const double y = p.y;
    p.x = static_cast<float>(pose.pose.position.x + c * x - s * y);
    p.y = static_cast<float>(pose.pose.position.y + s * x + c * y);
  }
}

bool BaseRobot::isPolygonContained(const geometry_msgs::msg::Polygon& inner,
                                   const geometry_msgs::msg::Polygon& outer) const {
  const auto in = toVertices(inner);
  const auto out = toVertices(outer);
  if (in.empty() || out.size() < 3) {
    return false;
  }
  for (size_t i = 0; i < in.size(); ++i) {
    const Vec2& a = in[i];
    const Vec2& b = in[(i + 1) % in.size()];
    // Vertices and edge midpoints inside, and no edge crossing the outline:
    // that also holds for a concave outer polygon.
    if (!contains(out, a) || !contains(out, 0.5 * (a + b))) {
      return false;
    }
    for (size_t j = 0; j < out.size(); ++j) {
      if (crossProperly(a, b, out[j], out[(j + 1) % out.size()])) {
        return false;
      }
    }
  }
  return true;
}

geometry_msgs::msg::Polygon BaseRobot::resizeLiftFrame(const geometry_msgs::msg::Polygon& frame,
                                                       double margin, bool shrink) const {
  if (!shrink || margin == 0.0 || !std::isfinite(margin)) {
    return frame;
  }
  // Drop repeated corners: a zero-length side has no normal.
  std::vector<Vec2> corners;
  std::vector<float> heights;
  for (const auto& p : frame.points) {
    const Vec2 v{p.x, p.y};
    if (corners.empty() || std::hypot(v.x - corners.back().x, v.y - corners.back().y) > 1e-9) {
      corners.push_back(v);
      heights.push_back(p.z);
    }
  }
  while (corners.size() > 1 && std::hypot(corners.front().x - corners.back().x,
                                          corners.front().y - corners.back().y) <= 1e-9) {
    corners.pop_back();
    heights.pop_back();
  }
  const double area = signedArea(corners);
  if (corners.size() < 3 || std::abs(area) < 1e-12) {
    return frame;
  }
  const double orientation = area > 0.0 ? 1.0 : -1.0;
  const size_t n = corners.size();

  // Each side moves along its inward normal; a corner becomes the meeting
  // point of its two moved sides.
  std::vector<Vec2> origins(n);
  std::vector<Vec2> directions(n);
  for (size_t i = 0; i < n; ++i) {
    const Vec2 d = corners[(i + 1) % n] - corners[i];
    const double length = std::hypot(d.x, d.y);
    const Vec2 inward{-orientation * d.y / length, orientation * d.x / length};
    directions[i] = d;
    origins[i] = corners[i] + margin * inward;
  }
  geometry_msgs::msg::Polygon resized;
  std::vector<Vec2> moved(n);
  for (size_t i = 0; i < n; ++i) {
    const size_t prev = (i + n - 1) % n;
    const double denom = cross(directions[prev], directions[i]);
    if (std::abs(denom) < 1e-12) {
      moved[i] = origins[i];
    } else {
      const double t = cross(origins[i] - origins[prev], directions[i]) / denom;
      moved[i] = origins[prev] + t * directions[prev];
    }
  }
  // A side that turned round means the margin ate the frame.
  for (size_t i = 0; i < n; ++i) {
    if (dot(moved[(i + 1) % n] - moved[i], directions[i]) <= 0.0) {
      return resized;
    }
  }
  // So does a sliver left when the margin is half the frame width (up to the
  // rounding of the single-precision corners).
  if (signedArea(moved) * orientation <= 1e-6) {
    return resized;
  }
  resized.points.resize(n);
  for (size_t i = 0; i < n; ++i) {
    resized.points[i].x = static_cast<float>(moved[i].x);
    resized.points[i].y = static_cast<float>(moved[i].y);
    resized.points[i].z = heights[i];
  }
  return resized;
}
