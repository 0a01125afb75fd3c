#ifndef PLANNING__CUSTOM_PLANNING__CUSTOM_PLANNING_SERVER_HPP_
#define PLANNING__CUSTOM_PLANNING__CUSTOM_PLANNING_SERVER_HPP_

#include <memory>

#include "planning/custom_planning/path_monitor.hpp"
#include "planning/custom_planning/water_uptake_path_server.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace planning {
namespace custom_planning {

/**
 * The custom planning node ("vantrell_nav2_custom_planning"). Plans nothing
 * itself: configure brings up the water-uptake path service and the path
 * monitor; deactivate and cleanup drop the service; the monitor runs in
 * every state until the next configure or the node's end.
 *
 * The node must be owned by a std::shared_ptr when it is configured. Its
 * components refer to it only weakly, so dropping the last owner destroys the
 * node together with its service, monitor, timers and tf threads.
 */
class CustomPlanningServer : public rclcpp_lifecycle::LifecycleNode {
 public:
  using CallbackReturn = rclcpp_lifecycle::node_interfaces::LifecycleNodeInterface::CallbackReturn;

  explicit CustomPlanningServer(const rclcpp::NodeOptions& options = rclcpp::NodeOptions());
  ~CustomPlanningServer() override;

 protected:
  CallbackReturn on_configure(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_cleanup(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_shutdown(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_activate(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_deactivate(const rclcpp_lifecycle::State& state) override;

 private:
  std::shared_ptr<WaterUptakePathServer> water_uptake_path_server_;
  std::shared_ptr<PathMonitor> path_monitor_;
};

}  // namespace custom_planning
}  // namespace planning

#endif  // PLANNING__CUSTOM_PLANNING__CUSTOM_PLANNING_SERVER_HPP_
