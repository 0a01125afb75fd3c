#ifndef PLANNING__LOCAL_PLANNING__NAV_LOCAL_PLANNING_HPP_
#define PLANNING__LOCAL_PLANNING__NAV_LOCAL_PLANNING_HPP_

#include <array>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/path.hpp"
#include "planning/local_planning/control_state.hpp"
#include "planning/local_planning/spin_state.hpp"
#include "planning/path_product.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_communicator/communicator_engine.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_common/collision_check.hpp"
#include "vantrell_nav2_common/get_special_points.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_protocol/action/local_planning.hpp"
#include "vantrell_nav2_protocol/msg/multi_paths.hpp"
#include "vantrell_nav2_protocol/msg/path.hpp"

namespace planning {

/**
 * Base of the local planners of the local planning node.
 *
 * The node builds one object of each planner on its three grid maps (global, local, zone),
 * hands every one the two grid-search engines and the trace publisher once they all exist, and
 * then, per goal and on the action's single worker thread: updateGoal, setGoalPose (when the
 * goal gives one), setGoalFlags, setPlanningMode, makePlan, pathSmooter,
 * updatePathWithMovementConstraint, spinJudge, needSetEndYaw, pathFuzzyPoint, setSpeedLimit,
 * getResiduesZones and getCleanedArea. The base takes no lock: the node orders the calls.
 *
 * The base keeps the global path set of the goal, keyed by the set's uuid, across goals: the
 * planners consume it front first through getNextGlobalPath.
 *
 * Sources in src/local_planning/: nav_local_planning.cpp (collaborators, goal, global-path
 * bookkeeping), nav_local_planning_spin.cpp (rotate-in-place, reachable path, backward move),
 * nav_local_planning_fuzzy.cpp (fuzzy goal, speed limit, smoothing with the pose),
 * nav_local_planning_debug_image.cpp (VisualizeDebug).
 */
class NavLocalPlanning {
 public:
  using GridMapROS = vantrell_nav2_gridmap::GridMapROS;
  using AstarPlanner = vantrell_nav2_planner::astar2::AstarPlanner;
  using LocalPlanningGoal = vantrell_nav2_protocol::action::LocalPlanning::Goal;
  using Path = vantrell_nav2_protocol::msg::Path;
  using MultiPaths = vantrell_nav2_protocol::msg::MultiPaths;
  using PoseStamped = geometry_msgs::msg::PoseStamped;
  /// Precise goal, backward movement allowed, a third flag kept for the planners.
  using GoalFlags = std::array<uint8_t, 3>;

  /// getNextGlobalPath when no cached path is left: the task is finished.
  static constexpr int kNoGlobalPathLeft = 0;
  /// getNextGlobalPath when the robot pose is unknown: this cycle failed (makePlan returns
  /// false and the goal is aborted); the task is not finished.
  static constexpr int kGlobalPathUnavailable = -1;

  /**
   * Declares the base's parameters on the node when missing and reads them. When the node is
   * already gone the planner still works, with the parameters' defaults and a warning. Throws
   * std::invalid_argument without a local grid map (its collision test needs one).
   */
  NavLocalPlanning(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                   std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map,
                   std::shared_ptr<GridMapROS> third_map);

  // Owned through shared pointers made for the concrete class, whose deleter runs the concrete
  // destructor; the base is never deleted through a base pointer of its own.
  NavLocalPlanning(const NavLocalPlanning&) = delete;
  NavLocalPlanning& operator=(const NavLocalPlanning&) = delete;

  // ---- the slots, in the order the node's table relies on ----------------------------------

  /// Whether the robot must turn in place before following `path` (the nav path of `piece`),
  /// and to which heading; reads and completes `state`.
  virtual void spinJudge(const PoseStamped& robot, Path& piece, nav_msgs::msg::Path& path,
                         SpinState& state, double path_length_tolerance);
  /// The engine on the local grid map ("local").
  virtual void setLocalPlanner(std::shared_ptr<AstarPlanner> planner);
  /// The engine on the global grid map ("local_global").
  virtual void setGlobalPlanner(std::shared_ptr<AstarPlanner> planner);
  virtual void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger);
  virtual void setGoalFlags(GoalFlags flags);
  /// One planning cycle: the next local path into `path`. False when the cycle failed;
  /// `need_replan` then tells the node whether a new global plan is needed.
  virtual bool makePlan(Path& path, ControlState& state, bool& need_replan) = 0;
  virtual void setGoalPose(const PoseStamped& pose, double fuzzy_distance);
  virtual bool pathSmooter(nav_msgs::msg::Path& path) = 0;
  /// Copies what the planners need of the goal; a goal with another path-set uuid resets the
  /// planner and replaces the cached set, one with the same uuid keeps what is left of it.
  virtual void updateGoal(std::shared_ptr<const LocalPlanningGoal> goal);
  virtual void reset();
  virtual std::vector<geometry_msgs::msg::Polygon> getResiduesZones();
  /// Draws `path`, the quadrilateral `corners` and the robot onto a colour copy of `map` (a
  /// grey image in cells of the global grid map) and writes it to "mask_res.png" in the output
  /// folder. A failed write is logged and otherwise ignored.
  virtual void VisualizeDebug(const cv::Mat& map, const std::vector<PoseStamped>& path,
                              const std::vector<cv::Point2f>& corners, PoseStamped robot);
  virtual double getCleanedArea();
  /// Cuts `path` after its last collision-free pose. True when poses were removed (or the path
  /// was empty); `fuzzy` becomes the distance from the goal pose to the kept end.
  virtual bool pruningReachablePath(PoseStamped robot, nav_msgs::msg::Path& path, double& fuzzy);
  virtual void updatePathWithMovementConstraint(Path& path);
  /// Decides whether the goal is reached, cuts the path back to its reachable part and, for a
  /// precise goal, may end it at a free extra goal instead.
  virtual void pathFuzzyPoint(Path& path, ControlState& state);
  /// Linear (x and y) and angular (z) caps for `path`; the largest double means no cap.
  virtual geometry_msgs::msg::Twist setSpeedLimit(Path& path);
  virtual bool needSetEndYaw();

  // ---- the cached global path set ----------------------------------------------------------

  /**
   * The front path of the cache into `out`, after dropping it when the robot has reached it.
   * Returns the number of cached paths (then at least 1), kNoGlobalPathLeft when nothing is
   * left (the task is done), or kGlobalPathUnavailable when the robot pose is needed and
   * unknown (the cycle failed, not the task). `out` is untouched unless a path is returned.
   */
  int getNextGlobalPath(Path& out);
  /// getNextGlobalPath into `global_piece`; `local_path` takes the piece's tolerance.
  int getNextGlobalPathAndPreSetLocalPath(Path& global_piece, Path& local_path);
  /// The cache becomes a copy of `set`.
  void updateGlobalPaths(const MultiPaths& set);
  /// The front cached path becomes a copy of `piece`; nothing happens while the cache is empty.
  void updateCurrentGlobalPath(const Path& piece);
  /// The uuid field of the cached set itself.
  std::string getGlobalPathUuid() const;
  const MultiPaths& getGlobalPaths() const { return *global_paths_; }

  // ---- what the node reads and writes around makePlan --------------------------------------

  void setPlanningMode(int32_t mode) { planning_mode_ = mode; }
  /// Set by a planner that cut its path at a corner; the node reports it in the result.
  bool getZeltoPathCut() const { return zelto_path_cut_; }

  // ---- shared steps of the planners --------------------------------------------------------

  /// The robot's heading error to the first stretch of `path` (pose 0 to pose 4), or 0.0 when
  /// the path is too short or degenerate to give one.
  double getRobotPathAngle(const nav_msgs::msg::Path& path, const PoseStamped& robot) const;
  /// Every pose keeps its position and faces its predecessor: the path driven tail first.
  void reversePath(nav_msgs::msg::Path& path) const;
  /// Turns `piece` into a backward move when backward movement is allowed and the mode asks for
  /// it or the robot faces away from the path; true when it did.
  bool backwardMovement(Path& piece, const PoseStamped& robot);
  /// Mean of a window of at most `window` poses centred on each pose, shrinking symmetrically
  /// at both ends so that the first and the last pose stay. A pose the mean would put on
  /// inscribed or lethal cost of either grid map keeps its input position, and so do both ends
  /// of a step that would run back against the path's direction there (the input's chord across
  /// the window) where the input's step does not. Paths of `window` + 5 poses or fewer are left
  /// as they are.
  void meanSmoothingWithPose(nav_msgs::msg::Path& path, int window, PoseStamped pose) const;

 protected:
  ~NavLocalPlanning() = default;

  /// The robot pose of the local grid map's costmap; false when there is none.
  bool getLocalRobotPose(PoseStamped& pose) const;

  template <typename... Args>
  void trace(const std::string& format, Args&&... args) const {
    traceLine(trace_logger_, format, std::forward<Args>(args)...);
  }

  bool zelto_need_rotation_{false};
  double zelto_rotation_angle_{0.0};
  bool zelto_path_cut_{false};
  double task_finish_path_len_{0.0};
  double water_uptake_forward_dis_{0.0};
  double water_uptake_backward_dis_{0.0};
  double cur_uptake_pos_offest_{0.0};
  double temp_forward_dis_{0.0};
  double costmap_erode_radius_{0.0};
  double repeat_move_dis_{0.0};
  double min_repeat_move_dis_{0.0};
  bool visualize_debug_{false};
  std::shared_ptr<GridMapROS> local_gridmap_;
  std::shared_ptr<GridMapROS> global_gridmap_;
  std::shared_ptr<GridMapROS> third_gridmap_;
  BaseRobot base_robot_;
  std::shared_ptr<PathProduct> path_product_;
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::string global_path_uuid_;
  bool new_request_{false};
  std::shared_ptr<MultiPaths> global_paths_;
  std::shared_ptr<vantrell_communicator::CommunicatorEngine> communicator_;
  std::vector<geometry_msgs::msg::Polygon> zone_polygons_;
  std::vector<geometry_msgs::msg::Point32> covered_points_frm_taskcenter_;
  int32_t action_id_{0};
  /// The covered points the waypoint and coverage planners publish, and the action id of their
  /// last publication: a new action id starts a new list.
  std::vector<geometry_msgs::msg::Point32> covered_points_to_publish_;
  int32_t last_covered_action_id_{0};
  get_special_points special_points_;
  std::shared_ptr<AstarPlanner> local_planner_;
  std::shared_ptr<AstarPlanner> global_planner_;
  std::shared_ptr<LogPublisher> trace_logger_;
  double fuzzy_distance_{0.0};
  PoseStamped goal_pose_;
  double follow_goal_yaw_path_threshold_{0.0};
  std::shared_ptr<Collision::CollisionCheck> collision_check_;
  GoalFlags goal_flags_{0, 0, 0};
  int32_t planning_mode_{0};
  double near_obstacle_max_vel_x_{0.0};
  double near_obstacle_angular_cap_{0.0};
  double near_goal_distance_threshold_{0.0};
  double near_goal_max_vel_x_{0.0};
  double near_goal_max_vel_theta_{0.0};
  double precise_goal_reach_fuzzy_distance_{0.0};
  std::vector<PoseStamped> extra_goals_;
  /// Folder of the debug images, ending in '/'; fixed on the robot, moved by tests.
  std::string file_output_folder_{"/home/vantrell/"};

 private:
  void readParameters();
  bool frontPathReached(const Path& front, const PoseStamped& robot) const;
  void searchExtraGoals(nav_msgs::msg::Path& path, ControlState& state, const PoseStamped& robot,
                        bool have_robot);
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__NAV_LOCAL_PLANNING_HPP_
