#ifndef DEMO__DEMO_HOST_HPP_
#define DEMO__DEMO_HOST_HPP_

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "demo_options.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "planning/nav_global_planning_server.hpp"
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
 * Plays the hosting process and the task manager: builds the global and the local grid map from
 * one occupancy grid, constructs the global planning node, spins it together with a task-manager
 * node on an executor thread, configures and activates it, places the robot and sends
 * "global_planning" goals through an action client. rclcpp must be running.
 */
class DemoHost {
 public:
  // Throws std::runtime_error when the node does not come up.
  explicit DemoHost(const nav_msgs::msg::OccupancyGrid& grid);
  ~DemoHost();
  DemoHost(const DemoHost&) = delete;
  DemoHost& operator=(const DemoHost&) = delete;

  void placeRobot(const Pose2& pose);
  // Sends the goal and waits at most `patience` for its acceptance and for its result.
  PlanOutcome plan(const GlobalPlanning::Goal& goal, std::chrono::seconds patience);

 private:
  void stopSpinning();

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> global_map_;
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> local_map_;
  std::shared_ptr<planning::NavGlobalPlanningServer> node_;
  rclcpp::Node::SharedPtr task_manager_;
  rclcpp_action::Client<GlobalPlanning>::SharedPtr client_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::future<void> spin_done_;
  std::thread spinner_;
};

}  // namespace demo

#endif  // DEMO__DEMO_HOST_HPP_
