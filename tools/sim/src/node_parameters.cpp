#include "planning_sim/node_parameters.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace planning_sim {

namespace {

const char* nodeName(PlanningNode node) {
  switch (node) {
    case PlanningNode::kGlobal:
      return "vantrell_nav2_global_planning";
    case PlanningNode::kLocal:
      return "vantrell_nav2_local_planning";
    case PlanningNode::kCustom:
      return "vantrell_nav2_custom_planning";
  }
  return "?";
}

std::string nodeNames(const std::vector<PlanningNode>& nodes) {
  std::string names;
  for (const PlanningNode node : nodes) {
    names += (names.empty() ? "" : " or ") + std::string(nodeName(node));
  }
  return names;
}

// The one type every node of the host reads `name` as; throws when none reads it.
rclcpp::ParameterType typeOf(const std::vector<PlanningNode>& nodes, const std::string& name) {
  for (const PlanningNode node : nodes) {
    const auto& types = nodeParameterTypes(node);
    const auto found = types.find(name);
    if (found != types.end()) {
      return found->second;
    }
  }
  throw NodeParameterError("parameter '" + name + "' is read by no part of " + nodeNames(nodes));
}

bool readInteger(const std::string& text, int64_t& value) {
  if (text.empty()) {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

bool readNumber(const std::string& text, double& value) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0' && std::isfinite(value);
}

template <typename ItemT>
bool readList(const std::string& text, bool (*read)(const std::string&, ItemT&),
              std::vector<ItemT>& values) {
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    ItemT value{};
    if (!read(item, value)) {
      return false;
    }
    values.push_back(value);
  }
  return true;
}

// `text` as a value of `type`; PARAMETER_NOT_SET when it is none.
rclcpp::ParameterValue valueOf(const std::string& text, rclcpp::ParameterType type) {
  int64_t integer = 0;
  double number = 0.0;
  std::vector<int64_t> integers;
  std::vector<double> numbers;
  switch (type) {
    case rclcpp::PARAMETER_BOOL:
      if (text == "true" || text == "false") {
        return rclcpp::ParameterValue(text == "true");
      }
      break;
    case rclcpp::PARAMETER_INTEGER:
      if (readInteger(text, integer)) {
        return rclcpp::ParameterValue(integer);
      }
      break;
    case rclcpp::PARAMETER_DOUBLE:
      if (readNumber(text, number)) {
        return rclcpp::ParameterValue(number);
      }
      break;
    case rclcpp::PARAMETER_STRING:
      return rclcpp::ParameterValue(text);
    case rclcpp::PARAMETER_INTEGER_ARRAY:
      if (readList(text, &readInteger, integers)) {
        return rclcpp::ParameterValue(integers);
      }
      break;
    case rclcpp::PARAMETER_DOUBLE_ARRAY:
      if (readList(text, &readNumber, numbers)) {
        return rclcpp::ParameterValue(numbers);
      }
      break;
    default:
      break;
  }
  return rclcpp::ParameterValue();
}

bool readBy(PlanningNode node, const std::string& name) {
  return nodeParameterTypes(node).count(name) > 0;
}

}  // namespace

rclcpp::Parameter nodeParameter(const std::vector<PlanningNode>& nodes, const std::string& name,
                                const rclcpp::ParameterValue& value) {
  const rclcpp::ParameterType type = typeOf(nodes, name);
  if (type == rclcpp::PARAMETER_DOUBLE && value.get_type() == rclcpp::PARAMETER_INTEGER) {
    return rclcpp::Parameter(name, static_cast<double>(value.get<int64_t>()));
  }
  if (type == rclcpp::PARAMETER_DOUBLE_ARRAY &&
      value.get_type() == rclcpp::PARAMETER_INTEGER_ARRAY) {
    const auto& integers = value.get<std::vector<int64_t>>();
    return rclcpp::Parameter(name, std::vector<double>(integers.begin(), integers.end()));
  }
  if (value.get_type() != type) {
    throw NodeParameterError("parameter '" + name + "' is " + rclcpp::to_string(type) + ", not " +
                             rclcpp::to_string(value.get_type()));
  }
  return rclcpp::Parameter(name, value);
}

rclcpp::Parameter nodeParameterFromText(const std::vector<PlanningNode>& nodes,
                                        const std::string& text) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw NodeParameterError("a parameter is NAME=VALUE, not '" + text + "'");
  }
  const std::string name = text.substr(0, equals);
  const rclcpp::ParameterType type = typeOf(nodes, name);
  const rclcpp::ParameterValue value = valueOf(text.substr(equals + 1), type);
  if (value.get_type() == rclcpp::PARAMETER_NOT_SET) {
    throw NodeParameterError("parameter '" + name + "' needs a value of type " +
                             rclcpp::to_string(type) + ", not '" + text.substr(equals + 1) + "'");
  }
  return nodeParameter(nodes, name, value);
}

rclcpp::NodeOptions nodeOptionsWith(PlanningNode node,
                                    const std::vector<rclcpp::Parameter>& parameters,
                                    rclcpp::NodeOptions options) {
  for (const auto& parameter : parameters) {
    if (readBy(node, parameter.get_name())) {
      options.parameter_overrides().push_back(parameter);
    }
  }
  return options.automatically_declare_parameters_from_overrides(true);
}

}  // namespace planning_sim
