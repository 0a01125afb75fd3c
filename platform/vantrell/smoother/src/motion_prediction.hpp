#ifndef VANTRELL_NAV2_SMOOTHER__MOTION_PREDICTION_HPP_
#define VANTRELL_NAV2_SMOOTHER__MOTION_PREDICTION_HPP_

#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "vec2.hpp"

namespace vantrell_nav2_smoother {

// Where the robot's current motion would put each pose of a stretch, and how
// much that counts.
struct MotionPrediction {
  std::vector<Vec2> points;
  std::vector<double> weights;
};

// For a pose `arc` metres along the stretch: its start moved by the arc the
// robot drives over that distance with its heading, speed and turn rate. The
// weight fades linearly from `weight` at the start to 0 at the distance the
// robot covers in one second; a standing robot predicts nothing.
MotionPrediction predictMotion(const geometry_msgs::msg::PoseStamped& robot,
                               const geometry_msgs::msg::Twist& twist, const Vec2& start,
                               const std::vector<double>& arc, double weight);

}  // namespace vantrell_nav2_smoother

#endif  // VANTRELL_NAV2_SMOOTHER__MOTION_PREDICTION_HPP_
