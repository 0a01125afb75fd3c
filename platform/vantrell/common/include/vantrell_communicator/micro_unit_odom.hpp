#ifndef VANTRELL_COMMUNICATOR__MICRO_UNIT_ODOM_HPP_
#define VANTRELL_COMMUNICATOR__MICRO_UNIT_ODOM_HPP_

#include <mutex>

#include "geometry_msgs/msg/twist_stamped.hpp"

namespace vantrell_communicator {
namespace testing {
class CommunicatorProbe;
}  // namespace testing

/// The odometry unit: the robot's latest measured velocity.
class MicroUnitOdom {
 public:
  MicroUnitOdom() = default;

  /// The latest odometry record (a zero twist before the first one).
  geometry_msgs::msg::TwistStamped getOdom() const;

 private:
  friend class testing::CommunicatorProbe;

  void setOdom(const geometry_msgs::msg::TwistStamped& odom);

  mutable std::mutex mutex_;
  geometry_msgs::msg::TwistStamped odom_;
};

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__MICRO_UNIT_ODOM_HPP_
