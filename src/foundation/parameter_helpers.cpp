#include "vantrell_nav2_base_class/parameter_helpers.hpp"

#include <fmt/format.h>

#include <cstdint>
#include <limits>

#include "logger/logger.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rclcpp/exceptions.hpp"

namespace {

template <typename ReadT>
ReadT declareIfMissingAndRead(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                              const std::string& name,
                              const rclcpp::ParameterValue& default_value) {
  if (!node->has_parameter(name)) {
    node->declare_parameter(name, default_value, rcl_interfaces::msg::ParameterDescriptor());
  }
  ReadT value{};
  node->get_parameter(name, value);
  return value;
}

// The one refusal of a parameter value: an ERROR naming it, and the exception that fails the
// configure reading it.
template <typename ValueT>
[[noreturn]] void refuseParameter(const std::string& name, ValueT value, ValueT lowest,
                                  ValueT highest) {
  const std::string text =
      fmt::format("parameter \"{}\" is {}, outside {} to {}", name, value, lowest, highest);
  LOG_ERROR("{}", text);
  throw rclcpp::exceptions::InvalidParameterValueException(text);
}

}  // namespace

double declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                              const std::string& name, const double& default_value) {
  return declareIfMissingAndRead<double>(node, name, rclcpp::ParameterValue(default_value));
}

bool declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                            const std::string& name, const bool& default_value) {
  return declareIfMissingAndRead<bool>(node, name, rclcpp::ParameterValue(default_value));
}

int declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                           const std::string& name, const int& default_value) {
  const auto value = declareIfMissingAndRead<std::int64_t>(
      node, name, rclcpp::ParameterValue(static_cast<std::int64_t>(default_value)));
  return narrowIntegerParameter(name, value);
}

std::string declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                   const std::string& name, const std::string& default_value) {
  return declareIfMissingAndRead<std::string>(node, name, rclcpp::ParameterValue(default_value));
}

std::string declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                   const std::string& name, const char* default_value) {
  return declareAndGetParameter(node, name, std::string(default_value));
}

const rclcpp::ParameterValue& declareNodeParameter(rclcpp_lifecycle::LifecycleNode& node,
                                                   const std::string& name,
                                                   const rclcpp::ParameterValue& default_value) {
  const auto& overrides = node.get_node_parameters_interface()->get_parameter_overrides();
  if (node.has_parameter(name) && overrides.count(name) > 0 &&
      node.describe_parameter(name).dynamic_typing) {
    node.undeclare_parameter(name);
  }
  return node.declare_parameter(name, default_value);
}

int narrowIntegerParameter(const std::string& name, std::int64_t value, int lowest, int highest) {
  if (value < lowest || value > highest) {
    refuseParameter<std::int64_t>(name, value, lowest, highest);
  }
  return static_cast<int>(value);
}

double checkDoubleParameter(const std::string& name, double value, double lowest, double highest) {
  // Written so that a NaN fails too.
  if (!(value >= lowest && value <= highest)) {
    refuseParameter(name, value, lowest, highest);
  }
  return value;
}

double checkLengthParameter(const std::string& name, double metres, double resolution) {
  const double longest = std::numeric_limits<int>::max() * resolution;
  return checkDoubleParameter(name, metres, -longest, longest);
}

std::optional<int> getNarrowedParameter(rclcpp_lifecycle::LifecycleNode& node,
                                        const std::string& name, int lowest, int highest) {
  std::int64_t value = 0;
  if (!node.get_parameter(name, value)) {
    return std::nullopt;
  }
  return narrowIntegerParameter(name, value, lowest, highest);
}
