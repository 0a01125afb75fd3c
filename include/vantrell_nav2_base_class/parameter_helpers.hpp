#ifndef VANTRELL_NAV2_BASE_CLASS__PARAMETER_HELPERS_HPP_
#define VANTRELL_NAV2_BASE_CLASS__PARAMETER_HELPERS_HPP_

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
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

// Integer parameters are 64-bit; a value an int cannot hold fails as narrowIntegerParameter says.
int declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                           const std::string& name, const int& default_value);

std::string declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                   const std::string& name, const std::string& default_value);

// Without this one a string literal default would convert to bool, not to std::string.
std::string declareAndGetParameter(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                                   const std::string& name, const char* default_value);

// A plain declaration of `name` on `node` (ParameterAlreadyDeclaredException when the node's code
// declared it before) that lets a host's value through. A host that gives its values with
// automatically_declare_parameters_from_overrides has them declared, dynamically typed, before
// any code runs: such a name is taken back and declared with `default_value`'s type, so that its
// override still wins and a value of another type fails here.
const rclcpp::ParameterValue& declareNodeParameter(rclcpp_lifecycle::LifecycleNode& node,
                                                   const std::string& name,
                                                   const rclcpp::ParameterValue& default_value);

template <typename ValueT>
const rclcpp::ParameterValue& declareNodeParameter(rclcpp_lifecycle::LifecycleNode& node,
                                                   const std::string& name,
                                                   const ValueT& default_value) {
  return declareNodeParameter(node, name, rclcpp::ParameterValue(default_value));
}

// `value` of the integer parameter `name` as an int. A value outside [lowest, highest] must not be
// wrapped into some other number: it is logged as an ERROR naming the parameter and thrown as
// rclcpp::exceptions::InvalidParameterValueException, which fails the configure that reads it.
int narrowIntegerParameter(const std::string& name, std::int64_t value,
                           int lowest = std::numeric_limits<int>::min(),
                           int highest = std::numeric_limits<int>::max());

// The integer parameter `name` narrowed as narrowIntegerParameter says, or nothing when the node
// has no parameter of that name (the reader then keeps what it had).
std::optional<int> getNarrowedParameter(rclcpp_lifecycle::LifecycleNode& node,
                                        const std::string& name,
                                        int lowest = std::numeric_limits<int>::min(),
                                        int highest = std::numeric_limits<int>::max());

// `value` of the double parameter `name` when it is a number from `lowest` to `highest`; anything
// else fails as narrowIntegerParameter says, in the same words.
double checkDoubleParameter(const std::string& name, double value, double lowest, double highest);

// `metres` of the length parameter `name`, which the planners measure in cells of `resolution`
// metres: its cells must be a count an int holds, as every cell index and offset of a grid map
// is. A longer length is longer than any grid map and would overflow the cell arithmetic it
// feeds; it fails as checkDoubleParameter says.
double checkLengthParameter(const std::string& name, double metres, double resolution);

#endif  // VANTRELL_NAV2_BASE_CLASS__PARAMETER_HELPERS_HPP_
