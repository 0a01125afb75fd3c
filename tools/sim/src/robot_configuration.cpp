#include "planning_sim/robot_configuration.hpp"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>

namespace planning_sim {

namespace {

constexpr char kParametersKey[] = "ros__parameters";
constexpr char kPaddingName[] = "footprint_padding";

bool isWhole(const std::string& text) {
  size_t digits = text.size() > 0 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  return digits < text.size() &&
         std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// The value of a scalar as the ROS 2 parameter parser types it: quoted text stays text.
rclcpp::ParameterValue scalarValue(const YAML::Node& node, const std::string& name) {
  const std::string& text = node.Scalar();
  if (node.Tag() == "!") {
    return rclcpp::ParameterValue(text);
  }
  bool flag = false;
  if ((text == "true" || text == "false") && YAML::convert<bool>::decode(node, flag)) {
    return rclcpp::ParameterValue(flag);
  }
  int64_t whole = 0;
  if (isWhole(text) && YAML::convert<int64_t>::decode(node, whole)) {
    return rclcpp::ParameterValue(whole);
  }
  double number = 0.0;
  if (YAML::convert<double>::decode(node, number)) {
    if (!std::isfinite(number)) {
      throw ConfigurationError(name + " is not a finite number");
    }
    return rclcpp::ParameterValue(number);
  }
  return rclcpp::ParameterValue(text);
}

template <typename T>
std::vector<T> listOf(const std::vector<rclcpp::ParameterValue>& values, rclcpp::ParameterType type,
                      const std::string& name) {
  std::vector<T> list;
  for (const auto& value : values) {
    if (value.get_type() != type) {
      throw ConfigurationError(name + " mixes values of different types");
    }
    list.push_back(value.get<T>());
  }
  return list;
}

rclcpp::ParameterValue listValue(const YAML::Node& node, const std::string& name) {
  std::vector<rclcpp::ParameterValue> values;
  for (const auto& item : node) {
    if (!item.IsScalar()) {
      throw ConfigurationError(name + " is a list of something other than values");
    }
    values.push_back(scalarValue(item, name));
  }
  if (values.empty()) {
    throw ConfigurationError(name + " is an empty list, whose type cannot be told");
  }
  switch (values.front().get_type()) {
    case rclcpp::ParameterType::PARAMETER_BOOL:
      return rclcpp::ParameterValue(
          listOf<bool>(values, rclcpp::ParameterType::PARAMETER_BOOL, name));
    case rclcpp::ParameterType::PARAMETER_INTEGER:
      return rclcpp::ParameterValue(
          listOf<int64_t>(values, rclcpp::ParameterType::PARAMETER_INTEGER, name));
    case rclcpp::ParameterType::PARAMETER_DOUBLE:
      return rclcpp::ParameterValue(
          listOf<double>(values, rclcpp::ParameterType::PARAMETER_DOUBLE, name));
    default:
      return rclcpp::ParameterValue(
          listOf<std::string>(values, rclcpp::ParameterType::PARAMETER_STRING, name));
  }
}

void readParameters(const YAML::Node& node, const std::string& prefix,
                    std::vector<rclcpp::Parameter>& parameters) {
  if (!node.IsMap()) {
    throw ConfigurationError(prefix + " is not a map of parameters");
  }
  for (const auto& entry : node) {
    const std::string key = entry.first.Scalar();
    const std::string name = prefix.empty() ? key : prefix + "." + key;
    const YAML::Node& value = entry.second;
    if (value.IsMap()) {
      readParameters(value, name, parameters);
      continue;
    }
    rclcpp::Parameter parameter;
    if (value.IsScalar()) {
      parameter = rclcpp::Parameter(name, scalarValue(value, name));
    } else if (value.IsSequence()) {
      parameter = rclcpp::Parameter(name, listValue(value, name));
    } else {
      throw ConfigurationError(name + " has no value");
    }
    overrideParameter(parameters, parameter);
  }
}

// A node's section: each name one the node reads, with a value of its type.
void readNodeParameters(const YAML::Node& node, PlanningNode planning_node,
                        std::vector<rclcpp::Parameter>& parameters) {
  std::vector<rclcpp::Parameter> read;
  readParameters(node, "", read);
  for (const auto& parameter : read) {
    overrideParameter(parameters, nodeParameter({planning_node}, parameter.get_name(),
                                                parameter.get_parameter_value()));
  }
}

// The padding `parameter` gives; `name` is what the fault is told under.
double paddingOf(const rclcpp::Parameter& parameter, const std::string& name) {
  const auto type = parameter.get_type();
  if (type != rclcpp::ParameterType::PARAMETER_DOUBLE &&
      type != rclcpp::ParameterType::PARAMETER_INTEGER) {
    throw ConfigurationError(name + " is not a number");
  }
  const double value = type == rclcpp::ParameterType::PARAMETER_DOUBLE
                           ? parameter.as_double()
                           : static_cast<double>(parameter.as_int());
  if (!(value >= 0.0) || !std::isfinite(value)) {
    throw ConfigurationError(name + " must be a finite number of metres, 0 or more");
  }
  return value;
}

void readGridMaps(const std::vector<rclcpp::Parameter>& parameters, double& padding) {
  for (const auto& parameter : parameters) {
    const std::string name = std::string(kGridMapsSection) + "." + parameter.get_name();
    if (parameter.get_name() != kPaddingName) {
      throw ConfigurationError("unknown parameter " + name);
    }
    padding = paddingOf(parameter, name);
  }
}

}  // namespace

void RobotConfiguration::read(const std::string& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    throw ConfigurationError("parameter file " + file + " does not exist or is not a regular file");
  }
  YAML::Node root;
  try {
    root = YAML::LoadFile(file);
  } catch (const YAML::Exception& e) {
    throw ConfigurationError("parameter file " + file + " is not YAML: " + e.what());
  }
  try {
    if (!root.IsMap()) {
      throw ConfigurationError("it is not a map of node names");
    }
    for (const auto& section : root) {
      const std::string name = section.first.Scalar();
      const YAML::Node parameters = section.second[kParametersKey];
      if (!section.second.IsMap() || !parameters) {
        throw ConfigurationError(name + " has no " + kParametersKey);
      }
      if (name == kLocalNodeSection) {
        readNodeParameters(parameters, PlanningNode::kLocal, local_node);
      } else if (name == kGlobalNodeSection) {
        readNodeParameters(parameters, PlanningNode::kGlobal, global_node);
      } else if (name == kGridMapsSection) {
        std::vector<rclcpp::Parameter> grid_maps;
        readParameters(parameters, "", grid_maps);
        readGridMaps(grid_maps, footprint_padding);
      } else {
        throw ConfigurationError("unknown section " + name);
      }
    }
  } catch (const ConfigurationError& e) {
    throw ConfigurationError("parameter file " + file + ": " + e.what());
  } catch (const YAML::Exception& e) {
    throw ConfigurationError("parameter file " + file + ": " + e.what());
  } catch (const NodeParameterError& e) {
    throw ConfigurationError("parameter file " + file + ": " + e.what());
  }
}

void RobotConfiguration::applyOverrides(const std::vector<rclcpp::Parameter>& overrides) {
  for (const auto& parameter : overrides) {
    if (parameter.get_name() == kPaddingName) {
      footprint_padding = paddingOf(parameter, kPaddingName);
      continue;
    }
    if (nodeParameterTypes(PlanningNode::kLocal).count(parameter.get_name()) > 0) {
      overrideParameter(local_node, parameter);
    }
    if (nodeParameterTypes(PlanningNode::kGlobal).count(parameter.get_name()) > 0) {
      overrideParameter(global_node, parameter);
    }
  }
}

std::vector<rclcpp::Parameter> RobotConfiguration::parametersFor(PlanningNode node) const {
  if (node == PlanningNode::kLocal) {
    return local_node;
  }
  return node == PlanningNode::kGlobal ? global_node : std::vector<rclcpp::Parameter>();
}

std::string shippedConfigurationFile() { return PLANNING_SIM_CONFIG_DIR "/robot.yaml"; }

RobotConfiguration loadRobotConfiguration(const std::string& file) {
  RobotConfiguration configuration;
  configuration.read(file);
  return configuration;
}

rclcpp::Parameter robotParameterFromText(const std::vector<PlanningNode>& nodes,
                                         const std::string& text) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || text.substr(0, equals) != kPaddingName) {
    return nodeParameterFromText(nodes, text);
  }
  const std::string value = text.substr(equals + 1);
  const std::string named = std::string(kPaddingName) + " '" + value + "'";
  try {
    // The value typed as the file's: the same text means the same there and here.
    const YAML::Node scalar = YAML::Load(value);
    if (!scalar.IsScalar()) {
      throw ConfigurationError(named + " is not a number");
    }
    const rclcpp::Parameter parameter(kPaddingName, scalarValue(scalar, named));
    paddingOf(parameter, named);
    return parameter;
  } catch (const ConfigurationError& e) {
    throw NodeParameterError(e.what());
  } catch (const YAML::Exception&) {
    throw NodeParameterError(named + " is not a number");
  }
}

void overrideParameter(std::vector<rclcpp::Parameter>& parameters,
                       const rclcpp::Parameter& parameter) {
  const auto same = std::find_if(
      parameters.begin(), parameters.end(),
      [&](const rclcpp::Parameter& p) { return p.get_name() == parameter.get_name(); });
  if (same != parameters.end()) {
    *same = parameter;
  } else {
    parameters.push_back(parameter);
  }
}

std::vector<geometry_msgs::msg::Point> paddedFootprint(
    std::vector<geometry_msgs::msg::Point> footprint, double padding) {
  const auto outwards = [padding](double v) {
    return v > 0.0 ? v + padding : (v < 0.0 ? v - padding : v);
  };
  for (auto& corner : footprint) {
    corner.x = outwards(corner.x);
    corner.y = outwards(corner.y);
  }
  return footprint;
}

}  // namespace planning_sim
