#ifndef PLANNING_SIM__ROBOT_CONFIGURATION_HPP_
#define PLANNING_SIM__ROBOT_CONFIGURATION_HPP_

#include <stdexcept>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "planning_sim/node_parameters.hpp"
#include "rclcpp/parameter.hpp"

namespace planning_sim {

// A parameter file that cannot be used; the text names the file and what is wrong with it.
class ConfigurationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The node names a parameter file's sections are for, and the section of the hosts' grid maps.
inline constexpr char kGridMapsSection[] = "grid_maps";
inline constexpr char kLocalNodeSection[] = "vantrell_nav2_local_planning";
inline constexpr char kGlobalNodeSection[] = "vantrell_nav2_global_planning";

/**
 * How a deployed robot is set up, as its parameter file says: the padding its grid maps add to
 * the robot's outline (the planners keep that much more room round the robot than the outline
 * needs), and the parameters each planning node is started with.
 */
struct RobotConfiguration {
  // Metres added to the outline on every side for the grid maps (Nav2's footprint_padding).
  double footprint_padding{0.0};
  std::vector<rclcpp::Parameter> local_node;
  std::vector<rclcpp::Parameter> global_node;

  // Reads a parameter file over this configuration: what it names replaces what is here.
  void read(const std::string& file);
  // Sets `overrides` (robotParameterFromText's) over this configuration: footprint_padding here,
  // each node's names in the list of every node that reads them.
  void applyOverrides(const std::vector<rclcpp::Parameter>& overrides);
  // What `node` starts with: its section's parameters, with the overrides applied.
  std::vector<rclcpp::Parameter> parametersFor(PlanningNode node) const;
};

// The configuration the project ships for its 0.6 m x 0.5 m robot (config/robot.yaml).
std::string shippedConfigurationFile();

/**
 * Reads a parameter file in the ROS 2 format (sections "grid_maps", "vantrell_nav2_local_planning"
 * and "vantrell_nav2_global_planning", each with its "ros__parameters"; a nested map names its
 * parameters with dots). Values: true or false, whole numbers, numbers, text, and lists of one of
 * those. Throws ConfigurationError for a file that cannot be read or parsed, an unknown section,
 * a parameter its node does not read or of another type (nodeParameter), a value of no such
 * type, or a padding that is negative or not finite.
 */
RobotConfiguration loadRobotConfiguration(const std::string& file);

/**
 * "NAME=VALUE" from a command line, any name a parameter file takes: a parameter of `nodes`, read
 * as nodeParameterFromText reads it, or the grid maps' "footprint_padding", read and checked as
 * the file's. Throws NodeParameterError.
 */
rclcpp::Parameter robotParameterFromText(const std::vector<PlanningNode>& nodes,
                                         const std::string& text);

// Sets `parameter` in `parameters`: replaces the one of its name, or adds it at the end.
void overrideParameter(std::vector<rclcpp::Parameter>& parameters,
                       const rclcpp::Parameter& parameter);

// `footprint` grown by `padding` on every side (each corner moved outwards along both axes).
std::vector<geometry_msgs::msg::Point> paddedFootprint(
    std::vector<geometry_msgs::msg::Point> footprint, double padding);

}  // namespace planning_sim

#endif  // PLANNING_SIM__ROBOT_CONFIGURATION_HPP_
