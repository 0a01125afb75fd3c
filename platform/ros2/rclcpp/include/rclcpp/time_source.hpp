#ifndef RCLCPP__TIME_SOURCE_HPP_
#define RCLCPP__TIME_SOURCE_HPP_

#include <memory>

#include "rclcpp/clock.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_parameters_interface.hpp"
#include "rclcpp/node_interfaces/node_services_interface.hpp"
#include "rclcpp/node_interfaces/node_topics_interface.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp {

/**
 * Drives the ROS-time clocks attached to it from the attached node's "use_sim_time" parameter:
 * while it is true their ROS time override is enabled and set from every message on "/clock"
 * (rosgraph_msgs/msg/Clock; 0 until the first one), otherwise they read the process's time.
 * Every node owns one, attached to itself and its clock; the parameter is declared (false) when
 * the node has none, and a value that is not a bool is refused. With `use_clock_thread` the
 * "/clock" subscription is served by an executor on a thread of the time source's own, so a node
 * follows the time even while its own executor is busy or not spinning.
 */
class TimeSource {
 public:
  explicit TimeSource(rclcpp::Node::SharedPtr node, const rclcpp::QoS& qos = rclcpp::ClockQoS(),
                      bool use_clock_thread = true);
  explicit TimeSource(const rclcpp::QoS& qos = rclcpp::ClockQoS(), bool use_clock_thread = true);

  TimeSource(const TimeSource&) = delete;
  TimeSource& operator=(const TimeSource&) = delete;
  TimeSource(TimeSource&&) = default;
  TimeSource& operator=(TimeSource&&) = default;

  void attachNode(rclcpp::Node::SharedPtr node);
  // Throws std::invalid_argument when the node's "use_sim_time" is not a bool.
  void attachNode(
      rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_interface,
      rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr node_topics_interface,
      rclcpp::node_interfaces::NodeGraphInterface::SharedPtr node_graph_interface,
      rclcpp::node_interfaces::NodeServicesInterface::SharedPtr node_services_interface,
      rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_interface,
      rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock_interface,
      rclcpp::node_interfaces::NodeParametersInterface::SharedPtr node_parameters_interface);
  // Stops following "/clock"; the attached clocks read the process's time again.
  void detachNode();

  // Throws std::invalid_argument for a clock that is not of ROS time.
  void attachClock(rclcpp::Clock::SharedPtr clock);
  void detachClock(rclcpp::Clock::SharedPtr clock);

  bool get_use_clock_thread();
  // Takes effect when the time source next starts following "/clock".
  void set_use_clock_thread(bool use_clock_thread);
  bool clock_thread_is_joinable();

  ~TimeSource();

 private:
  class NodeState;
  std::shared_ptr<NodeState> node_state_;

  bool constructed_use_clock_thread_;
  rclcpp::QoS constructed_qos_;
};

}  // namespace rclcpp

#endif  // RCLCPP__TIME_SOURCE_HPP_
