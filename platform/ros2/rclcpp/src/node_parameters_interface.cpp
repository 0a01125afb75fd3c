#include "rclcpp/node_interfaces/node_parameters_interface.hpp"

#include <sstream>
#include <stdexcept>

#include "rclcpp/exceptions.hpp"

namespace rclcpp {
namespace node_interfaces {

namespace {
using rcl_interfaces::msg::ParameterDescriptor;
using rcl_interfaces::msg::SetParametersResult;

const char kTypeErrorStart[] = "Wrong parameter type";

std::string type_error(const std::string& name, ParameterType declared, ParameterType given) {
  return std::string(kTypeErrorStart) + ", parameter {" + name + "} is of type {" +
         to_string(declared) + "}, setting it to {" + to_string(given) + "} is not allowed.";
}

SetParametersResult success() {
  SetParametersResult result;
  result.successful = true;
  return result;
}

SetParametersResult failure(const std::string& reason) {
  SetParametersResult result;
  result.successful = false;
  result.reason = reason;
  return result;
}

// Values given as "--ros-args -p name:=value" in the node's arguments.
ParameterValue parse_argument_value(const std::string& text) {
  if (text == "true" || text == "True") {
    return ParameterValue(true);
  }
  if (text == "false" || text == "False") {
    return ParameterValue(false);
  }
  std::istringstream as_int(text);
  int64_t integer = 0;
  if ((as_int >> integer) && as_int.eof()) {
    return ParameterValue(integer);
  }
  std::istringstream as_double(text);
  double real = 0.0;
  if ((as_double >> real) && as_double.eof()) {
    return ParameterValue(real);
  }
  return ParameterValue(text);
}
}  // namespace

NodeParametersInterface::NodeParametersInterface(const NodeOptions& options)
    : allow_undeclared_(options.allow_undeclared_parameters()) {
  const auto& args = options.arguments();
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "-p" || args[i] == "--param") {
      const std::string& rule = args[i + 1];
      const auto sep = rule.find(":=");
      if (sep != std::string::npos) {
        overrides_[rule.substr(0, sep)] = parse_argument_value(rule.substr(sep + 2));
      }
    }
  }
  // Overrides in the options win over those in the arguments.
  for (const auto& parameter : options.parameter_overrides()) {
    overrides_[parameter.get_name()] = parameter.get_parameter_value();
  }
  // As in rclcpp: each override not yet declared is declared with its own value and dynamic
  // typing, so the node's code may take it back (undeclare) and declare it with a type of its own.
  if (options.automatically_declare_parameters_from_overrides()) {
    ParameterDescriptor descriptor;
    descriptor.dynamic_typing = true;
    for (const auto& entry : overrides_) {
      if (!has_parameter(entry.first)) {
        declare_parameter(entry.first, entry.second, descriptor, true);
      }
    }
  }
}

NodeParametersInterface::~NodeParametersInterface() = default;

const ParameterValue& NodeParametersInterface::declare_parameter(
    const std::string& name, const ParameterValue& default_value,
    const ParameterDescriptor& parameter_descriptor, bool ignore_override) {
  ParameterDescriptor descriptor = parameter_descriptor;
  if (default_value.get_type() == PARAMETER_NOT_SET) {
    // A parameter declared without a value can only be dynamically typed.
    descriptor.dynamic_typing = true;
  }
  ParameterValue value = default_value;
  if (!ignore_override) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = overrides_.find(name);
    if (it != overrides_.end()) {
      value = it->second;
    }
  }
  return declare_checked(name, default_value.get_type(), value, descriptor);
}

const ParameterValue& NodeParametersInterface::declare_parameter(
    const std::string& name, ParameterType type, const ParameterDescriptor& parameter_descriptor,
    bool ignore_override) {
  if (type == PARAMETER_NOT_SET) {
    throw std::invalid_argument(
        "declare_parameter(): the provided parameter type cannot be rclcpp::PARAMETER_NOT_SET");
  }
  if (parameter_descriptor.dynamic_typing) {
    throw std::invalid_argument(
        "declare_parameter(): cannot declare parameter of specific type and pass descriptor "
        "with `dynamic_typing=true`");
  }
  ParameterValue value;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = overrides_.find(name);
    if (ignore_override || it == overrides_.end()) {
      throw exceptions::NoParameterOverrideProvided(name);
    }
    value = it->second;
  }
  return declare_checked(name, type, value, parameter_descriptor);
}

const ParameterValue& NodeParametersInterface::declare_checked(const std::string& name,
                                                               ParameterType type,
                                                               const ParameterValue& value,
                                                               ParameterDescriptor descriptor) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (name.empty()) {
    throw exceptions::InvalidParametersException("parameter name must not be empty");
  }
  if (in_callback_) {
    throw exceptions::ParameterModifiedInCallbackException(
        "cannot declare a parameter from within set callback");
  }
  if (parameters_.count(name) > 0) {
    throw exceptions::ParameterAlreadyDeclaredException("parameter '" + name +
                                                        "' has already been declared");
  }
  descriptor.name = name;
  if (!descriptor.dynamic_typing) {
    descriptor.type = static_cast<uint8_t>(type);
    if (value.get_type() != type) {
      throw exceptions::InvalidParameterTypeException(name,
                                                      type_error(name, type, value.get_type()));
    }
  }
  const SetParametersResult result = run_on_set_callbacks({Parameter(name, value)});
  if (!result.successful) {
    throw exceptions::InvalidParameterValueException("parameter '" + name +
                                                     "' could not be set: " + result.reason);
  }
  auto& info = parameters_[name];
  info.value = value;
  info.descriptor = descriptor;
  return info.value;
}

void NodeParametersInterface::undeclare_parameter(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = parameters_.find(name);
  if (it == parameters_.end()) {
    throw exceptions::ParameterNotDeclaredException("cannot undeclare parameter '" + name +
                                                    "' which has not yet been declared");
  }
  if (it->second.descriptor.read_only) {
    throw exceptions::ParameterImmutableException("cannot undeclare parameter '" + name +
                                                  "' because it is read-only");
  }
  if (!it->second.descriptor.dynamic_typing) {
    throw exceptions::InvalidParameterTypeException(
        name, "cannot undeclare a statically typed parameter");
  }
  parameters_.erase(it);
}

bool NodeParametersInterface::has_parameter(const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return parameters_.count(name) > 0;
}

std::vector<SetParametersResult> NodeParametersInterface::set_parameters(
    const std::vector<Parameter>& parameters) {
  std::vector<SetParametersResult> results;
  results.reserve(parameters.size());
  for (const auto& parameter : parameters) {
    results.push_back(set_parameters_atomically({parameter}));
  }
  return results;
}

SetParametersResult NodeParametersInterface::set_parameters_atomically(
    const std::vector<Parameter>& parameters) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (in_callback_) {
    throw exceptions::ParameterModifiedInCallbackException(
        "cannot set parameter from within set callback");
  }
  for (const auto& parameter : parameters) {
    const std::string& name = parameter.get_name();
    auto it = parameters_.find(name);
    if (it == parameters_.end()) {
      if (!allow_undeclared_) {
        throw exceptions::ParameterNotDeclaredException(
            "parameter '" + name + "' cannot be set because it was not declared");
      }
      continue;
    }
    const auto& descriptor = it->second.descriptor;
    if (descriptor.read_only) {
      return failure("parameter '" + name + "' cannot be set because it is read-only");
    }
    const auto declared = static_cast<ParameterType>(descriptor.type);
    if (!descriptor.dynamic_typing && parameter.get_type() != declared) {
      return failure(type_error(name, declared, parameter.get_type()));
    }
  }
  const SetParametersResult result = run_on_set_callbacks(parameters);
  if (!result.successful) {
    return result;
  }
  for (const auto& parameter : parameters) {
    auto& info = parameters_[parameter.get_name()];
    if (info.descriptor.name.empty()) {
      info.descriptor.name = parameter.get_name();
      info.descriptor.dynamic_typing = true;
    }
    info.value = parameter.get_parameter_value();
  }
  return success();
}

SetParametersResult NodeParametersInterface::run_on_set_callbacks(
    const std::vector<Parameter>& parameters) {
  std::vector<OnSetParametersCallbackHandle::SharedPtr> handles;
  for (const auto& weak : on_set_callbacks_) {
    if (auto handle = weak.lock()) {
      handles.push_back(handle);
    }
  }
  in_callback_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{in_callback_};
  for (const auto& handle : handles) {
    const SetParametersResult result = handle->callback(parameters);
    if (!result.successful) {
      return result;
    }
  }
  return success();
}

std::vector<Parameter> NodeParametersInterface::get_parameters(
    const std::vector<std::string>& names) const {
  std::vector<Parameter> result;
  for (const auto& name : names) {
    result.push_back(get_parameter(name));
  }
  return result;
}

Parameter NodeParametersInterface::get_parameter(const std::string& name) const {
  Parameter parameter;
  if (get_parameter(name, parameter)) {
    return parameter;
  }
  if (allow_undeclared_) {
    return Parameter(name);
  }
  throw exceptions::ParameterNotDeclaredException(name);
}

bool NodeParametersInterface::get_parameter(const std::string& name, Parameter& parameter) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = parameters_.find(name);
  if (it == parameters_.end()) {
    return false;
  }
  if (it->second.value.get_type() == PARAMETER_NOT_SET && !it->second.descriptor.dynamic_typing) {
    return false;
  }
  parameter = Parameter(name, it->second.value);
  return true;
}

bool NodeParametersInterface::get_parameters_by_prefix(
    const std::string& prefix, std::map<std::string, Parameter>& parameters) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::string full_prefix = prefix.empty() ? "" : prefix + ".";
  bool found = false;
  for (const auto& entry : parameters_) {
    if (entry.first.rfind(full_prefix, 0) == 0) {
      const std::string short_name = entry.first.substr(full_prefix.size());
      parameters[short_name] = Parameter(entry.first, entry.second.value);
      found = true;
    }
  }
  return found;
}

std::vector<ParameterDescriptor> NodeParametersInterface::describe_parameters(
    const std::vector<std::string>& names) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<ParameterDescriptor> descriptors;
  for (const auto& name : names) {
    auto it = parameters_.find(name);
    if (it == parameters_.end()) {
      if (!allow_undeclared_) {
        throw exceptions::ParameterNotDeclaredException(name);
      }
      ParameterDescriptor descriptor;
      descriptor.name = name;
      descriptors.push_back(descriptor);
    } else {
      descriptors.push_back(it->second.descriptor);
    }
  }
  return descriptors;
}

std::vector<uint8_t> NodeParametersInterface::get_parameter_types(
    const std::vector<std::string>& names) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<uint8_t> types;
  for (const auto& name : names) {
    auto it = parameters_.find(name);
    types.push_back(static_cast<uint8_t>(it == parameters_.end() ? PARAMETER_NOT_SET
                                                                 : it->second.value.get_type()));
  }
  return types;
}

std::vector<std::string> NodeParametersInterface::list_parameter_names() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<std::string> names;
  for (const auto& entry : parameters_) {
    names.push_back(entry.first);
  }
  return names;
}

OnSetParametersCallbackHandle::SharedPtr NodeParametersInterface::add_on_set_parameters_callback(
    OnParametersSetCallbackType callback) {
  auto handle = std::make_shared<OnSetParametersCallbackHandle>();
  handle->callback = callback;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // The newest callback runs first, as in rclcpp.
  on_set_callbacks_.push_front(handle);
  return handle;
}

void NodeParametersInterface::remove_on_set_parameters_callback(
    const OnSetParametersCallbackHandle* const handler) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (auto it = on_set_callbacks_.begin(); it != on_set_callbacks_.end(); ++it) {
    auto locked = it->lock();
    if (locked.get() == handler) {
      on_set_callbacks_.erase(it);
      return;
    }
  }
  throw std::runtime_error("Callback doesn't exist");
}

const std::map<std::string, ParameterValue>& NodeParametersInterface::get_parameter_overrides()
    const {
  return overrides_;
}

}  // namespace node_interfaces
}  // namespace rclcpp
