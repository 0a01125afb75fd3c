#ifndef COVERAGE_BENCHMARK__COMMAND_LINE_HPP_
#define COVERAGE_BENCHMARK__COMMAND_LINE_HPP_

#include <string>
#include <utility>
#include <vector>

#include "global_planning_benchmark/parsed_command_line.hpp"
#include "planning_sim/robot_configuration.hpp"
#include "rclcpp/parameter.hpp"

namespace coverage_benchmark {

/// What one run of the benchmark cleans.
struct BenchmarkOptions {
  std::string map_file;
  /// The floor's rooms; by default the map file's name with ".rooms.yaml" for ".yaml".
  std::string rooms_file;
  /// Coverage planners, in order; both of the local node's by default.
  std::vector<std::string> planners;
  /// Only these rooms (ids); every room when empty.
  std::vector<std::string> rooms;
  /// The cleaning tool's width (metres).
  double cleaning_width{0.6};
  /// A round robot of this radius (metres); 0: the grid maps' default footprint.
  double robot_radius{0.0};
  /// The robot's parameter file; the project's shipped configuration by default.
  std::string params_file;
  /// Parameters of the local planning node as given (NAME=VALUE), in order, over the file's.
  std::vector<std::string> parameter_texts;
  /// The same, checked against the names the node reads (checkNodeParameters).
  std::vector<rclcpp::Parameter> node_parameters;
  /// The parameter file as read (checkNodeParameters).
  planning_sim::RobotConfiguration configuration;
};

using CommandLine = global_planning_benchmark::ParsedCommandLine<BenchmarkOptions>;

/// Reads the arguments after the program name. Never throws: anything wrong comes back as
/// Request::ERROR with a sentence naming the offending argument.
CommandLine parseCommandLine(const std::vector<std::string>& args);

/// Reads options.params_file into options.configuration, fills options.node_parameters from
/// options.parameter_texts and sets them over the file's. Throws planning_sim::ConfigurationError
/// for a file that cannot be used, planning_sim::NodeParameterError for a name neither the local
/// planning node nor the file's grid maps read, or a value of another type; each one line.
void checkNodeParameters(BenchmarkOptions& options);

/// The --help text.
std::string usageText(const std::string& program);

}  // namespace coverage_benchmark

#endif  // COVERAGE_BENCHMARK__COMMAND_LINE_HPP_
