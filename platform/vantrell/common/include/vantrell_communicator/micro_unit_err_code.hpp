#ifndef VANTRELL_COMMUNICATOR__MICRO_UNIT_ERR_CODE_HPP_
#define VANTRELL_COMMUNICATOR__MICRO_UNIT_ERR_CODE_HPP_

#include <string>

#include "rclcpp/rclcpp.hpp"
#include "vantrell_communicator/topic_outlet.hpp"
#include "vantrell_protocol/msg/rosbag_trigger.hpp"

namespace vantrell_communicator {
namespace testing {
class CommunicatorProbe;
}  // namespace testing

/// The error-code unit: requests for diagnostic recordings.
class MicroUnitErrCode {
 public:
  explicit MicroUnitErrCode(rclcpp::Node& node);

  /// Asks the recorder to keep what happened around now
  /// ("communicator/active_trigger_rosbag").
  void publishActiveTriggerRosbag(const std::string& module, const std::string& event);

 private:
  friend class testing::CommunicatorProbe;

  TopicOutlet<vantrell_protocol::msg::RosbagTrigger> rosbag_trigger_;
};

}  // namespace vantrell_communicator

#endif  // VANTRELL_COMMUNICATOR__MICRO_UNIT_ERR_CODE_HPP_
