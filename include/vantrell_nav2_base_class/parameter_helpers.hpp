#ifndef VANTRELL_NAV2_BASE_CLASS__PARAMETER_HELPERS_HPP_
#define VANTRELL_NAV2_BASE_CLASS__PARAMETER_HELPERS_HPP_

#include <memory>
#include <string>

#include "rclcpp_lifecycle/lifecycle_node.hpp"

// Declare `name` with `default_value` unless the node already has it, then return
// its current value. Several classes read the same names, so the first
// declaration's default (or a value given from outside) holds. A parameter of
// another type makes the read throw rclcpp's type exception.
double declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                              const std::string& name, const double& default_value);

bool declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                            const std::string& name, const bool& default_value);

int declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                           const std::string& name, const int& default_value);

std::string declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                   const std::string& name, const std::string& default_value);

// Without this one a string literal default would convert to bool, not to std::string.
std::string declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                   const std::string& name, const char* default_value);

#endif  // VANTRELL_NAV2_BASE_CLASS__PARAMETER_HELPERS_HPP_
