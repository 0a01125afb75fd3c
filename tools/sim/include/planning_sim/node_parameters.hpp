#ifndef PLANNING_SIM__NODE_PARAMETERS_HPP_
#define PLANNING_SIM__NODE_PARAMETERS_HPP_

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/node_options.hpp"
#include "rclcpp/parameter.hpp"

namespace planning_sim {

/// The planning nodes a host gives parameters to.
enum class PlanningNode { kGlobal, kLocal, kCustom };

/// A parameter no node of the host reads, or a value it cannot take. what() is one line.
class NodeParameterError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

/// Every name the node's code reads, with the type it reads it as; written from the library's
/// sources (node_parameter_table.cpp).
const std::map<std::string, rclcpp::ParameterType>& nodeParameterTypes(PlanningNode node);

/// `value` as parameter `name` of the host's `nodes`: an integer becomes a double where the name
/// is read as a double. Throws NodeParameterError for a name none of them reads or a value of
/// another type.
rclcpp::Parameter nodeParameter(const std::vector<PlanningNode>& nodes, const std::string& name,
                                const rclcpp::ParameterValue& value);

/// "NAME=VALUE" from a command line: VALUE read as the name's type (true/false, an integer, a
/// number, text, or numbers separated by commas), then as nodeParameter does.
rclcpp::Parameter nodeParameterFromText(const std::vector<PlanningNode>& nodes,
                                        const std::string& text);

/// Options that give `node` those of `parameters` it reads, as a deployed node gets a parameter
/// file: overrides declared from the overrides, so that a name its code reads without declaring
/// it (as "static_coverage_safe_offset") is there too.
rclcpp::NodeOptions nodeOptionsWith(PlanningNode node,
                                    const std::vector<rclcpp::Parameter>& parameters,
                                    rclcpp::NodeOptions options = rclcpp::NodeOptions());

}  // namespace planning_sim

#endif  // PLANNING_SIM__NODE_PARAMETERS_HPP_
