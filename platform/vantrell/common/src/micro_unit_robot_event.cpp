#include "vantrell_communicator/micro_unit_robot_event.hpp"

#include <utility>

namespace vantrell_communicator {

MicroUnitRobotEvent::MicroUnitRobotEvent(rclcpp::Node& node)
    : robot_event_(node, "communicator/robot_event", 10) {}

void MicroUnitRobotEvent::publishRobotEvent(vantrell_protocol::msg::RobotEvent event) {
  robot_event_.publish(event);
}

}  // namespace vantrell_communicator
