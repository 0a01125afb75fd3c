#ifndef RCLCPP__EXCEPTIONS__EXCEPTIONS_HPP_
#define RCLCPP__EXCEPTIONS__EXCEPTIONS_HPP_

#include <stdexcept>
#include <string>

namespace rclcpp {
namespace exceptions {

class NameValidationError : public std::invalid_argument {
 public:
  NameValidationError(const char* name_type_, const char* name_, const char* error_msg_,
                      size_t invalid_index_)
      : std::invalid_argument(format_error(name_type_, name_, error_msg_, invalid_index_)),
        name_type(name_type_),
        name(name_),
        error_msg(error_msg_),
        invalid_index(invalid_index_) {}

  static std::string format_error(const char* name_type, const char* name, const char* error_msg,
                                  size_t invalid_index) {
    std::string msg = "Invalid ";
    msg += name_type;
    msg += ": ";
    msg += error_msg;
    msg += ":\n  '";
    msg += name;
    msg += "'\n   " + std::string(invalid_index, ' ') + "^\n";
    return msg;
  }

  const std::string name_type;
  const std::string name;
  const std::string error_msg;
  const size_t invalid_index;
};

class InvalidNodeNameError : public NameValidationError {
 public:
  InvalidNodeNameError(const char* node_name, const char* error_msg, size_t invalid_index)
      : NameValidationError("node name", node_name, error_msg, invalid_index) {}
};

class InvalidNamespaceError : public NameValidationError {
 public:
  InvalidNamespaceError(const char* namespace_, const char* error_msg, size_t invalid_index)
      : NameValidationError("namespace", namespace_, error_msg, invalid_index) {}
};

class InvalidTopicNameError : public NameValidationError {
 public:
  InvalidTopicNameError(const char* topic_name, const char* error_msg, size_t invalid_index)
      : NameValidationError("topic name", topic_name, error_msg, invalid_index) {}
};

class InvalidServiceNameError : public NameValidationError {
 public:
  InvalidServiceNameError(const char* service_name, const char* error_msg, size_t invalid_index)
      : NameValidationError("service name", service_name, error_msg, invalid_index) {}
};

// An error reported by the layer under rclcpp; the action goal state machine
// throws it for an invalid transition.
class RCLError : public std::runtime_error {
 public:
  explicit RCLError(const std::string& message) : std::runtime_error(message) {}
};

class InvalidParametersException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class InvalidParameterValueException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class InvalidParameterTypeException : public std::runtime_error {
 public:
  InvalidParameterTypeException(const std::string& name, const std::string message)
      : std::runtime_error("parameter '" + name + "' has invalid type: " + message) {}
};

class ParameterAlreadyDeclaredException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ParameterNotDeclaredException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ParameterImmutableException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ParameterModifiedInCallbackException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class NoParameterOverrideProvided : public std::runtime_error {
 public:
  explicit NoParameterOverrideProvided(const std::string& name)
      : std::runtime_error("parameter '" + name +
                           "' requires an user provided parameter override") {}
};

class UninitializedStaticallyTypedParameterException : public std::runtime_error {
 public:
  explicit UninitializedStaticallyTypedParameterException(const std::string& name)
      : std::runtime_error("Statically typed parameter '" + name + "' must be initialized.") {}
};

class InvalidQosOverridesException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace exceptions
}  // namespace rclcpp

#endif  // RCLCPP__EXCEPTIONS__EXCEPTIONS_HPP_
