#ifndef PLANNING__LOCAL_PLANNING__NAV_LOCAL_PLANNING_SERVER_HPP_
#define PLANNING__LOCAL_PLANNING__NAV_LOCAL_PLANNING_SERVER_HPP_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "planning/local_planning/control_state.hpp"
#include "planning/local_planning/nav_local_planning.hpp"
#include "planning/local_planning/path_judge.hpp"
#include "planning/local_planning/speed_limit_params.hpp"
#include "planning/local_planning/speed_limit_value.hpp"
#include "planning/local_planning/spin_state.hpp"
#include "rcl_action/action_server.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"
#include "vantrell_nav2_base_class/vantrell_simple_action_server.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_common/collision_check.hpp"
#include "vantrell_nav2_common/spin_collision.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_protocol/action/local_planning.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"
#include "vantrell_nav2_protocol/msg/path.hpp"

namespace planning {

/**
 * The local planning node ("vantrell_nav2_local_planning").
 *
 * A hosting process constructs it with three grid maps (global, local, zone), then configures
 * and activates it. It serves "local_planning": each goal names a local planner of its table,
 * which makes the next local path; the node checks and post-processes that path (blocked goal,
 * smoothing, turn in place, speed limits, fuzzy goal) and returns it to the motion controller.
 *
 * Goals run one at a time on the action's single worker thread, which alone touches the
 * planners, the result record, the counters and the live speed values once configuration is
 * done; nothing of that is locked.
 *
 * The node must be owned by a std::shared_ptr when it is configured: its planners and its path
 * judge refer back to it weakly. The node's first parameter group is declared with plain
 * declarations, so a node object is configured once: configuring it again fails at the first
 * name, before anything is touched, and the node keeps serving as the first configure left it.
 *
 * Sources in src/local_planning/: nav_local_planning_server.cpp (lifecycle, parameters, planner
 * table), nav_local_planning_server_plan.cpp (the "local_planning" road),
 * nav_local_planning_server_checks.cpp (start-spin threshold, blocked goal, backward check).
 */
class NavLocalPlanningServer : public rclcpp_lifecycle::LifecycleNode {
 public:
  using CallbackReturn = rclcpp_lifecycle::node_interfaces::LifecycleNodeInterface::CallbackReturn;
  using GridMapROS = vantrell_nav2_gridmap::GridMapROS;
  using LocalPlanning = vantrell_nav2_protocol::action::LocalPlanning;
  using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;
  using Path = vantrell_nav2_protocol::msg::Path;
  using PoseStamped = geometry_msgs::msg::PoseStamped;

  /// Throws std::invalid_argument when a grid map is missing.
  NavLocalPlanningServer(std::shared_ptr<GridMapROS> global_gridmap,
                         std::shared_ptr<GridMapROS> local_gridmap,
                         std::shared_ptr<GridMapROS> third_gridmap,
                         const rclcpp::NodeOptions& options = rclcpp::NodeOptions());
  ~NavLocalPlanningServer() override;

  NavLocalPlanningServer(const NavLocalPlanningServer&) = delete;
  NavLocalPlanningServer& operator=(const NavLocalPlanningServer&) = delete;

  CallbackReturn on_configure(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_activate(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_deactivate(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_cleanup(const rclcpp_lifecycle::State& state) override;
  CallbackReturn on_shutdown(const rclcpp_lifecycle::State& state) override;

  // The checks below read the grid maps and the collision objects built by configure; the node
  // calls them from its goals' worker thread.

  /// Start-spin threshold (radians) of a goal's planning mode and a path's direction.
  double getStartSpinThetaThreshold(int32_t mode, bool backward) const;
  /**
   * Whether the local goal of the global path set is blocked, so that a new global plan is
   * needed. The local goal is the first pose of the last path; only a goal near the robot is
   * judged, by its clearance on the local map and, when that is small, by whether the robot
   * could turn in place there. A goal off the local map is not judged blocked.
   */
  bool isPathBlocked(const MultiPaths& paths);
  /// Whether the robot cannot turn in place towards `path` and must back onto it instead.
  bool doubleCheckMoveBackward(const Path& path, const PoseStamped& robot) const;

 protected:
  using Planners = std::map<std::string, std::shared_ptr<NavLocalPlanning>>;

  /// Builds a planner of class PlannerT from this node and the three grid maps, in the order
  /// the node was given them, and puts it into the table under `key`.
  template <typename PlannerT>
  std::shared_ptr<PlannerT> addPlanner(const std::string& key) {
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> self = shared_from_this();
    auto planner =
        std::make_shared<PlannerT>(self, global_gridmap_, local_gridmap_, third_gridmap_);
    planners_[key] = planner;
    return planner;
  }

  // Configuration steps, in the order on_configure runs them.
  void declareNodeParameters();
  void readSpeedParameters();
  /// The planner table. Runs after the node's own parameters exist and before any other
  /// collaborator does. Virtual so that tests can add planners of their own to the table.
  virtual void buildPlanners();
  rcl_action_server_options_t declareActionServerOptions();
  void injectPlannerCollaborators();
  void createActionServer(const rcl_action_server_options_t& options);

  // The road of a goal, on the action's worker thread.
  /// The execute callback: runs one goal; whatever the road throws ends the goal as failed.
  void computePlan();
  void planGoal(const std::shared_ptr<const LocalPlanning::Goal>& goal);
  /// The goal's speed replaces the configured caps for this goal only; none restores them.
  void setParameter(const std::shared_ptr<const LocalPlanning::Goal>& goal);
  void refreshLocalMap();
  /// The previous successful goal's local path, in the local costmap's frame.
  Path workingPath() const;
  /// The planner under `key`, or null; never adds an entry.
  std::shared_ptr<NavLocalPlanning> findPlanner(const std::string& key) const;
  bool runPlanner(NavLocalPlanning& planner, const std::shared_ptr<const LocalPlanning::Goal>& goal,
                  Path& path, ControlState& control, bool& need_replan);
  /// Ends the goal when the planner's path cannot be used; false then.
  bool acceptPlannedPath(const NavLocalPlanning& planner, bool planned, const Path& path,
                         bool need_replan);
  /// Turns a forward path backward when the robot would swing back and forth on one global
  /// path.
  void checkOscillation(const std::string& global_path_uuid, Path& path);
  /// Ends the goal when smoothing fails; false then.
  bool smoothPath(NavLocalPlanning& planner, Path& path);
  SpinState judgeSpin(NavLocalPlanning& planner, const PoseStamped& robot, Path& path,
                      int32_t planning_mode, double end_yaw);
  struct SpeedVerdict {
    double percent{0.0};
    bool near_obstacle{false};
  };
  /// The result record as a successful goal leaves it, built aside: the record is not touched.
  LocalPlanning::Result fillResult(NavLocalPlanning& planner, const LocalPlanning::Goal& goal,
                                   Path& path, const SpinState& spin, const ControlState& control,
                                   const SpeedVerdict& speed) const;
  /// A failed plan: counted, and the goal ended with a result that carries only `need_replan`.
  void failGoal(bool need_replan);
  /// Ends the goal with a default result; the failure count is left alone.
  void terminateGoal();
  void countFailure();
  void countSuccess();

  // Members, released in reverse order when the node goes (the action server first: see the
  // destructor).
  std::shared_ptr<SpeedLimitValue> speed_limit_value_;
  std::shared_ptr<nav2_util::VantrellSimpleActionServer<LocalPlanning>> action_server_;
  std::shared_ptr<LocalPlanning::Result> result_;
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_;
  std::shared_ptr<GridMapROS> local_gridmap_;
  std::shared_ptr<GridMapROS> global_gridmap_;
  std::shared_ptr<GridMapROS> third_gridmap_;
  Planners planners_;
  std::shared_ptr<LogPublisher> trace_logger_;
  std::shared_ptr<PathJudge> path_judge_;
  /// Live: a goal's speed replaces the two planner caps for that goal.
  SpeedLimitParams speed_limit_params_;
  SpeedLimitValue::Settings speed_limit_settings_;
  double configured_point_nav_max_speed_{1.0};
  double configured_non_welt_clean_max_speed_{0.8};
  double distance_threshold_{0.4};
  double rotation_direction_path_length_{0.5};
  double static_coverage_spin_theta_tolerance_{0.78};
  double static_coverage_spin_theta_tolerance_backward_{0.4};
  double spin_judge_path_length_tolerance_{0.2};
  int32_t result_service_qos_depth_{2};
  int32_t result_timeout_seconds_{2};
  bool oscillation_{false};
  std::string last_global_path_uuid_;
  int32_t diagnosis_reported_{0};
  int32_t failure_count_{0};
  std::shared_ptr<Collision::CollisionCheck> collision_check_;
  std::shared_ptr<Collision::SpinCollision> spin_collision_;
  BaseRobot base_robot_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__NAV_LOCAL_PLANNING_SERVER_HPP_
