#include "vantrell_communicator/micro_unit_odom.hpp"

namespace vantrell_communicator {

geometry_msgs::msg::TwistStamped MicroUnitOdom::getOdom() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return odom_;
}

void MicroUnitOdom::setOdom(const geometry_msgs::msg::TwistStamped& odom) {
  std::lock_guard<std::mutex> lock(mutex_);
  odom_ = odom;
}

}  // namespace vantrell_communicator
