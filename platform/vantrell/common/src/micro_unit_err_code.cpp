#include "vantrell_communicator/micro_unit_err_code.hpp"

namespace vantrell_communicator {

MicroUnitErrCode::MicroUnitErrCode(rclcpp::Node& node)
    : rosbag_trigger_(node, "communicator/active_trigger_rosbag", 10) {}

void MicroUnitErrCode::publishActiveTriggerRosbag(const std::string& module,
                                                  const std::string& event) {
  vantrell_protocol::msg::RosbagTrigger trigger;
  trigger.module = module;
  trigger.event = event;
  rosbag_trigger_.publish(trigger);
}

}  // namespace vantrell_communicator
