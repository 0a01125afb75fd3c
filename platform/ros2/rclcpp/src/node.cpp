#include "rclcpp/node.hpp"

#include "rclcpp/node_interfaces/node_time_source.hpp"

namespace rclcpp {

Node::Node(const std::string& node_name, const NodeOptions& options)
    : Node(node_name, "", options) {}

Node::Node(const std::string& node_name, const std::string& namespace_, const NodeOptions& options)
    : node_options_(options),
      node_base_(
          std::make_shared<node_interfaces::NodeBaseInterface>(node_name, namespace_, options)),
      node_graph_(std::make_shared<node_interfaces::NodeGraphInterface>(node_base_)),
      node_logging_(std::make_shared<node_interfaces::NodeLoggingInterface>(node_base_)),
      node_timers_(std::make_shared<node_interfaces::NodeTimersInterface>(node_base_)),
      node_topics_(
          std::make_shared<node_interfaces::NodeTopicsInterface>(node_base_, node_timers_)),
      node_services_(std::make_shared<node_interfaces::NodeServicesInterface>(node_base_)),
      node_clock_(std::make_shared<node_interfaces::NodeClockInterface>()),
      node_parameters_(std::make_shared<node_interfaces::NodeParametersInterface>(options)),
      node_time_source_(std::make_shared<node_interfaces::NodeTimeSource>(
          node_base_, node_topics_, node_graph_, node_services_, node_logging_, node_clock_,
          node_parameters_, options.clock_qos(), options.use_clock_thread())),
      node_waitables_(std::make_shared<node_interfaces::NodeWaitablesInterface>(node_base_)) {}

Node::~Node() = default;

const char* Node::get_name() const { return node_base_->get_name(); }

const char* Node::get_namespace() const { return node_base_->get_namespace(); }

const char* Node::get_fully_qualified_name() const {
  return node_base_->get_fully_qualified_name();
}

rclcpp::Logger Node::get_logger() const { return node_logging_->get_logger(); }

rclcpp::CallbackGroup::SharedPtr Node::create_callback_group(
    rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node) {
  return node_base_->create_callback_group(group_type, automatically_add_to_executor_with_node);
}

const rclcpp::ParameterValue& Node::declare_parameter(
    const std::string& name, const rclcpp::ParameterValue& default_value,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor, bool ignore_override) {
  return node_parameters_->declare_parameter(name, default_value, parameter_descriptor,
                                             ignore_override);
}

const rclcpp::ParameterValue& Node::declare_parameter(
    const std::string& name, rclcpp::ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor, bool ignore_override) {
  return node_parameters_->declare_parameter(name, type, parameter_descriptor, ignore_override);
}

void Node::undeclare_parameter(const std::string& name) {
  node_parameters_->undeclare_parameter(name);
}

bool Node::has_parameter(const std::string& name) const {
  return node_parameters_->has_parameter(name);
}

rcl_interfaces::msg::SetParametersResult Node::set_parameter(const rclcpp::Parameter& parameter) {
  return node_parameters_->set_parameters_atomically({parameter});
}

std::vector<rcl_interfaces::msg::SetParametersResult> Node::set_parameters(
    const std::vector<rclcpp::Parameter>& parameters) {
  return node_parameters_->set_parameters(parameters);
}

rcl_interfaces::msg::SetParametersResult Node::set_parameters_atomically(
    const std::vector<rclcpp::Parameter>& parameters) {
  return node_parameters_->set_parameters_atomically(parameters);
}

rclcpp::Parameter Node::get_parameter(const std::string& name) const {
  return node_parameters_->get_parameter(name);
}

bool Node::get_parameter(const std::string& name, rclcpp::Parameter& parameter) const {
  return node_parameters_->get_parameter(name, parameter);
}

std::vector<rclcpp::Parameter> Node::get_parameters(const std::vector<std::string>& names) const {
  return node_parameters_->get_parameters(names);
}

rcl_interfaces::msg::ParameterDescriptor Node::describe_parameter(const std::string& name) const {
  return node_parameters_->describe_parameters({name}).front();
}

std::vector<rcl_interfaces::msg::ParameterDescriptor> Node::describe_parameters(
    const std::vector<std::string>& names) const {
  return node_parameters_->describe_parameters(names);
}

Node::OnSetParametersCallbackHandle::SharedPtr Node::add_on_set_parameters_callback(
    OnParametersSetCallbackType callback) {
  return node_parameters_->add_on_set_parameters_callback(callback);
}

void Node::remove_on_set_parameters_callback(const OnSetParametersCallbackHandle* const handler) {
  node_parameters_->remove_on_set_parameters_callback(handler);
}

size_t Node::count_publishers(const std::string& topic_name) const {
  return node_graph_->count_publishers(topic_name);
}

size_t Node::count_subscribers(const std::string& topic_name) const {
  return node_graph_->count_subscribers(topic_name);
}

rclcpp::Clock::SharedPtr Node::get_clock() { return node_clock_->get_clock(); }

rclcpp::Clock::ConstSharedPtr Node::get_clock() const {
  return std::const_pointer_cast<const node_interfaces::NodeClockInterface>(node_clock_)
      ->get_clock();
}

rclcpp::Time Node::now() const { return node_clock_->get_clock()->now(); }

#define RCLCPP_NODE_INTERFACE_GETTER_(Type, getter, member) \
  node_interfaces::Type::SharedPtr Node::getter() { return member; }

RCLCPP_NODE_INTERFACE_GETTER_(NodeBaseInterface, get_node_base_interface, node_base_)
RCLCPP_NODE_INTERFACE_GETTER_(NodeClockInterface, get_node_clock_interface, node_clock_)
RCLCPP_NODE_INTERFACE_GETTER_(NodeGraphInterface, get_node_graph_interface, node_graph_)
RCLCPP_NODE_INTERFACE_GETTER_(NodeLoggingInterface, get_node_logging_interface, node_logging_)
RCLCPP_NODE_INTERFACE_GETTER_(NodeTimersInterface, get_node_timers_interface, node_timers_)
RCLCPP_NODE_INTERFACE_GETTER_(NodeTopicsInterface, get_node_topics_interface, node_topics_)
RCLCPP_NODE_INTERFACE_GETTER_(NodeServicesInterface, get_node_services_interface, node_services_)
RCLCPP_NODE_INTERFACE_GETTER_(NodeWaitablesInterface, get_node_waitables_interface, node_waitables_)
RCLCPP_NODE_INTERFACE_GETTER_(NodeParametersInterface, get_node_parameters_interface,
                              node_parameters_)
RCLCPP_NODE_INTERFACE_GETTER_(NodeTimeSourceInterface, get_node_time_source_interface,
                              node_time_source_)

#undef RCLCPP_NODE_INTERFACE_GETTER_

const rclcpp::NodeOptions& Node::get_node_options() const { return node_options_; }

}  // namespace rclcpp
