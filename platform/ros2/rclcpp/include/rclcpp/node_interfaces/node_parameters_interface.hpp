#ifndef RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_INTERFACE_HPP_

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_options.hpp"
#include "rclcpp/parameter.hpp"

namespace rclcpp {
namespace node_interfaces {

struct OnSetParametersCallbackHandle {
  RCLCPP_SMART_PTR_DEFINITIONS(OnSetParametersCallbackHandle)

  using OnParametersSetCallbackType = std::function<rcl_interfaces::msg::SetParametersResult(
      const std::vector<rclcpp::Parameter>&)>;

  OnParametersSetCallbackType callback;
};

// The parameters of a node, with rclcpp's rules: a parameter must be declared
// before it is read or set (unless undeclared parameters are allowed), an
// override from the node options replaces the default at declaration, and a
// statically typed parameter keeps its type.
class NodeParametersInterface {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeParametersInterface)

  using OnParametersSetCallbackType = OnSetParametersCallbackHandle::OnParametersSetCallbackType;

  explicit NodeParametersInterface(const NodeOptions& options);
  virtual ~NodeParametersInterface();

  const rclcpp::ParameterValue& declare_parameter(
      const std::string& name, const rclcpp::ParameterValue& default_value,
      const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
          rcl_interfaces::msg::ParameterDescriptor(),
      bool ignore_override = false);
  // Declares a parameter of `type` whose value must come from an override.
  const rclcpp::ParameterValue& declare_parameter(
      const std::string& name, rclcpp::ParameterType type,
      const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
          rcl_interfaces::msg::ParameterDescriptor(),
      bool ignore_override = false);
  void undeclare_parameter(const std::string& name);
  bool has_parameter(const std::string& name) const;

  std::vector<rcl_interfaces::msg::SetParametersResult> set_parameters(
      const std::vector<rclcpp::Parameter>& parameters);
  rcl_interfaces::msg::SetParametersResult set_parameters_atomically(
      const std::vector<rclcpp::Parameter>& parameters);

  std::vector<rclcpp::Parameter> get_parameters(const std::vector<std::string>& names) const;
  rclcpp::Parameter get_parameter(const std::string& name) const;
  bool get_parameter(const std::string& name, rclcpp::Parameter& parameter) const;
  bool get_parameters_by_prefix(const std::string& prefix,
                                std::map<std::string, rclcpp::Parameter>& parameters) const;
  std::vector<rcl_interfaces::msg::ParameterDescriptor> describe_parameters(
      const std::vector<std::string>& names) const;
  std::vector<uint8_t> get_parameter_types(const std::vector<std::string>& names) const;
  std::vector<std::string> list_parameter_names() const;

  OnSetParametersCallbackHandle::SharedPtr add_on_set_parameters_callback(
      OnParametersSetCallbackType callback);
  void remove_on_set_parameters_callback(const OnSetParametersCallbackHandle* const handler);

  const std::map<std::string, rclcpp::ParameterValue>& get_parameter_overrides() const;

 private:
  struct ParameterInfo {
    rclcpp::ParameterValue value;
    rcl_interfaces::msg::ParameterDescriptor descriptor;
  };

  const rclcpp::ParameterValue& declare_checked(
      const std::string& name, rclcpp::ParameterType type, const rclcpp::ParameterValue& value,
      rcl_interfaces::msg::ParameterDescriptor descriptor);
  rcl_interfaces::msg::SetParametersResult run_on_set_callbacks(
      const std::vector<rclcpp::Parameter>& parameters);

  mutable std::recursive_mutex mutex_;
  std::map<std::string, ParameterInfo> parameters_;
  std::map<std::string, rclcpp::ParameterValue> overrides_;
  std::list<OnSetParametersCallbackHandle::WeakPtr> on_set_callbacks_;
  const bool allow_undeclared_;
  bool in_callback_ = false;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_INTERFACE_HPP_
