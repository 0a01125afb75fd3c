#include "rclcpp/node_options.hpp"

namespace rclcpp {

Context::SharedPtr NodeOptions::context() const {
  return context_ ? context_ : contexts::get_global_default_context();
}

NodeOptions& NodeOptions::context(Context::SharedPtr context) {
  context_ = context;
  return *this;
}

const std::vector<std::string>& NodeOptions::arguments() const { return arguments_; }

NodeOptions& NodeOptions::arguments(const std::vector<std::string>& arguments) {
  arguments_ = arguments;
  return *this;
}

std::vector<Parameter>& NodeOptions::parameter_overrides() { return parameter_overrides_; }

const std::vector<Parameter>& NodeOptions::parameter_overrides() const {
  return parameter_overrides_;
}

NodeOptions& NodeOptions::parameter_overrides(const std::vector<Parameter>& parameter_overrides) {
  parameter_overrides_ = parameter_overrides;
  return *this;
}

const rclcpp::QoS& NodeOptions::clock_qos() const { return clock_qos_; }

NodeOptions& NodeOptions::clock_qos(const rclcpp::QoS& clock_qos) {
  clock_qos_ = clock_qos;
  return *this;
}

#define RCLCPP_NODE_OPTION_FLAG_(name)               \
  bool NodeOptions::name() const { return name##_; } \
  NodeOptions& NodeOptions::name(bool value) {       \
    name##_ = value;                                 \
    return *this;                                    \
  }

RCLCPP_NODE_OPTION_FLAG_(use_global_arguments)
RCLCPP_NODE_OPTION_FLAG_(enable_rosout)
RCLCPP_NODE_OPTION_FLAG_(use_intra_process_comms)
RCLCPP_NODE_OPTION_FLAG_(enable_topic_statistics)
RCLCPP_NODE_OPTION_FLAG_(start_parameter_services)
RCLCPP_NODE_OPTION_FLAG_(start_parameter_event_publisher)
RCLCPP_NODE_OPTION_FLAG_(use_clock_thread)
RCLCPP_NODE_OPTION_FLAG_(allow_undeclared_parameters)
RCLCPP_NODE_OPTION_FLAG_(automatically_declare_parameters_from_overrides)

#undef RCLCPP_NODE_OPTION_FLAG_

}  // namespace rclcpp
