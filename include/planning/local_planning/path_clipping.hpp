#ifndef PLANNING__LOCAL_PLANNING__PATH_CLIPPING_HPP_
#define PLANNING__LOCAL_PLANNING__PATH_CLIPPING_HPP_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "logger/logger.hpp"
#include "planning/path_product.hpp"
#include "planning/search_options.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "vantrell_nav2_base_class/publish_log_trace.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_planner/astar2/astar_options.hpp"
#include "vantrell_nav2_planner/astar2/astar_planner.hpp"
#include "vantrell_nav2_protocol/msg/path.hpp"

namespace planning {

/**
 * Base of the path-clipping strategies: each rewrites the local path (the stretch of the global
 * path ahead of the robot) so that the robot can drive it, replacing a blocked stretch or a
 * sharp start with a grid-search detour.
 *
 * The base holds the collaborators, its parameters and the owner's callback, and offers the
 * searches the strategies combine: from the robot (astarPlanFromCurrent), jump-point retries on
 * the local map and retries on the global map. The retry counters belong to the owner, which
 * passes them into every call and resets them when the callback reports a new path.
 *
 * A strategy tells its owner the outcome through the callback (true: a new local path was made,
 * false: its search failed); generatePath itself always answers true. Every search judges its
 * success by the poses in `out_path`, so each search clears them first: a stale detour never
 * passes for a new one.
 *
 * Used from the owner's planning call only, on one thread; nothing here locks.
 *
 * Sources in src/local_planning/clipping/: path_clipping.cpp, path_clipping_retries.cpp (the
 * jump-point retries on either map); one source per strategy.
 */
class PathClippingBase {
 public:
  using GridMapROS = vantrell_nav2_gridmap::GridMapROS;
  using AstarPlanner = vantrell_nav2_planner::astar2::AstarPlanner;
  using AstarOptions = vantrell_nav2_planner::astar2::AstarOptions;
  using Path = vantrell_nav2_protocol::msg::Path;
  using PoseStamped = geometry_msgs::msg::PoseStamped;

  /**
   * Keeps the collaborators and reads the parameters (declared with their defaults when the
   * node lacks them). Without a node the defaults hold, with a warning. The engines, the trace
   * publisher and the callback start empty.
   */
  PathClippingBase(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                   std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map);

  PathClippingBase(const PathClippingBase&) = delete;
  PathClippingBase& operator=(const PathClippingBase&) = delete;

  /**
   * Rewrites `local_path` for one planning cycle of the owner.
   *
   * @param obstacle_index index in `local_path` of the last free pose before the first blocked
   *        one, or -1
   * @param zero_index_count the owner's count of consecutive cycles that cut the path at pose 0
   *        or 1 (the robot did not advance)
   * @param plan_from_current the robot is far from the path
   * @param local_fail_count, global_try_count the owner's retry counters
   * @param out_path the detour found; cleared by the strategies that search
   * @return true; the outcome travels through the callback and `local_path`
   */
  virtual bool generatePath(int obstacle_index, const int& zero_index_count, bool plan_from_current,
                            unsigned& local_fail_count, unsigned& global_try_count,
                            PoseStamped& robot_pose, Path& local_path, Path& out_path);
  /// The engine on the local grid map.
  virtual void setLocalPlanner(std::shared_ptr<AstarPlanner> planner);
  /// The engine on the global grid map.
  virtual void setGlobalPlanner(std::shared_ptr<AstarPlanner> planner);
  virtual void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger);

  /// Declares each parameter unless the node has it, then reads it. A parameter of another
  /// type throws rclcpp's type exception.
  void setParameters();

  /// Replaces the owner's callback; an empty one silences the reports.
  void setCallback(std::function<void(bool)> callback);

  /**
   * Searches on the local map from `start` to pose `index` of `local_path`. Found: the callback
   * hears true and `local_path` becomes the densified detour followed by its poses after
   * `index`; `out_path` keeps the raw detour. Not found, or `index` not on the path: the
   * callback hears false, an ERROR is logged, `local_path` is unchanged.
   */
  void astarPlanFromCurrent(const PoseStamped& start, AstarOptions options, Path& local_path,
                            Path& out_path, int index);

  /**
   * Jump-point retries on the local map: the goal moves 2 poses further along `local_path` per
   * attempt (staying at the last pose once there); attempts 1 to 9 start at pose
   * `start_index`, attempts 10 to 500 at the robot (`from_robot` then becomes true). Stops at
   * the first detour found. Returns at once with true when `out_path` already holds poses;
   * false when a goal lies off the local costmap, or when `start_index` is not on the path.
   * Otherwise true, found or not: the caller tests `out_path`.
   */
  bool localCostmapJumpPointPlanning(const int& start_index, int& end_index, bool& from_robot,
                                     PoseStamped& robot_pose, Path& local_path, Path& out_path);

  /**
   * Retries on the global map, across the owner's planning cycles. The first three failures
   * only count (`local_fail_count`); from the fourth, each call counts a try
   * (`global_try_count`) and, up to 10 tries and with a start index on the path, searches
   * from the robot to candidates from `start_index` on with a limit of tries x 50 candidates
   * (`end_index` ends at the last candidate). Always true: the caller tests `out_path`.
   */
  bool globalCostmapJumpPointPlanning(const int& start_index, int& end_index,
                                      unsigned& local_fail_count, unsigned& global_try_count,
                                      PoseStamped& robot_pose, Path& local_path, Path& out_path);

  /**
   * Refreshes the global map, then searches from the robot to every 10th pose after `index`
   * (which follows the candidate) until a detour shorter than 15.0 m to a candidate within
   * 15.0 m of the robot is found, or `max_tries` + 1 candidates were taken (true either way).
   * False when the candidates reach the last pose, and for a negative `index`. True at once
   * when `out_path` already holds poses.
   */
  bool tryToMakePlanInGlobalCostmap(Path& local_path, int& index, PoseStamped& robot_pose,
                                    Path& out_path, const int& max_tries);

  /// `costmap_value` as the engine and the toolbox take a cost: the value truncated to an
  /// integer, its low 8 bits kept (-1.0 gives 255, 300.0 gives 44).
  uint8_t costLimit() const;

 protected:
  // Owned through shared pointers made for the concrete strategy, whose deleter runs the
  // concrete destructor; no strategy is ever deleted through a pointer to this base.
  ~PathClippingBase() = default;

  /// The strategies' records: cost-aware or not, both ends within `end_tolerance`, path
  /// tolerance 0.3, nothing else set.
  static AstarOptions clippingOptions(bool cost_aware, double end_tolerance);

  /// The options of every search of the avoid-obstacle and sharp-angle strategies.
  static AstarOptions detourOptions() { return clippingOptions(true, 0.5); }

  /// Clears `out.nav_path.poses`, then searches with `engine` (a missing engine fails, logged).
  static bool search(const std::shared_ptr<AstarPlanner>& engine, const PoseStamped& start,
                     const PoseStamped& goal, const AstarOptions& options, Path& out);

  /// Whether the pose lies on the local grid map's costmap.
  bool inLocalCostmap(const PoseStamped& pose) const;

  /// Tells the owner; nothing when no callback was given.
  void notifyOwner(bool made_path) const;

  /// A trace line through the trace publisher, or a DEBUG record when there is none yet.
  template <typename... Args>
  void trace(const std::string& format, Args&&... args) const {
    traceLine(trace_logger_, format, std::forward<Args>(args)...);
  }

  double goal_inflation_radius_{0.25};
  double costmap_value_{50.0};
  double max_goal_dis_{3.0};
  bool make_plan_from_current_pose_{false};
  double jump_point_dis_{0.7};
  // Read for the owner's configuration; no search here uses it.
  int32_t tolerance_zero_index_count_{2};
  std::shared_ptr<AstarPlanner> local_planner_;
  std::shared_ptr<AstarPlanner> global_planner_;
  std::shared_ptr<LogPublisher> trace_logger_;
  std::function<void(bool)> make_plan_callback_;
  PathProduct path_product_;
  BaseRobot base_robot_;
  std::shared_ptr<GridMapROS> local_gridmap_ros_;
  std::shared_ptr<GridMapROS> global_gridmap_ros_;
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__PATH_CLIPPING_HPP_
