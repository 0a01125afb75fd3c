#ifndef PLANNING__NAV_GLOBAL_PLANNING_HPP_
#define PLANNING__NAV_GLOBAL_PLANNING_HPP_

#include <cstdint>
#include <memory>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning/path_product.hpp"
#include "planning/search_options.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_protocol/action/global_planning.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"

namespace planning {

/// The three option flags of a GlobalPlanning goal, handed to a planner whole.
struct GoalFlags {
  /// The goal must be reached exactly: the grid-search planners pass no goal-side tolerance.
  bool forbid_fuzzy_goal{false};
  bool goal_flag_2{false};
  bool goal_flag_3{false};
};

/**
 * Base of the global planners of the global planning node.
 *
 * The node builds one object of each planner, hands every one the two grid-search engines and
 * the trace publisher after construction, and then, for each goal, calls updateGoal,
 * setGoalFlags and makePlan in that order. A planner takes no lock: the node orders the calls.
 * A failing planner returns false and, where it has a code for the failure, leaves it in
 * error_code_ for the node to report.
 *
 * Sources in src/global_planning/planners/: nav_global_planning.cpp, and
 * nav_global_planning_lift_hall.cpp (getLiftHallFrame).
 */
class NavGlobalPlanning {
 public:
  using GridMapROS = vantrell_nav2_gridmap::GridMapROS;
  using AstarPlanner = vantrell_nav2_planner::astar2::AstarPlanner;
  using AstarOptions = vantrell_nav2_planner::astar2::AstarOptions;
  using GlobalPlanningGoal = vantrell_nav2_protocol::action::GlobalPlanning::Goal;

  /**
   * Reads the node parameters "safe_cost" (integer) and "fuzzy_range" (double), which the node
   * declares before it builds its planners; a parameter of another type throws
   * rclcpp::ParameterTypeException, a missing one
   * rclcpp::exceptions::ParameterNotDeclaredException. When the node is already gone the
   * planner still works, with the node's defaults (0 and 1.0) and a warning.
   */
  NavGlobalPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                    std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map);

  // Owned through shared pointers made for the concrete class, whose deleter runs the concrete
  // destructor; the base is never deleted through a base pointer of its own.
  NavGlobalPlanning(const NavGlobalPlanning&) = delete;
  NavGlobalPlanning& operator=(const NavGlobalPlanning&) = delete;

  /// Turns the goal poses into a path set; true when `paths` holds the plan.
  virtual bool makePlan(const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                        vantrell_nav2_protocol::msg::MultiPaths& paths) = 0;
  /// The engine on the global grid map ("global").
  virtual void setGlobalPlanner(std::shared_ptr<AstarPlanner> planner);
  /// The engine on the local grid map ("global_local").
  virtual void setLocalPlanner(std::shared_ptr<AstarPlanner> planner);
  virtual void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger);
  /// Keeps a copy of the goal's poses, mode, action id and covered points.
  virtual void updateGoal(std::shared_ptr<const GlobalPlanningGoal> goal);
  /// Searches a free, connected place; planners without such a search answer false and leave
  /// `result` untouched.
  virtual bool connectiveAreaSearch(const geometry_msgs::msg::PoseStamped& start,
                                    const geometry_msgs::msg::PoseStamped& goal,
                                    geometry_msgs::msg::PoseStamped& result,
                                    const geometry_msgs::msg::Polygon& search_area,
                                    const geometry_msgs::msg::Polygon& target_area);
  virtual void setGoalFlags(GoalFlags flags);

  /// Replaces the poses of `path` by a copy of `poses`; the header stays as it was.
  void convertToPath(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                     nav_msgs::msg::Path& path) const;

  /// The lift hall in front of `lift`, as seen from the two poses
  /// (nav_global_planning_lift_hall.cpp); empty, with the remembered distance unchanged, for a lift
  /// of fewer than 4 points or a pose that is not finite.
  geometry_msgs::msg::Polygon getLiftHallFrame(const geometry_msgs::msg::Polygon& lift,
                                               const geometry_msgs::msg::PoseStamped& first,
                                               const geometry_msgs::msg::PoseStamped& second);

  int32_t getErrorCode() const { return error_code_; }
  void setErrorCode(int32_t code) { error_code_ = code; }

 protected:
  ~NavGlobalPlanning() = default;

  /// Robot pose from the global grid map's costmap into `pose`, which starts as the default
  /// pose (empty frame, origin, identity orientation). False when there is no costmap or no pose.
  bool getRobotPose(geometry_msgs::msg::PoseStamped& pose) const;

  /// Which engines a planner searches with.
  enum class Engines { kGlobal, kLocalAndGlobal };

  /// The rest of the searching planners' preamble, after the robot pose: at least one goal pose
  /// and the engines the planner needs; false, with a WARN naming `planner`, when one is missing.
  bool hasGoalAndEngines(const char* planner,
                         const std::vector<geometry_msgs::msg::PoseStamped>& goals,
                         Engines engines) const;

  /// The end of a failed search: error_code_ := 101100007 and the ERROR "global planner failed,
  /// error code is 101100007", written in the name of makePlan. Returns false.
  bool searchFailed();

  /// A search succeeded only when the engine answered true and left at least one path.
  static bool searchSucceeded(bool found, const vantrell_nav2_protocol::msg::MultiPaths& paths);

  std::shared_ptr<GridMapROS> global_gridmap_ros_;
  std::shared_ptr<GridMapROS> local_gridmap_ros_;
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  PathProduct path_product_;
  BaseRobot base_robot_;
  int32_t error_code_{0};
  int safe_cost_{0};
  double fuzzy_range_{0.0};
  int16_t goal_mode_{0};
  int32_t action_id_{0};
  std::vector<geometry_msgs::msg::PoseStamped> goal_poses_;
  std::vector<geometry_msgs::msg::Point32> covered_points_;
  std::shared_ptr<AstarPlanner> global_planner_;
  std::shared_ptr<AstarPlanner> local_planner_;
  std::shared_ptr<LogPublisher> trace_logger_;
  double max_robot_goal_distance_{0.0};
  GoalFlags goal_flags_;
};

}  // namespace planning

#endif  // PLANNING__NAV_GLOBAL_PLANNING_HPP_
