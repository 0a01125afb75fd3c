#ifndef VANTRELL_COMMUNICATOR__MICRO_UNIT_ROBOT_EVENT_HPP_
#define VANTRELL_COMMUNICATOR__MICRO_UNIT_ROBOT_EVENT_HPP_

#include "rclcpp/rclcpp.hpp"
#include "vantrell_communicator/topic_outlet.hpp"
#include "vantrell_protocol/msg/robot_event.hpp"

namespace vantrell_communicator {
namespace testing {
class CommunicatorProbe;
}  // namespace testing

/// The robot-event unit: events the robot must react to or show.
class MicroUnitRobotEvent {
 public:
  explicit MicroUnitRobotEvent(rclcpp::Node& node);

  /// Raises an event ("communicator/robot_event").
  void publishRobotEvent(vantrell_protocol::msg::RobotEvent event);

 private:
  friend class testing::CommunicatorProbe;

  TopicOutlet<vantrell_protocol::msg::RobotEvent> robot_event_;
};

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__MICRO_UNIT_ROBOT_EVENT_HPP_
