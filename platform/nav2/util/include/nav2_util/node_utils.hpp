#ifndef NAV2_UTIL__NODE_UTILS_HPP_
#define NAV2_UTIL__NODE_UTILS_HPP_

#include <string>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rclcpp/rclcpp.hpp"

namespace nav2_util {

/**
 * Declares a parameter with a default unless the node has it already: several
 * components may read one name, and the first declaration (or a value given
 * to the node from outside) holds.
 */
template <typename NodeT>
void declare_parameter_if_not_declared(
    NodeT node, const std::string& param_name, const rclcpp::ParameterValue& default_value,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
        rcl_interfaces::msg::ParameterDescriptor()) {
  if (!node->has_parameter(param_name)) {
    node->declare_parameter(param_name, default_value, parameter_descriptor);
  }
}

}  // namespace nav2_util

#endif  // NAV2_UTIL__NODE_UTILS_HPP_
