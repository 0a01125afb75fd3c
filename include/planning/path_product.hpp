#ifndef PLANNING__PATH_PRODUCT_HPP_
#define PLANNING__PATH_PRODUCT_HPP_

#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "vantrell_nav2_common/base_robot.hpp"
#include "vantrell_nav2_gridmap/grid_map_ros.hpp"
#include "vantrell_nav2_protocol/msg/path.hpp"

namespace planning {

/**
 * The path operations that every planner shares: respacing and densifying,
 * straight and polygon paths, corner cutting, the free goal beyond a blocked
 * stretch, the local stretch of a global path and the obstacle tests along a path.
 *
 * The toolbox keeps no state between calls, with one exception: the working
 * image of hasDynamicObstacle, kept so that it is not reallocated on every
 * call. Calls of hasDynamicObstacle on one toolbox must therefore not overlap;
 * every other operation may run on several threads at once as long as the
 * threads pass different paths.
 *
 * Every operation that takes a grid map answers with its failure value when
 * the map, its multi-layer grid or its costmap is missing.
 *
 * Sources in src/local_planning/path_product/: path_product.cpp (resampling, filling, end yaw,
 * forced path), path_product_polygon_paths.cpp (polygon paths, corner cutting),
 * path_product_free_goal.cpp (redefineGoal), path_product_local_path.cpp (the local piece of a
 * global path), path_product_obstacle_tests.cpp (obstacle and emergency tests).
 */
class PathProduct {
 public:
  /// The most poses fillPath, resamplePath and generateForceGlobalPath let a path reach: 100 km
  /// at the waypoint planner's 0.1 m spacing, far beyond any floor. A step or a gap that would
  /// need more is refused instead of allocated.
  static constexpr size_t kMaxFilledPoses = 1000000;

  PathProduct();

  /**
   * Rebuilds the poses of path `step` metres apart along the chords from each
   * new pose towards the next input pose (corners are cut), computed in single
   * precision as the planners expect. Only the first and last input poses are
   * kept. A path of fewer than two poses, a step that is not positive, or a step
   * that would make more than kMaxFilledPoses poses leaves the path as it is.
   * Returns a copy of the path after the change.
   */
  nav_msgs::msg::Path resamplePath(nav_msgs::msg::Path& path, float step) const;

  /**
   * Appends the poses of `in` to `out.poses`, with poses inserted every `step`
   * metres along each segment (heading along the segment, header of the
   * segment's end pose). Repeated poses are dropped. False, `out` untouched,
   * for an input without poses, a step that is not positive, or inserted poses
   * that would take `out` beyond kMaxFilledPoses.
   */
  bool fillPath(const nav_msgs::msg::Path& in, double step, nav_msgs::msg::Path& out) const;

  /**
   * Replaces `out` by `in` with poses closer than `min_gap` to the previous
   * kept pose dropped (never the last one) and gaps longer than `max_gap`
   * split into equal segments; every pose is then headed along the path. False,
   * `out` untouched, for fewer than two input poses, a `max_gap` that is not
   * positive, or a result that would hold more than kMaxFilledPoses.
   */
  bool fillPath(const std::vector<geometry_msgs::msg::PoseStamped>& in, double min_gap,
                double max_gap, std::vector<geometry_msgs::msg::PoseStamped>& out) const;

  /// As above on `out.poses`; the header of `out` is not touched.
  bool fillPath(const std::vector<geometry_msgs::msg::PoseStamped>& in, double min_gap,
                double max_gap, nav_msgs::msg::Path& out) const;

  /**
   * The heading of the segment from pose `index` to the next one, or the yaw
   * of the last pose's orientation when `index` lies within the last four
   * poses, is negative or the path is shorter than five poses. 0.0 for a path
   * without poses.
   */
  double getLocalGoalYaw(const nav_msgs::msg::Path& path, int index) const;

  /**
   * A straight path from `start` to `end` with poses about `step` apart (at
   * least two poses), all oriented as `start`; tolerance 0.2. A step that gives
   * no pose count, or more poses than kMaxFilledPoses, keeps the two ends only.
   */
  vantrell_nav2_protocol::msg::Path generateForceGlobalPath(
      double step, const geometry_msgs::msg::PoseStamped& start,
      const geometry_msgs::msg::PoseStamped& end) const;

  /**
   * A straight path from 4.5 m outside the centre of the quadrilateral given
   * by the first four points of `polygon` to its centre, parallel to the side
   * from point 3 to point 2, with poses `resolution` apart in frame "map".
   * When the resolution is 4.5 m or more the path is the centre alone. An
   * empty path (tolerance 0) when the polygon has fewer than four points, the
   * side has no length or the resolution is not positive.
   */
  vantrell_nav2_protocol::msg::Path generatePathFromPolygon(
      double resolution, const geometry_msgs::msg::Polygon& polygon) const;

  /**
   * Looks for the sharpest turn within about the first 2 m of the path,
   * measured between the headings over `window_length` of path before and after
   * each pose, and erases the path from that pose on when the turn exceeds
   * `turn_limit`. True when the path was cut.
   */
  bool cutSharp(std::vector<geometry_msgs::msg::PoseStamped>& poses, double turn_limit,
                double spacing, double window_length) const;

  /**
   * Walks the path up to `look_ahead` metres and picks the first pose after a
   * blocked one (cost at or above `cost_threshold`) that is free itself and has
   * free poses within `clearance` metres of path behind and ahead. True with
   * its index; false with the index of the search end when none is found or a
   * tested pose lies off the map. An empty path leaves `index` unchanged.
   * `goal` is only logged.
   */
  bool redefineGoal(std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map,
                    geometry_msgs::msg::PoseStamped goal, const nav_msgs::msg::Path& path,
                    unsigned char cost_threshold, double look_ahead, double clearance,
                    int& index) const;

  /**
   * The goal of a detour round an obstacle: the first pose after pose `obstacle` and at or past
   * `look_ahead` metres of path (or the last pose on the map before that, when the path leaves
   * the map first) whose cell, and the poses within `clearance` metres of path on both sides,
   * cost less than `cost_threshold`. A pose off the map is never chosen and does not count
   * against a clearance. Nothing when no pose up to where the path leaves the map qualifies,
   * `obstacle` is not on the path or the map is missing.
   */
  std::optional<size_t> goalBeyondObstacle(
      const std::shared_ptr<vantrell_nav2_gridmap::GridMapROS>& grid_map,
      const nav_msgs::msg::Path& path, size_t obstacle, unsigned char cost_threshold,
      double look_ahead, double clearance) const;

  /**
   * Cuts the stretch of `global` around the robot (from the nearest pose,
   * which must be closer than 0.3 m, up to 2.5 m from the robot) into
   * `local`, and drops the poses of `global` that the robot has passed. False,
   * nothing changed, when the robot is off the path, a pose in reach is in
   * danger or the stretch would be shorter than three poses.
   */
  bool getLocalPathFromGlobal(const geometry_msgs::msg::PoseStamped& robot_pose,
                              nav_msgs::msg::Path& global,
                              std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map,
                              nav_msgs::msg::Path& local) const;

  /**
   * Picks the farthest pose of `global` ahead of the robot that lies on the
   * map and is not in danger as `local_goal`, and drops the poses before it.
   * False, nothing changed, when no such pose exists.
   */
  bool globalPathCut(const geometry_msgs::msg::PoseStamped& robot_pose, nav_msgs::msg::Path& global,
                     std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map,
                     geometry_msgs::msg::PoseStamped& local_goal) const;

  /**
   * True when a pose within `range` metres of path from its start is in
   * danger: `index` becomes the pose before it and `distance` the path length
   * up to it. Also true, outputs untouched, when a pose in range lies off the
   * map.
   */
  bool startLocalPlan(const nav_msgs::msg::Path& path,
                      std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map, double range,
                      int& index, double& distance) const;

  /**
   * As startLocalPlan, with a pose blocked when its pixel in `obstacle_image`
   * (8-bit, one pixel per costmap cell, row = cell y) is 0. False when the
   * image does not cover the costmap. The last argument is not used.
   */
  bool startLocalPlanWithMorphology(const cv::Mat& obstacle_image, const nav_msgs::msg::Path& path,
                                    std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map,
                                    double range, int& index, double& distance, double start) const;

  /**
   * True when a pose whose path length from pose 0 lies in (window_start,
   * window_end] is closer than `clearance` metres to a dynamic obstacle of the
   * grid map; `distance` then gets that path length. False when a pose up to
   * the window's end lies off the map. `robot_pose` is not used.
   *
   * Uses the toolbox's working image: calls on one toolbox must not overlap.
   */
  bool hasDynamicObstacle(const nav_msgs::msg::Path& path,
                          std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map,
                          const double& window_start, const double& window_end, double& distance,
                          const double& clearance,
                          const geometry_msgs::msg::PoseStamped& robot_pose);

  /// True when a wheelchair or a hospital bed stands inside the polygon.
  bool existEmergencyPatients(const geometry_msgs::msg::Polygon& polygon,
                              std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> grid_map) const;

 private:
  BaseRobot base_robot_;
  // Dynamic obstacles of the last hasDynamicObstacle call (0 on them, 255
  // elsewhere); reallocated only when the costmap's size changes.
  cv::Mat dynamic_obstacle_image_;
};

}  // namespace planning

#endif  // PLANNING__PATH_PRODUCT_HPP_
