// The robot's parameter file: the shipped one is read, a later file overrides it, and a file
// that cannot be used is refused naming the file and the fault.
#include "planning_sim/robot_configuration.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace sim_test {
namespace {

using planning_sim::ConfigurationError;
using planning_sim::RobotConfiguration;

const rclcpp::Parameter* find(const std::vector<rclcpp::Parameter>& parameters,
                              const std::string& name) {
  for (const auto& parameter : parameters) {
    if (parameter.get_name() == name) {
      return &parameter;
    }
  }
  return nullptr;
}

class ParameterFiles : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_); }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& text) const {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << text;
    return path;
  }

  std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
                               ("robot_configuration_" + std::to_string(::getpid()));
};

TEST_F(ParameterFiles, TheShippedFileIsReadAndALaterFileOverridesIt) {
  RobotConfiguration configuration =
      planning_sim::loadRobotConfiguration(planning_sim::shippedConfigurationFile());
  EXPECT_GT(configuration.footprint_padding, 0.0);
  for (const char* name :
       {"distance_to_border", "distance_btw_lines", "safe_distance", "planning_safe_distance"}) {
    SCOPED_TRACE(name);
    ASSERT_NE(find(configuration.local_node, name), nullptr);
    EXPECT_GT(find(configuration.local_node, name)->as_double(), 0.25) << "the half width";
  }

  configuration.read(write("over.yaml",
                           "grid_maps:\n  ros__parameters:\n    footprint_padding: 0\n"
                           "vantrell_nav2_local_planning:\n  ros__parameters:\n"
                           "    distance_to_border: 1\n    cut_path: true\n    jump_index: 3\n"
                           "vantrell_nav2_global_planning:\n  ros__parameters:\n"
                           "    lift_polygon: [0, 1, 2, 3]\n"));
  EXPECT_EQ(configuration.footprint_padding, 0.0);
  EXPECT_EQ(find(configuration.local_node, "distance_to_border")->as_double(), 1.0)
      << "a whole number where the node reads a number";
  EXPECT_NE(find(configuration.local_node, "safe_distance"), nullptr) << "kept";
  EXPECT_TRUE(find(configuration.local_node, "cut_path")->as_bool());
  EXPECT_EQ(find(configuration.local_node, "jump_index")->as_int(), 3);
  EXPECT_EQ(find(configuration.global_node, "lift_polygon")->as_double_array(),
            (std::vector<double>{0, 1, 2, 3}));

  // --param over the file, for the nodes that read it.
  configuration.applyOverrides({rclcpp::Parameter("distance_to_border", 0.4)});
  const auto local = configuration.parametersFor(planning_sim::PlanningNode::kLocal);
  EXPECT_EQ(find(local, "distance_to_border")->as_double(), 0.4);
  EXPECT_EQ(
      find(configuration.parametersFor(planning_sim::PlanningNode::kGlobal), "distance_to_border"),
      nullptr);
}

TEST_F(ParameterFiles, AFileThatCannotBeUsedIsRefusedNamingItAndTheFault) {
  const struct {
    std::string name;
    std::string text;
    std::string says;
  } cases[] = {
      {"cut.yaml", "grid_maps:\n  ros__parameters: {footprint_padding: 0.1\n", "is not YAML"},
      {"list.yaml", "- 1\n- 2\n", "not a map of node names"},
      {"section.yaml", "robot:\n  ros__parameters: {a: 1}\n", "unknown section robot"},
      {"bare.yaml", "vantrell_nav2_local_planning:\n  safe_distance: 0.3\n",
       "vantrell_nav2_local_planning has no ros__parameters"},
      {"negative.yaml", "grid_maps:\n  ros__parameters: {footprint_padding: -0.1}\n",
       "grid_maps.footprint_padding must be a finite number of metres"},
      {"text.yaml", "grid_maps:\n  ros__parameters: {footprint_padding: wide}\n",
       "grid_maps.footprint_padding is not a number"},
      {"unknown.yaml", "grid_maps:\n  ros__parameters: {inflation: 0.5}\n",
       "unknown parameter grid_maps.inflation"},
      {"mixed.yaml", "vantrell_nav2_global_planning:\n  ros__parameters: {lift_polygon: [1, x]}\n",
       "lift_polygon mixes values of different types"},
      {"unread.yaml", "vantrell_nav2_local_planning:\n  ros__parameters: {lift_polygon: [1]}\n",
       "lift_polygon"},
      {"typed.yaml", "vantrell_nav2_local_planning:\n  ros__parameters: {cut_path: 0.5}\n",
       "parameter 'cut_path' is bool"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = write(c.name, c.text);
    try {
      planning_sim::loadRobotConfiguration(path);
      ADD_FAILURE() << "accepted";
    } catch (const ConfigurationError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(path), std::string::npos) << message;
      EXPECT_NE(message.find(c.says), std::string::npos) << message;
    }
  }
  EXPECT_THROW(planning_sim::loadRobotConfiguration((dir_ / "missing.yaml").string()),
               ConfigurationError);
}

}  // namespace
}  // namespace sim_test
