#ifndef RCLCPP__PARAMETER_VALUE_HPP_
#define RCLCPP__PARAMETER_VALUE_HPP_

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace rclcpp {

enum ParameterType : uint8_t {
  PARAMETER_NOT_SET = 0,
  PARAMETER_BOOL = 1,
  PARAMETER_INTEGER = 2,
  PARAMETER_DOUBLE = 3,
  PARAMETER_STRING = 4,
  PARAMETER_BYTE_ARRAY = 5,
  PARAMETER_BOOL_ARRAY = 6,
  PARAMETER_INTEGER_ARRAY = 7,
  PARAMETER_DOUBLE_ARRAY = 8,
  PARAMETER_STRING_ARRAY = 9,
};

std::string to_string(ParameterType type);
std::ostream& operator<<(std::ostream& os, ParameterType type);

// A typed read of a parameter value of another type.
class ParameterTypeException : public std::runtime_error {
 public:
  ParameterTypeException(ParameterType expected, ParameterType actual)
      : std::runtime_error("expected [" + to_string(expected) + "] got [" + to_string(actual) +
                           "]") {}
};

// One value of one of the parameter types.
class ParameterValue {
 public:
  ParameterValue();
  explicit ParameterValue(const bool bool_value);
  explicit ParameterValue(const int int_value);
  explicit ParameterValue(const int64_t int_value);
  explicit ParameterValue(const float double_value);
  explicit ParameterValue(const double double_value);
  explicit ParameterValue(const std::string& string_value);
  explicit ParameterValue(const char* string_value);
  explicit ParameterValue(const std::vector<uint8_t>& byte_array_value);
  explicit ParameterValue(const std::vector<bool>& bool_array_value);
  explicit ParameterValue(const std::vector<int>& int_array_value);
  explicit ParameterValue(const std::vector<int64_t>& int_array_value);
  explicit ParameterValue(const std::vector<float>& double_array_value);
  explicit ParameterValue(const std::vector<double>& double_array_value);
  explicit ParameterValue(const std::vector<std::string>& string_array_value);

  ParameterType get_type() const;

  bool operator==(const ParameterValue& rhs) const;
  bool operator!=(const ParameterValue& rhs) const;

  // Read by parameter type.
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_BOOL, const bool&> get() const {
    return checked<bool>(type);
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_INTEGER, const int64_t&> get() const {
    return checked<int64_t>(type);
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_DOUBLE, const double&> get() const {
    return checked<double>(type);
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_STRING, const std::string&> get() const {
    return checked<std::string>(type);
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_BYTE_ARRAY, const std::vector<uint8_t>&> get()
      const {
    return checked<std::vector<uint8_t>>(type);
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_BOOL_ARRAY, const std::vector<bool>&> get() const {
    return checked<std::vector<bool>>(type);
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_INTEGER_ARRAY, const std::vector<int64_t>&> get()
      const {
    return checked<std::vector<int64_t>>(type);
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_DOUBLE_ARRAY, const std::vector<double>&> get()
      const {
    return checked<std::vector<double>>(type);
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_STRING_ARRAY, const std::vector<std::string>&> get()
      const {
    return checked<std::vector<std::string>>(type);
  }

  // Read by C++ type.
  template <typename T>
  constexpr std::enable_if_t<std::is_same<T, bool>::value, const bool&> get() const {
    return get<PARAMETER_BOOL>();
  }
  template <typename T>
  constexpr std::enable_if_t<std::is_integral<T>::value && !std::is_same<T, bool>::value,
                             const int64_t&>
  get() const {
    return get<PARAMETER_INTEGER>();
  }
  template <typename T>
  constexpr std::enable_if_t<std::is_floating_point<T>::value, const double&> get() const {
    return get<PARAMETER_DOUBLE>();
  }
  template <typename T>
  constexpr std::enable_if_t<std::is_convertible<T, std::string>::value, const std::string&> get()
      const {
    return get<PARAMETER_STRING>();
  }
  template <typename T>
  constexpr std::enable_if_t<std::is_convertible<T, const std::vector<uint8_t>&>::value,
                             const std::vector<uint8_t>&>
  get() const {
    return get<PARAMETER_BYTE_ARRAY>();
  }
  template <typename T>
  constexpr std::enable_if_t<std::is_convertible<T, const std::vector<bool>&>::value,
                             const std::vector<bool>&>
  get() const {
    return get<PARAMETER_BOOL_ARRAY>();
  }
  template <typename T>
  constexpr std::enable_if_t<std::is_convertible<T, const std::vector<int>&>::value ||
                                 std::is_convertible<T, const std::vector<int64_t>&>::value,
                             const std::vector<int64_t>&>
  get() const {
    return get<PARAMETER_INTEGER_ARRAY>();
  }
  template <typename T>
  constexpr std::enable_if_t<std::is_convertible<T, const std::vector<float>&>::value ||
                                 std::is_convertible<T, const std::vector<double>&>::value,
                             const std::vector<double>&>
  get() const {
    return get<PARAMETER_DOUBLE_ARRAY>();
  }
  template <typename T>
  constexpr std::enable_if_t<std::is_convertible<T, const std::vector<std::string>&>::value,
                             const std::vector<std::string>&>
  get() const {
    return get<PARAMETER_STRING_ARRAY>();
  }

 private:
  template <typename T>
  const T& checked(ParameterType expected) const {
    if (get_type() != expected) {
      throw ParameterTypeException(expected, get_type());
    }
    return std::get<T>(value_);
  }

  std::variant<std::monostate, bool, int64_t, double, std::string, std::vector<uint8_t>,
               std::vector<bool>, std::vector<int64_t>, std::vector<double>,
               std::vector<std::string>>
      value_;
};

std::string to_string(const ParameterValue& type);

}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_VALUE_HPP_
