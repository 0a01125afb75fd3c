#ifndef DEMO__DEMO_HOST_HPP_
#define DEMO__DEMO_HOST_HPP_

#include <chrono>
#include <memory>

#include "demo_options.hpp"
#include "localisation.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning_sim/node_host.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"

namespace demo {

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;

// How one goal ended, as the task manager saw it.
struct PlanOutcome {
  bool accepted{false};
  // The result came within the wait.
  bool answered{false};
  rclcpp_action::ResultCode code{rclcpp_action::ResultCode::UNKNOWN};
  GlobalPlanning::Result result;
  // From sending the goal to receiving its result.
  double milliseconds{0.0};

  bool succeeded() const { return answered && code == rclcpp_action::ResultCode::SUCCEEDED; }
};

/**
 * Plays the hosting process, the robot's localisation and the task manager: constructs the
 * global planning node on the global and the local grid map, spins it together with a
 * task-manager node on the host's executor thread (planning_sim::NodeHost), configures and
 * activates it, places the robot and sends "global_planning" goals through an action client.
 */
class DemoHost {
 public:
  using GridMapROS = vantrell_nav2_gridmap::GridMapROS;

  // Throws std::runtime_error when the node does not come up.
  DemoHost(std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map,
           const rclcpp::NodeOptions& options = rclcpp::NodeOptions());
  DemoHost(const DemoHost&) = delete;
  DemoHost& operator=(const DemoHost&) = delete;

  void placeRobot(const Pose2& pose);
  // Sends the goal and waits at most `patience` for its acceptance and for its result.
  PlanOutcome plan(const GlobalPlanning::Goal& goal, std::chrono::seconds patience);

 private:
  Localisation localisation_;
  std::shared_ptr<planning::NavGlobalPlanningServer> node_;
  rclcpp::Node::SharedPtr task_manager_;
  rclcpp_action::Client<GlobalPlanning>::SharedPtr client_;
  // Last: it stops serving the nodes before they go.
  planning_sim::NodeHost host_;
};

}  // namespace demo

#endif  // DEMO__DEMO_HOST_HPP_
