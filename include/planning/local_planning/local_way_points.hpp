#ifndef PLANNING__LOCAL_PLANNING__LOCAL_WAY_POINTS_HPP_
#define PLANNING__LOCAL_PLANNING__LOCAL_WAY_POINTS_HPP_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "nav2_smoother/savitzky_golay_smoother.hpp"
#include "planning/local_planning/nav_local_planning.hpp"
#include "planning/local_planning/path_clipping.hpp"
#include "vantrell_nav2_smoother/path_smoother.hpp"

namespace planning {

/**
 * The local planner that follows the cached global path piece by piece ("local_wap_points").
 *
 * Each cycle takes the current piece, cuts away what the robot has passed, lets one of three
 * path-clipping strategies rewrite what lies ahead (a detour round an obstacle, a fresh start
 * when the robot has not advanced, or the path as it is), hands the first stretch of the result
 * to the motion controller and writes the rest back into the cache. It also publishes the
 * points the robot has covered during the current action.
 *
 * The node calls it on the action's single worker thread; nothing here locks. The dynamic
 * coverage planner builds one of its own on the same node, which only needs the node to hold
 * (or accept) the parameters read here.
 */
class LocalWayPoints final : public NavLocalPlanning {
 public:
  /// A piece with no more poses than this, in the controller's stretch or left of the piece,
  /// ends the task.
  static constexpr size_t kFinishedPoseCount = 14;
  /// More covered points than this are worth publishing.
  static constexpr size_t kMinPublishedCoveredPoints = 5;

  /**
   * Reads its parameters (declared with their defaults when the node lacks them), then builds
   * the three strategies on the first (global) and second (local) grid map and the path
   * smoother on the second. Throws std::invalid_argument without a local grid map.
   */
  LocalWayPoints(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                 std::shared_ptr<GridMapROS> global_map, std::shared_ptr<GridMapROS> local_map,
                 std::shared_ptr<GridMapROS> third_map);

  /// Handed to every strategy; the base keeps no copy.
  void setLocalPlanner(std::shared_ptr<AstarPlanner> planner) override;
  /// Handed to every strategy; the base keeps no copy.
  void setGlobalPlanner(std::shared_ptr<AstarPlanner> planner) override;
  void setTraceLogger(std::shared_ptr<LogPublisher> trace_logger) override;

  /**
   * One cycle. No cached path left: the task is finished (true, `path` untouched). False when
   * the robot pose is unknown, or when the current piece has no poses (then `need_replan` is
   * set: only a new global path set replaces that piece). Otherwise true: `path` is the stretch
   * for the controller, empty when the end of the piece lies too close to obstacles, and
   * `state.finished` tells whether the piece is nearly done.
   */
  bool makePlan(Path& path, ControlState& state, bool& need_replan) override;
  /// Smooths the start of `path` with the robot's pose and velocity; false when the smoother
  /// gives nothing back.
  bool pathSmooter(nav_msgs::msg::Path& path) override;
  /// Forgets the retry counters, the stall count and the covered points.
  void reset() override;

  /// What the strategies report: true (a new path) clears the retry counters.
  void setMakePlanFlag(bool made_path);

  /**
   * Drops the poses of `local` behind the robot: the cut is at the pose nearest the robot
   * within "cut_path_forward_dis" of path, or at the end of that stretch when every pose of it
   * lies within "cut_path_tolerance_max_dis" of the robot. `far_from_path` is set when no pose
   * lies within "cut_path_forward_dis"; `sharp_angle` when the cut has stayed at pose 0 or 1
   * for "tolerance_zero_index_count" cycles in a row.
   */
  void cutPath(Path& local, PoseStamped& robot, bool& far_from_path, bool& sharp_angle);

  /**
   * `out` becomes the first stretch of `local` shorter than "path_to_dwb_dis", with `local`'s
   * header. A short `local` (ends less than 2 m apart) first loses the end poses lying within
   * 0.55 m of an obstacle; when none is left, or one lies off the local map, `out` is emptied.
   * The stretch then loses end poses near the robot while it stays longer than
   * "min_dis_path_to_dwb".
   */
  void cutPathToDwb(Path& local, Path& out, PoseStamped& robot);

  /// Widens the window [`start`, `end`] of `path`: `start` back to a pose at least
  /// "start_front_dis" from it (0 when none), `end` on to one at least "end_back_dis" from it
  /// (the last pose at most). Indices off the path are clamped onto it.
  void tuneIndexPoint(Path& path, int& start, int& end);

 private:
  void readParameters();
  void buildStrategies();
  /// The key of the strategy for this cycle.
  static const char* chooseStrategy(bool obstacle_ahead, bool sharp_angle);
  /// Drops end poses of a short `local` that lie near obstacles; false when `out` must be
  /// emptied.
  bool trimEndNearObstacles(Path& local) const;
  void publishCoveredPoints(const PoseStamped& robot);

  std::shared_ptr<nav2_smoother::SavitzkyGolaySmoother> simple_smoother_;
  bool make_plan_flag_{false};
  double end_back_dis_{0.2};
  double start_front_dis_{0.4};
  double robot_forward_dis_{1.2};
  double cut_path_forward_dis_{1.0};
  double cut_path_tolerance_max_dis_{0.4};
  double path_to_dwb_dis_{3.0};
  double min_dis_cur_to_last_{0.6};
  double min_dis_path_to_dwb_{1.5};
  int32_t zero_index_count_{0};
  int32_t tolerance_zero_index_count_{2};
  // Cleared together, whenever a strategy makes a new path.
  unsigned local_fail_count_{0};
  unsigned global_try_count_{0};
  std::map<std::string, std::shared_ptr<PathClippingBase>> clipping_strategies_;
  // The robot's position once per cycle of the current action.
  std::vector<geometry_msgs::msg::Point32> robot_track_points_;
  std::shared_ptr<PathSmoother> path_smoother_;
};

}  // namespace planning

#endif  // PLANNING__LOCAL_PLANNING__LOCAL_WAY_POINTS_HPP_
