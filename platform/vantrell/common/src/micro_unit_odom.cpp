#include "vantrell_communicator/micro_unit_odom.hpp"

namespace vantrell_communicator {

MicroUnitOdom::MicroUnitOdom(rclcpp::Node& node) {
  subscription_ = node.create_subscription<nav_msgs::msg::Odometry>(
      "odom", rclcpp::QoS(10), [this](std::shared_ptr<const nav_msgs::msg::Odometry> report) {
        geometry_msgs::msg::TwistStamped odom;
        odom.header.stamp = report->header.stamp;
        odom.header.frame_id = report->child_frame_id;
        odom.twist = report->twist.twist;
        setOdom(odom);
      });
}

geometry_msgs::msg::TwistStamped MicroUnitOdom::getOdom() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return odom_;
}

void MicroUnitOdom::setOdom(const geometry_msgs::msg::TwistStamped& odom) {
  std::lock_guard<std::mutex> lock(mutex_);
  odom_ = odom;
}

}  // namespace vantrell_communicator
