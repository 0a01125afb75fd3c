#ifndef PLANNING_SIM__LOCAL_PLANNING_SIM_HPP_
#define PLANNING_SIM__LOCAL_PLANNING_SIM_HPP_

#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <stdexcept>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "planning/local_planning/nav_local_planning_server.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning_sim/cleaning_unit.hpp"
#include "planning_sim/host_maps.hpp"
#include "planning_sim/local_trip.hpp"
#include "planning_sim/motion_controller.hpp"
#include "planning_sim/node_host.hpp"
#include "planning_sim/sim_clock.hpp"
#include "planning_sim/sim_robot.hpp"
#include "planning_sim/sim_world.hpp"
#include "planning_sim/task_centre.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"

namespace planning_sim {

struct LocalPlanningSimOptions {
  vantrell_nav2_gridmap::GridMapParams map_params;
  // Metres the grid maps add round the robot's outline (map_params' footprint); the robot itself
  // keeps the bare outline unless `robot` names one.
  double footprint_padding{0.0};
  // The local map's window (floor cells); the whole floor when unset.
  std::optional<cv::Rect> local_window;
  rclcpp::Time start{100, 0, RCL_ROS_TIME};
  SimRobotParams robot;
  ControllerParams controller;
  TripOptions trip;
};

/**
 * A local planning node hosted on a simulated floor, everything wired as on the robot: the three
 * grid maps of the floor, simulated time, the world with its injectable obstacles (seen by the
 * local map), the robot (seen by all three maps, odometry to the communicator) and its motion
 * controller (checking the robot's outline against the local map), the task centre
 * answering with the robot's track, the trip driver, and the host's executor serving the node,
 * the task centre and the trip's client.
 *
 *   LocalPlanningSim sim(floor);
 *   auto node = sim.startLocalNode();   // or startLocalNode<TestNode>(options)
 *   sim.robot().place(start);
 *   TripReport report = sim.trip().run(goal);
 *
 * Let go of the node pointers before the simulation goes.
 */
class LocalPlanningSim {
 public:
  explicit LocalPlanningSim(const nav_msgs::msg::OccupancyGrid& floor,
                            LocalPlanningSimOptions options = LocalPlanningSimOptions());
  LocalPlanningSim(const LocalPlanningSim&) = delete;
  LocalPlanningSim& operator=(const LocalPlanningSim&) = delete;

  // Constructs the node (NavLocalPlanningServer or a class made like it) on the three grid maps
  // with simulated time, serves it, follows its clock and brings it up. Once per simulation;
  // throws std::logic_error the second time, std::runtime_error when it does not come up.
  template <typename NodeT = planning::NavLocalPlanningServer>
  std::shared_ptr<NodeT> startLocalNode(
      const rclcpp::NodeOptions& options = rclcpp::NodeOptions()) {
    if (local_node_) {
      throw std::logic_error("the simulation hosts one local planning node");
    }
    auto node =
        std::make_shared<NodeT>(maps_.global, maps_.local, maps_.zone, simTimeOptions(options));
    local_node_ = node;
    adopt(node);
    return node;
  }
  // The same for a global planning node on the first two grid maps, which plans the global paths
  // of the trips.
  template <typename NodeT = planning::NavGlobalPlanningServer>
  std::shared_ptr<NodeT> startGlobalNode(
      const rclcpp::NodeOptions& options = rclcpp::NodeOptions()) {
    if (global_node_) {
      throw std::logic_error("the simulation hosts one global planning node");
    }
    auto node = std::make_shared<NodeT>(maps_.global, maps_.local, simTimeOptions(options));
    global_node_ = node;
    adopt(node);
    return node;
  }

  const LocalNodeMaps& maps() const { return maps_; }
  SimClock& clock() { return clock_; }
  SimWorld& world() { return world_; }
  SimRobot& robot() { return robot_; }
  MotionController& controller() { return controller_; }
  CleaningUnit& cleaningUnit() { return cleaning_unit_; }
  TaskCentre& taskCentre() { return task_centre_; }
  LocalTrip& trip() { return trip_; }
  NodeHost& host() { return host_; }

 private:
  void adopt(const std::shared_ptr<rclcpp_lifecycle::LifecycleNode>& node);

  LocalNodeMaps maps_;
  SimClock clock_;
  SimWorld world_;
  SimRobot robot_;
  MotionController controller_;
  CleaningUnit cleaning_unit_;
  TaskCentre task_centre_;
  LocalTrip trip_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> local_node_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> global_node_;
  // Last: it stops serving the nodes, the task centre and the trip before they go.
  NodeHost host_;
};

}  // namespace planning_sim

#endif  // PLANNING_SIM__LOCAL_PLANNING_SIM_HPP_
