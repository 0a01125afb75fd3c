// The lift hall: the rectangle in front of a lift door through which the lift checks let the
// robot reach the car (or, leaving, the waiting area).
#include <algorithm>
#include <cmath>

#include "logger/logger.hpp"
#include "planning/geometry.hpp"
#include "planning/nav_global_planning.hpp"

namespace planning {

namespace {

// The hall reaches at least this far beyond each end of the door side, and this much deeper
// than the robot-to-door distance.
constexpr double kHallMargin = 1.5;

float sideLength(const geometry_msgs::msg::Point32& a, const geometry_msgs::msg::Point32& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

}  // namespace

geometry_msgs::msg::Polygon NavGlobalPlanning::getLiftHallFrame(
    const geometry_msgs::msg::Polygon& lift, const geometry_msgs::msg::PoseStamped& first,
    const geometry_msgs::msg::PoseStamped& second) {
  if (lift.points.size() < 4) {
    LOG_ERROR("NavGlobalPlanning::getLiftHallFrame needs a lift of 4 points, got {}",
              lift.points.size());
    return geometry_msgs::msg::Polygon();
  }
  const geometry_msgs::msg::Point32& p0 = lift.points[0];
  const geometry_msgs::msg::Point32& p2 = lift.points[2];
  const geometry_msgs::msg::Point32& p3 = lift.points[3];

  // `first` is the robot, `second` the goal at the door. Remembering the farthest robot keeps
  // the hall deep enough for a robot that still has to come from there; a distance that is not
  // a number must not take the remembered one's place.
  const auto& robot = first.pose.position;
  const auto& goal = second.pose.position;
  const double distance = geometry::planarDistance(robot, goal);
  const double heading = geometry::yawOf(second);
  if (!std::isfinite(distance) || !std::isfinite(heading)) {
    LOG_ERROR("NavGlobalPlanning::getLiftHallFrame needs finite poses");
    return geometry_msgs::msg::Polygon();
  }
  max_robot_goal_distance_ = std::max(distance, max_robot_goal_distance_);
  const double depth = 0.5 * sideLength(p2, p3) + max_robot_goal_distance_ + kHallMargin;
  const double overhang = std::max(kHallMargin, 0.5 * sideLength(p0, p3));

  const geometry_msgs::msg::Point32 e3 =
      calculatePoint(p3, std::atan2(p3.y - p0.y, p3.x - p0.x), overhang);
  const geometry_msgs::msg::Point32 e0 =
      calculatePoint(p0, std::atan2(p0.y - p3.y, p0.x - p3.x), overhang);
  geometry_msgs::msg::Polygon hall;
  hall.points = {e3, calculatePoint(e3, heading, depth), calculatePoint(e0, heading, depth), e0};
  return hall;
}

}  // namespace planning
