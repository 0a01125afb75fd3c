#include "scenarios.hpp"

#include <map>

#include "clean_scenario.hpp"
#include "drive_scenario.hpp"
#include "global_scenario.hpp"
#include "lift_scenario.hpp"
#include "water_scenario.hpp"

namespace demo {

namespace {

const std::map<std::string, Scenario>& registry() {
  static const std::map<std::string, Scenario> scenarios{
      {"clean", runCleanScenario}, {"drive", runDriveScenario}, {"global", runGlobalScenario},
      {"lift", runLiftScenario},   {"water", runWaterScenario},
  };
  return scenarios;
}

}  // namespace

planning_sim::RobotConfiguration robotConfiguration(const DemoOptions& options) {
  try {
    planning_sim::RobotConfiguration configuration = planning_sim::loadRobotConfiguration(
        options.params_file.empty() ? planning_sim::shippedConfigurationFile()
                                    : options.params_file);
    configuration.applyOverrides(options.node_parameters);
    return configuration;
  } catch (const planning_sim::ConfigurationError& error) {
    throw InputError(error.what());
  }
}

bool isScenario(const std::string& name) { return registry().count(name) > 0; }

std::string scenarioNames() {
  std::string names;
  for (const auto& entry : registry()) {
    names += (names.empty() ? "" : ", ") + entry.first;
  }
  return names;
}

const Scenario& scenario(const std::string& name) {
  const auto found = registry().find(name);
  if (found == registry().end()) {
    throw UsageError("there is no scenario \"" + name + "\"; available: " + scenarioNames());
  }
  return found->second;
}

}  // namespace demo
