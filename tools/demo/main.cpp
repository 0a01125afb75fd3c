// The demo host: plays the hosting process and the task manager of the planning nodes.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "demo_options.hpp"
#include "planning_sim/node_parameters.hpp"
#include "rclcpp/rclcpp.hpp"
#include "scenarios.hpp"

namespace {

constexpr const char* kProgram = "planning_demo";

// The library logs for an operator, not for a demo audience: off unless asked for.
void quietLibraryLog() {
  setenv("SPDLOG_STDOUT", "false", 0);
  setenv("SPDLOG_SYSTEMD", "false", 0);
  setenv("SPDLOG_LEVEL", "warning", 0);
  for (const char* logger :
       {"vantrell_nav2_global_planning", "vantrell_nav2_local_planning", "diagnosis"}) {
    rclcpp::get_logger(logger).set_level(rclcpp::Logger::Level::Error);
  }
}

}  // namespace

int main(int argc, char** argv) {
  demo::DemoOptions options;
  try {
    options = demo::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const demo::UsageError& error) {
    std::cerr << kProgram << ": " << error.what() << " (" << kProgram << " --help tells more)\n";
    return demo::kBadInput;
  }
  if (options.help) {
    std::cout << demo::usage(kProgram);
    return demo::kAllPlansSucceeded;
  }

  quietLibraryLog();
  rclcpp::init(0, nullptr);
  int status = demo::kInternalError;
  try {
    status = demo::scenario(options.scenario)(options, std::cout);
  } catch (const demo::InputError& error) {
    std::cerr << kProgram << ": " << error.what() << "\n";
    status = demo::kBadInput;
  } catch (const demo::UsageError& error) {
    std::cerr << kProgram << ": " << error.what() << "\n";
    status = demo::kBadInput;
  } catch (const planning_sim::NodeParameterError& error) {
    // A value a node refused when it was brought up: the user's argument or parameter file.
    std::cerr << kProgram << ": " << error.what() << "\n";
    status = demo::kBadInput;
  } catch (const std::exception& error) {
    std::cerr << kProgram << ": internal error: " << error.what() << "\n";
    status = demo::kInternalError;
  }
  rclcpp::shutdown();
  return status;
}
