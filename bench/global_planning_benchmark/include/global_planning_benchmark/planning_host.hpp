#ifndef GLOBAL_PLANNING_BENCHMARK__PLANNING_HOST_HPP_
#define GLOBAL_PLANNING_BENCHMARK__PLANNING_HOST_HPP_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "global_planning_benchmark/pairs_file.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "planning/nav_global_planning_server.hpp"
#include "planning_sim/host_maps.hpp"
#include "planning_sim/localisation.hpp"
#include "planning_sim/node_host.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "vantrell_nav2_gridmap/grid_layers.hpp"
#include "vantrell_nav2_gridmap/grid_map_params.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"

namespace global_planning_benchmark {

/**
 * Plays the process that hosts the global planning node, the robot's localisation and its task
 * manager (the host setup of planning_sim): builds the global and the local grid map from one
 * map, constructs, configures and activates the node, serves it on the host's executor thread,
 * places the robot by broadcasting its transform and sends "global_planning" goals to it through
 * an action client. Beside the node it keeps a grid-search engine of its own on the global grid
 * map, searched with the option record that the node's "dijkstra" planner passes.
 */
class PlanningHost {
 public:
  using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;

  struct EngineRun {
    bool found{false};
    MultiPaths paths;
    size_t expanded_cells{0};
    double ms{0.0};
  };

  struct ActionRun {
    /// "succeeded", "aborted", "canceled", "rejected", "unknown" or "timeout".
    std::string outcome;
    /// Succeeded with at least one path.
    bool found{false};
    int32_t error_code{0};
    MultiPaths paths;
    /// From sending the goal to receiving its result.
    double ms{0.0};
  };

  /// Longest wait for the node to accept a goal and, again, for its result.
  static constexpr std::chrono::seconds kActionPatience{300};

  /// Throws std::runtime_error (or std::invalid_argument from the grid map) when the map
  /// cannot be used or the node does not come up.
  PlanningHost(const nav_msgs::msg::OccupancyGrid& map,
               const vantrell_nav2_gridmap::GridMapParams& params);
  ~PlanningHost();

  PlanningHost(const PlanningHost&) = delete;
  PlanningHost& operator=(const PlanningHost&) = delete;

  /// Wall time of configuring and activating the node, and of getting the engine's search
  /// bounds ready on the map (what activation spends on the node's own engine).
  double activationMs() const { return activation_ms_; }
  double enginePrepareMs() const { return engine_prepare_ms_; }
  /// What the preparation added to the process's resident memory: the tables and one search's
  /// memory (NaN where the system does not say).
  double enginePrepareMib() const { return engine_prepare_mib_; }

  /// The global grid map's layers, the ones both plans are made and measured on.
  std::shared_ptr<const vantrell_nav2_gridmap::GridLayers> layers() const;
  bool contains(int64_t x, int64_t y) const;
  /// Centre of a cell on the map, in the map frame; heading 0.
  geometry_msgs::msg::PoseStamped cellPose(int64_t x, int64_t y) const;

  /// One search of the engine from the pair's start to its goal.
  EngineRun planWithEngine(const CellPair& pair);
  /// Places the robot on the pair's start and asks the node for a plan to its goal with the
  /// "dijkstra" planner, as the task manager would.
  ActionRun planWithAction(const CellPair& pair, int32_t action_id);

 private:
  // rclcpp for the life of the host: started if it is not running yet, shut down last.
  class RclcppSession {
   public:
    RclcppSession();
    ~RclcppSession();
    RclcppSession(const RclcppSession&) = delete;
    RclcppSession& operator=(const RclcppSession&) = delete;

   private:
    bool started_{false};
  };

  using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;

  void placeRobot(const geometry_msgs::msg::PoseStamped& pose);
  vantrell_nav2_planner::astar2::AstarOptions dijkstraOptions() const;

  RclcppSession session_;
  planning_sim::GlobalNodeMaps maps_;
  std::shared_ptr<planning::NavGlobalPlanningServer> node_;
  std::shared_ptr<vantrell_nav2_planner::astar2::AstarPlanner> engine_;
  vantrell_nav2_planner::astar2::AstarOptions options_{};
  double activation_ms_{0.0};
  double engine_prepare_ms_{0.0};
  double engine_prepare_mib_{0.0};
  rclcpp::Node::SharedPtr task_manager_;
  std::unique_ptr<planning_sim::Localisation> localisation_;
  rclcpp_action::Client<GlobalPlanning>::SharedPtr client_;
  // Last: it stops serving the node before the node goes.
  planning_sim::NodeHost host_;
};

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__PLANNING_HOST_HPP_
