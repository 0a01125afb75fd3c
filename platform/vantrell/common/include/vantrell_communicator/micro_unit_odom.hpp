#ifndef VANTRELL_COMMUNICATOR__MICRO_UNIT_ODOM_HPP_
#define VANTRELL_COMMUNICATOR__MICRO_UNIT_ODOM_HPP_

#include <mutex>

#include "geometry_msgs/msg/twist_stamped.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "rclcpp/rclcpp.hpp"

namespace vantrell_communicator {
namespace testing {
class CommunicatorProbe;
}  // namespace testing

/// The odometry unit: the robot's latest measured velocity, as the robot's base reports it on
/// "odom" (nav_msgs/msg/Odometry).
class MicroUnitOdom {
 public:
  /// Listens on `node`, which the engine spins.
  explicit MicroUnitOdom(rclcpp::Node& node);

  /// The latest odometry record: the report's stamp, the frame its twist is given in (the
  /// report's child frame) and the twist; a zero twist before the first report.
  geometry_msgs::msg::TwistStamped getOdom() const;

 private:
  friend class testing::CommunicatorProbe;

  void setOdom(const geometry_msgs::msg::TwistStamped& odom);

  mutable std::mutex mutex_;
  geometry_msgs::msg::TwistStamped odom_;
  rclcpp::Subscription<nav_msgs::msg::Odometry>::SharedPtr subscription_;
};

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__MICRO_UNIT_ODOM_HPP_
