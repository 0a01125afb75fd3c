#ifndef RCLCPP__PARAMETER_HPP_
#define RCLCPP__PARAMETER_HPP_

#include <ostream>
#include <string>
#include <vector>

#include "rclcpp/exceptions.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp {

// A named parameter value.
class Parameter {
 public:
  Parameter();
  explicit Parameter(const std::string& name);
  Parameter(const std::string& name, const ParameterValue& value);
  template <typename ValueTypeT>
  Parameter(const std::string& name, ValueTypeT value) : Parameter(name, ParameterValue(value)) {}

  bool operator==(const Parameter& rhs) const;
  bool operator!=(const Parameter& rhs) const;

  ParameterType get_type() const;
  std::string get_type_name() const;
  const std::string& get_name() const;
  const ParameterValue& get_parameter_value() const;

  template <ParameterType ParamT>
  decltype(auto) get_value() const {
    return value_.get<ParamT>();
  }
  template <typename T>
  decltype(auto) get_value() const {
    return value_.get<T>();
  }

  bool as_bool() const;
  int64_t as_int() const;
  double as_double() const;
  const std::string& as_string() const;
  const std::vector<uint8_t>& as_byte_array() const;
  const std::vector<bool>& as_bool_array() const;
  const std::vector<int64_t>& as_integer_array() const;
  const std::vector<double>& as_double_array() const;
  const std::vector<std::string>& as_string_array() const;

  std::string value_to_string() const;

 private:
  std::string name_;
  ParameterValue value_;
};

std::string to_string(const Parameter& param);
std::ostream& operator<<(std::ostream& os, const rclcpp::Parameter& pv);

}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_HPP_
