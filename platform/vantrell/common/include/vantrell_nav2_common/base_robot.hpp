#ifndef VANTRELL_NAV2_COMMON__BASE_ROBOT_HPP_
#define VANTRELL_NAV2_COMMON__BASE_ROBOT_HPP_

#include <string>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "nav_msgs/msg/path.hpp"

/**
 * Planar geometry of the robot and its surroundings, plus identifiers.
 *
 * The class holds no state: every operation is a pure function of its
 * arguments (generateUuid draws from a per-thread generator), so one object
 * may be shared by any number of threads.
 */
class BaseRobot {
 public:
  BaseRobot() = default;

  /// Yaw in radians of a quaternion, with the pitch singularity handled.
  double quaternion2Yaw(const geometry_msgs::msg::Quaternion& q) const;

  /// A random (version 4) UUID in its 36-character text form.
  std::string generateUuid() const;

  /// Planar distance in metres between the positions of two poses.
  double calDistance(const geometry_msgs::msg::PoseStamped& a,
                     const geometry_msgs::msg::PoseStamped& b) const;

  /// a - b wrapped into (-pi, pi].
  double calDelAngle(double a, double b) const;

  /// Planar length of the polyline through the poses of a path.
  double calpathDistance(const nav_msgs::msg::Path& path) const;

  /// Replaces the poses of path by a copy of poses; the header stays as it is.
  void convertToPath(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                     nav_msgs::msg::Path& path) const;

  /**
   * Whether the planar position of pose lies inside polygon. Points on an edge
   * count as inside; a polygon of fewer than three points contains nothing.
   */
  bool isPointInPolygon(const geometry_msgs::msg::Polygon& polygon,
                        const geometry_msgs::msg::Pose& pose) const;

  /**
   * Moves a polygon given in the frame of pose onto pose: every point is turned
   * by the pose's yaw and shifted by its position. The header is left alone.
   */
  void translatePolygon(geometry_msgs::msg::PolygonStamped& polygon,
                        const geometry_msgs::msg::PoseStamped& pose) const;

  /**
   * Whether inner lies wholly inside outer (touching the boundary is allowed).
   * An empty inner polygon or an outer one of fewer than three points gives
   * false: nothing can be confirmed inside.
   */
  bool isPolygonContained(const geometry_msgs::msg::Polygon& inner,
                          const geometry_msgs::msg::Polygon& outer) const;

  /**
   * With shrink set, the lift frame moved inwards by margin on every side (a
   * negative margin grows it); without it, an unchanged copy. The frame must
   * be convex. When the margin consumes the frame, the result has no points:
   * no position is then inside it. Frames of fewer than three points come
   * back unchanged, and so do margins that are not finite.
   */
  geometry_msgs::msg::Polygon resizeLiftFrame(const geometry_msgs::msg::Polygon& frame,
                                              double margin, bool shrink) const;
};

#endif  // VANTRELL_NAV2_COMMON__BASE_ROBOT_HPP_
