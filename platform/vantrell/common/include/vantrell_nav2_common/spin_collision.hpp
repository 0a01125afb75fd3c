#ifndef VANTRELL_NAV2_COMMON__SPIN_COLLISION_HPP_
#define VANTRELL_NAV2_COMMON__SPIN_COLLISION_HPP_

#include <memory>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_common/collision_check.hpp"

namespace Collision {

/**
 * Turn-in-place tests on top of a CollisionCheck. Turning angles are offsets
 * from a heading in radians, positive counter-clockwise: a turn "from min to
 * max" sweeps every heading yaw + a for a in [min, max].
 */
class SpinCollision {
 public:
  /// Throws std::invalid_argument for an empty collision check.
  explicit SpinCollision(std::shared_ptr<CollisionCheck> collision_check);

  /**
   * True when the robot, standing at pose, can turn through every heading
   * pose.theta + a, a in [min_angle, max_angle], without touching an obstacle or
   * unknown cell. The bounds may come in either order; a sweep wider than one turn
   * tests each heading once. All headings are tested on one map snapshot.
   */
  bool isCollisionFree(const geometry_msgs::msg::Pose2D& pose, double min_angle,
                       double max_angle) const;

  /// As above for a stamped pose (its yaw taken from the orientation).
  bool isCollisionFree(const geometry_msgs::msg::PoseStamped& pose, double min_angle,
                       double max_angle) const;

  /**
   * The two ways of turning from heading from_yaw to heading to_yaw: min_angle
   * is the clockwise turn (in (-2 pi, 0]) and max_angle the counter-clockwise
   * one (in [0, 2 pi)); both are 0 when the headings agree. Always true.
   */
  bool getSpinAngle(double from_yaw, double to_yaw, double& min_angle, double& max_angle) const;

  /**
   * The two ways of turning the robot towards the path: the target heading
   * points from the robot to the first pose of the path that lies at least
   * step metres away from it. False, with both angles 0, when no pose is that
   * far (nothing to turn towards).
   */
  bool getSpinAngle(const geometry_msgs::msg::PoseStamped& robot, const nav_msgs::msg::Path& path,
                    double step, double& min_angle, double& max_angle) const;

 private:
  std::shared_ptr<CollisionCheck> collision_check_;
  BaseRobot base_robot_;
};

}  // namespace Collision

#endif  // VANTRELL_NAV2_COMMON__SPIN_COLLISION_HPP_
