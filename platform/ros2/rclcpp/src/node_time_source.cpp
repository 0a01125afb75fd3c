#include "rclcpp/node_interfaces/node_time_source.hpp"

#include <utility>

namespace rclcpp {
namespace node_interfaces {

NodeTimeSource::NodeTimeSource(NodeBaseInterface::SharedPtr node_base,
                               NodeTopicsInterface::SharedPtr node_topics,
                               NodeGraphInterface::SharedPtr node_graph,
                               NodeServicesInterface::SharedPtr node_services,
                               NodeLoggingInterface::SharedPtr node_logging,
                               NodeClockInterface::SharedPtr node_clock,
                               NodeParametersInterface::SharedPtr node_parameters,
                               const rclcpp::QoS& qos, bool use_clock_thread)
    : time_source_(qos, use_clock_thread) {
  time_source_.attachNode(std::move(node_base), std::move(node_topics), std::move(node_graph),
                          std::move(node_services), std::move(node_logging), std::move(node_clock),
                          std::move(node_parameters));
}

NodeTimeSource::~NodeTimeSource() = default;

}  // namespace node_interfaces
}  // namespace rclcpp
