#ifndef PLANNING__NAV_GLOBAL_PLANNING_SERVER_HPP_
#define PLANNING__NAV_GLOBAL_PLANNING_SERVER_HPP_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_smoother/savitzky_golay_smoother.hpp"
#include "planning/nav_global_planning.hpp"
#include "planning/path_product.hpp"
#include "rcl_action/action_server.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "rclcpp_lifecycle/lifecycle_publisher.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"
#include "vantrell_nav2_base_class/vantrell_simple_action_server.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_protocol/action/force_global_path.hpp"
#include "vantrell_nav2_protocol/action/fuzzy_lift_free.hpp"
#include "vantrell_nav2_protocol/action/global_planning.hpp"
#include "vantrell_nav2_protocol/action/lift_free.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"

namespace planning {

/**
 * The global planning node ("vantrell_nav2_global_planning").
 *
 * A hosting process constructs it with the global and the local grid map, then configures and
 * activates it. It answers four actions, each on its own worker thread:
 *  - "global_planning": a smoothed path set from the planner that the goal names;
 *  - "is_global_free", "is_fuzzy_global_free": the lift-area checks;
 *  - "force_global_path": a path made directly from the stored lift frame.
 * The four workers share the planner table, the grid maps, the path toolbox, the communicator
 * and the trace publisher; only the "global_planning" worker touches the result record, the goal
 * poses and the failure counters.
 * The stored lift frame passes from the "is_fuzzy_global_free" worker to the other two lift
 * workers, always copied under lift_frame_mutex_.
 *
 * The node must be owned by a std::shared_ptr when it is configured: its planners and its
 * smoother refer back to it weakly. Parameters are declared on every configure without looking
 * whether they exist, so configuring the same object a second time fails.
 *
 * Sources in src/global_planning/: nav_global_planning_server.cpp (lifecycle, configuration,
 * planner table), nav_global_planning_server_plan.cpp (the "global_planning" road),
 * nav_global_planning_server_lift.cpp (lift planners, lift checks, forced path).
 */
class NavGlobalPlanningServer : public rclcpp_lifecycle::LifecycleNode {
 public:
  using CallbackReturn = rclcpp_lifecycle::node_interfaces::LifecycleNodeInterface::CallbackReturn;
  using GridMapROS = vantrell_nav2_gridmap::GridMapROS;
  using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;
  using LiftFree = vantrell_nav2_protocol::action::LiftFree;
  using FuzzyLiftFree = vantrell_nav2_protocol::action::FuzzyLiftFree;
  using ForceGlobalPath = vantrell_nav2_protocol::action::ForceGlobalPath;
  using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;

  /// Start target yaw meaning "the robot already faces its first stretch": 4 pi.
  static constexpr double kNoStartTurn = 12.566370614359172;

  /// Throws std::invalid_argument when a grid map is missing.
  NavGlobalPlanningServer(std::shared_ptr<GridMapROS> global_gridmap,
                          std::shared_ptr<GridMapROS> local_gridmap,
                          const rclcpp::NodeOptions& options = rclcpp::NodeOptions());
  ~NavGlobalPlanningServer() override;

  NavGlobalPlanningServer(const NavGlobalPlanningServer&) = delete;
  NavGlobalPlanningServer& operator=(const NavGlobalPlanningServer&) = delete;

  CallbackReturn on_configure(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_cleanup(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_shutdown(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_activate(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_deactivate(const rclcpp_lifecycle::State& state) override;

 protected:
  using Planners = std::map<std::string, std::shared_ptr<NavGlobalPlanning>>;

  template <typename ActionT>
  using GoalFailure = std::function<void(const typename ActionT::Goal&)>;
  template <typename ActionT>
  using ServerMember =
      std::shared_ptr<nav2_util::VantrellSimpleActionServer<ActionT>> NavGlobalPlanningServer::*;

  /**
   * Runs the execute callback `road` (named `road_name`) for the current goal of `server`. What
   * the road throws (a bad_alloc, say) is one ERROR naming the exception, and the goal ends as
   * this node's failure, through `fail` or, without one, with a result that reports nothing
   * found. Left to the server it would end with a default result, whose error code 0 reads as
   * success.
   */
  template <typename ActionT>
  void runGoal(const char* road_name, nav2_util::VantrellSimpleActionServer<ActionT>& server,
               void (NavGlobalPlanningServer::*road)(), const GoalFailure<ActionT>& fail);
  /// The server of `action_name`, whose goals run `road` through runGoal; `server` is the member
  /// that will hold it.
  template <typename ActionT>
  std::unique_ptr<nav2_util::VantrellSimpleActionServer<ActionT>> makeServer(
      const char* action_name, ServerMember<ActionT> server, const char* road_name,
      void (NavGlobalPlanningServer::*road)(), GoalFailure<ActionT> fail,
      const rcl_action_server_options_t& options);

  // Execute callbacks, one per action, each run on its server's worker thread.
  void computePlan();
  void isGlobalFree();
  void isFuzzyGlobalFree();
  void getForceGlobalPath();

  // Configuration steps, in the order on_configure runs them.
  void declareLiftParameters();
  void readFootprintExtents();
  rcl_action_server_options_t declareActionServerOptions();
  void createActionServers(const rcl_action_server_options_t& options);
  void buildPlanners(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node);
  /// Adds "lift" and "lift_out" to the table; lives beside the lift checks.
  void addLiftPlanners(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node);
  void injectPlannerCollaborators();

  /**
   * Scales the lift polygon (x, y pairs) to the lift car: the first and last pairs by
   * (length / 2 - offset_x - 0.25, width / 2 - offset_x - 0.25), the others by (length / 2,
   * width / 2). A trailing odd value is left as it is.
   */
  static void scaleLiftPolygon(std::vector<double>& polygon, double lift_length, double lift_width,
                               double offset_x);

  // Steps of computePlan.
  void refreshGridMaps();
  /// The planner under `key`, or null; never adds an entry.
  std::shared_ptr<NavGlobalPlanning> findPlanner(const std::string& key) const;
  /// Hands the goal and its flags to the planner and asks for the plan.
  bool runPlanner(NavGlobalPlanning& planner,
                  const std::shared_ptr<const GlobalPlanning::Goal>& goal, MultiPaths& paths);
  /// The code a plan that cannot be used ends with.
  static int32_t failureCode(const NavGlobalPlanning& planner, bool planned,
                             const MultiPaths& paths);
  void raiseLiftPlanEvent(int16_t goal_mode);
  /// Smooths every path in place; false at the first path that fails.
  bool smoothPaths(MultiPaths& paths);
  /// Moves the path set into the result and fills the rest of it for a success.
  void fillResult(const GlobalPlanning::Goal& goal, MultiPaths& paths, double start_yaw,
                  double end_yaw);
  /// A failed plan: logged, counted, and the goal ended with `error_code`.
  void failGoal(const GlobalPlanning::Goal& goal, int32_t error_code);
  /// Ends the goal with a result that carries no path set of an earlier goal.
  void terminateGoal(const GlobalPlanning::Goal& goal, int32_t error_code);
  void countFailure();
  void countSuccess();

  // Steps of the lift checks and the forced path.
  /// A copy of the stored lift frame.
  std::vector<geometry_msgs::msg::Point32> liftInnerFrame() const;
  void storeLiftInnerFrame(const std::vector<geometry_msgs::msg::Point32>& frame);
  /// The robot pose from the global costmap; false when there is none or it is not finite.
  bool readRobotPose(geometry_msgs::msg::PoseStamped& robot_pose) const;
  /// Whether the robot footprint, placed at `robot`, lies inside `lift`.
  bool footprintInside(const geometry_msgs::msg::Polygon& lift,
                       const geometry_msgs::msg::PoseStamped& robot) const;
  /// Builds lift_frame_ for a FuzzyLiftFree goal (moving `door` to the waiting area on the way
  /// out); false, with an ERROR or an emergency in `result`, when there is nothing to search.
  bool prepareLiftFrame(const FuzzyLiftFree::Goal& goal, geometry_msgs::msg::PoseStamped& door,
                        FuzzyLiftFree::Result& result);
  /// lift_frame_ := the four corners of the waiting area, as far as "lift_polygon" gives them.
  void resetLiftFrame();
  /// Sets the waiting area out in front of the door and stores it as the lift frame.
  void placeWaitingArea(geometry_msgs::msg::PoseStamped& door);
  /// The lift, then the hall, then (shrunk for the robot when `resize`) the lift again.
  void publishCheckAreas(const geometry_msgs::msg::Polygon& hall, bool resize, bool resize_flag);
  void finishFuzzyCheck(const FuzzyLiftFree::Goal& goal,
                        const std::shared_ptr<FuzzyLiftFree::Result>& result);
  void raiseLiftBlockedEvent();

  /// The goal zone as one polygon, z set to 0.
  static geometry_msgs::msg::Polygon goalZonePolygon(
      const std::vector<geometry_msgs::msg::Point32>& zone);
  /**
   * Start target yaw of a path for a robot heading `robot_yaw`: 0 unless the path has at least
   * five poses and neither its first nor its last stretch of four steps is empty; then
   * kNoStartTurn when the robot faces the first stretch within a quarter turn, else the
   * heading of that stretch.
   */
  static double startTargetYaw(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                               double robot_yaw);

  std::shared_ptr<nav2_util::VantrellSimpleActionServer<GlobalPlanning>> global_planning_server_;
  std::shared_ptr<GlobalPlanning::Result> result_;
  std::shared_ptr<nav2_util::VantrellSimpleActionServer<LiftFree>> lift_free_server_;
  std::shared_ptr<nav2_util::VantrellSimpleActionServer<FuzzyLiftFree>> fuzzy_lift_free_server_;
  std::shared_ptr<nav2_util::VantrellSimpleActionServer<ForceGlobalPath>> force_global_path_server_;
  std::vector<geometry_msgs::msg::PoseStamped> goal_poses_;
  std::shared_ptr<PathProduct> path_product_;
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_;
  std::shared_ptr<GridMapROS> global_gridmap_;
  std::shared_ptr<GridMapROS> local_gridmap_;
  Planners planners_;
  /// The engine of every planner on the global grid map: its bounds are made ready on activation.
  std::shared_ptr<vantrell_nav2_planner::astar2::AstarPlanner> global_engine_;
  std::shared_ptr<nav2_smoother::SavitzkyGolaySmoother> smoother_;
  std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<geometry_msgs::msg::PolygonStamped>>
      check_area_pub_;
  std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<geometry_msgs::msg::PolygonStamped>>
      check_lift_area_pub_;
  BaseRobot base_robot_;
  std::shared_ptr<LogPublisher> trace_logger_;
  int32_t result_service_qos_depth_{2};
  int32_t result_timeout_seconds_{2};
  std::vector<double> lift_polygon_;
  geometry_msgs::msg::PolygonStamped lift_frame_;
  double lift_length_{0.0};
  double lift_width_{0.0};
  double offset_x_{0.0};
  double offset_y_{0.0};
  double lift_waiting_area_{0.0};
  std::vector<geometry_msgs::msg::Point32> lift_inner_frame_;
  // Guards lift_inner_frame_, which one lift worker writes while the other two read it.
  mutable std::mutex lift_frame_mutex_;
  int32_t diagnosis_reported_{0};
  int32_t failure_count_{0};
};

}  // namespace planning

#endif  // PLANNING__NAV_GLOBAL_PLANNING_SERVER_HPP_
