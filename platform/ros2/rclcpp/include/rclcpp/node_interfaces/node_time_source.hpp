#ifndef RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_HPP_

#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_parameters_interface.hpp"
#include "rclcpp/node_interfaces/node_services_interface.hpp"
#include "rclcpp/node_interfaces/node_time_source_interface.hpp"
#include "rclcpp/node_interfaces/node_topics_interface.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/time_source.hpp"

namespace rclcpp {
namespace node_interfaces {

// The time source every node owns, attached to the node and its clock from construction on.
class NodeTimeSource : public NodeTimeSourceInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeTimeSource)

  // Throws std::invalid_argument when the node's "use_sim_time" is not a bool.
  NodeTimeSource(NodeBaseInterface::SharedPtr node_base, NodeTopicsInterface::SharedPtr node_topics,
                 NodeGraphInterface::SharedPtr node_graph,
                 NodeServicesInterface::SharedPtr node_services,
                 NodeLoggingInterface::SharedPtr node_logging,
                 NodeClockInterface::SharedPtr node_clock,
                 NodeParametersInterface::SharedPtr node_parameters,
                 const rclcpp::QoS& qos = rclcpp::ClockQoS(), bool use_clock_thread = true);
  ~NodeTimeSource() override;

 private:
  rclcpp::TimeSource time_source_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_HPP_
