#include "rclcpp/parameter_value.hpp"

#include <sstream>

namespace rclcpp {

std::string to_string(ParameterType type) {
  switch (type) {
    case PARAMETER_NOT_SET:
      return "not set";
    case PARAMETER_BOOL:
      return "bool";
    case PARAMETER_INTEGER:
      return "integer";
    case PARAMETER_DOUBLE:
      return "double";
    case PARAMETER_STRING:
      return "string";
    case PARAMETER_BYTE_ARRAY:
      return "byte_array";
    case PARAMETER_BOOL_ARRAY:
      return "bool_array";
    case PARAMETER_INTEGER_ARRAY:
      return "integer_array";
    case PARAMETER_DOUBLE_ARRAY:
      return "double_array";
    case PARAMETER_STRING_ARRAY:
      return "string_array";
    default:
      return "unknown type";
  }
}

std::ostream& operator<<(std::ostream& os, ParameterType type) { return os << to_string(type); }

ParameterValue::ParameterValue() = default;
ParameterValue::ParameterValue(const bool bool_value) : value_(bool_value) {}
ParameterValue::ParameterValue(const int int_value) : value_(static_cast<int64_t>(int_value)) {}
ParameterValue::ParameterValue(const int64_t int_value) : value_(int_value) {}
ParameterValue::ParameterValue(const float double_value)
    : value_(static_cast<double>(double_value)) {}
ParameterValue::ParameterValue(const double double_value) : value_(double_value) {}
ParameterValue::ParameterValue(const std::string& string_value) : value_(string_value) {}
ParameterValue::ParameterValue(const char* string_value) : value_(std::string(string_value)) {}
ParameterValue::ParameterValue(const std::vector<uint8_t>& byte_array_value)
    : value_(byte_array_value) {}
ParameterValue::ParameterValue(const std::vector<bool>& bool_array_value)
    : value_(bool_array_value) {}
ParameterValue::ParameterValue(const std::vector<int>& int_array_value)
    : value_(std::vector<int64_t>(int_array_value.begin(), int_array_value.end())) {}
ParameterValue::ParameterValue(const std::vector<int64_t>& int_array_value)
    : value_(int_array_value) {}
ParameterValue::ParameterValue(const std::vector<float>& double_array_value)
    : value_(std::vector<double>(double_array_value.begin(), double_array_value.end())) {}
ParameterValue::ParameterValue(const std::vector<double>& double_array_value)
    : value_(double_array_value) {}
ParameterValue::ParameterValue(const std::vector<std::string>& string_array_value)
    : value_(string_array_value) {}

ParameterType ParameterValue::get_type() const {
  return static_cast<ParameterType>(value_.index());
}

bool ParameterValue::operator==(const ParameterValue& rhs) const { return value_ == rhs.value_; }

bool ParameterValue::operator!=(const ParameterValue& rhs) const { return value_ != rhs.value_; }

namespace {
template <typename T>
std::string array_to_string(const std::vector<T>& values) {
  std::ostringstream out;
  out << "[";
  for (size_t i = 0; i < values.size(); ++i) {
    out << (i ? ", " : "") << values[i];
  }
  out << "]";
  return out.str();
}
}  // namespace

std::string to_string(const ParameterValue& value) {
  std::ostringstream out;
  switch (value.get_type()) {
    case PARAMETER_NOT_SET:
      return "not set";
    case PARAMETER_BOOL:
      return value.get<bool>() ? "true" : "false";
    case PARAMETER_INTEGER:
      return std::to_string(value.get<int64_t>());
    case PARAMETER_DOUBLE:
      out << value.get<double>();
      return out.str();
    case PARAMETER_STRING:
      return value.get<std::string>();
    case PARAMETER_BYTE_ARRAY: {
      const auto& bytes = value.get<std::vector<uint8_t>>();
      return array_to_string(std::vector<int>(bytes.begin(), bytes.end()));
    }
    case PARAMETER_BOOL_ARRAY: {
      const auto& bools = value.get<std::vector<bool>>();
      std::vector<std::string> words;
      for (bool b : bools) {
        words.push_back(b ? "true" : "false");
      }
      return array_to_string(words);
    }
    case PARAMETER_INTEGER_ARRAY:
      return array_to_string(value.get<std::vector<int64_t>>());
    case PARAMETER_DOUBLE_ARRAY:
      return array_to_string(value.get<std::vector<double>>());
    case PARAMETER_STRING_ARRAY:
      return array_to_string(value.get<std::vector<std::string>>());
    default:
      return "unknown type";
  }
}

}  // namespace rclcpp
