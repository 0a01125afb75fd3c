#include "planning/custom_planning/custom_planning_server.hpp"

#include "logger/logger.hpp"

namespace planning {
namespace custom_planning {

CustomPlanningServer::CustomPlanningServer(const rclcpp::NodeOptions& options)
    : rclcpp_lifecycle::LifecycleNode("vantrell_nav2_custom_planning", "", options, true) {}

CustomPlanningServer::~CustomPlanningServer() {
  path_monitor_.reset();
  water_uptake_path_server_.reset();
}

CustomPlanningServer::CallbackReturn CustomPlanningServer::on_configure(
    const rclcpp_lifecycle::State& /*state*/) {
  water_uptake_path_server_ = WaterUptakePathServer::create(shared_from_this());
  path_monitor_ = PathMonitor::create(shared_from_this());
  return CallbackReturn::SUCCESS;
}

CustomPlanningServer::CallbackReturn CustomPlanningServer::on_activate(
    const rclcpp_lifecycle::State& /*state*/) {
  LOG_INFO(" water_uptake_path_server_ is activate");
  return CallbackReturn::SUCCESS;
}

CustomPlanningServer::CallbackReturn CustomPlanningServer::on_deactivate(
    const rclcpp_lifecycle::State& /*state*/) {
  water_uptake_path_server_.reset();
  return CallbackReturn::SUCCESS;
}

CustomPlanningServer::CallbackReturn CustomPlanningServer::on_cleanup(
    const rclcpp_lifecycle::State& /*state*/) {
  water_uptake_path_server_.reset();
  return CallbackReturn::SUCCESS;
}

CustomPlanningServer::CallbackReturn CustomPlanningServer::on_shutdown(
    const rclcpp_lifecycle::State& /*state*/) {
  return CallbackReturn::SUCCESS;
}

}  // namespace custom_planning
}  // namespace planning
